// The library .toc file: the editable table of an archive's entries that carries each
// entry's compression, copies and STOC membership from extraction to packing.
//
// Text in Windows-1252. Written with CR LF line ends: seven comment lines, an empty line,
// then one line per entry, "FF C S path" (flag padded to two digits, copies, 0 or 1, the
// path with "\" separators); the last line has no line end.
//
// Reading rules: lines end at CR LF or at a lone LF; spaces at both ends of a line are
// removed; empty lines and lines beginning with "--" are skipped; the fields are split at
// single spaces (two spaces give an empty field; tabs are not separators) and the fourth
// field runs to the end of the line, so a path may hold spaces; a line with fewer than four
// fields matches nothing. A path matches the first line that names it, by the rest of the
// line from the fourth field or by the fourth field alone (so "00 1 0 a.bin old note" names
// a.bin), without regard to letter case (util::foldCaseCp1252), "/" and "\" alike.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mpak/archive.h"

namespace mpak {

inline constexpr std::array<std::string_view, 7> kLibraryTocComments = {
    "--Comment lines start with double (--) dashes",
    "--Field 1: 00=file is not compressed, 01=file is compressed.",
    "--Field 2: # of copies of file packed in raw data (RAWD) area. Probably also # of "
    "copies of file maintained in memory by the game.",
    "--Field 3: 1=file is a member of the sub-table of contents (STOC).",
    "--Field 4: File path.",
    "--It is possible to add new file references to this table if you wish.",
    "--However, Tarnwick will automatically add new files to the .MPAK. By default, they "
    "will be compressed (01), 1 copy.",
};

// One entry's line without its line end: "01 1 0 data\maps\m01.bin".
std::string libraryTocLine(const ArchiveEntry& entry);

// The whole table for `entries` in TOC order. With no entries the text is the seven
// comment lines, each ending with CR LF; otherwise the comment lines, an empty line and
// the entry lines, the last without CR LF.
std::string libraryTocText(std::span<const ArchiveEntry> entries);

// A line of four or more fields. The field texts are kept as written (Windows-1252).
struct TocLine {
  std::string compressField;  // field 1
  std::string copiesField;    // field 2
  std::string stocField;      // field 3
  std::string path;           // field 4: the rest of the line
  int lineNumber = 0;         // 1-based, counting every line of the file
  std::string text;           // the line without surrounding spaces

  static constexpr long kMaxCopies = 32767;

  // Field 1 is exactly "01".
  bool compress() const { return compressField == "01"; }
  // Field 2 as a whole number from 0 to 32767; otherwise throws FormatError naming the
  // line ("library table line 12 (\"01 x 0 a.txt\"): copies \"x\" is not a whole number
  // from 0 to 32767").
  std::uint16_t copies() const;
  // 'library table line 12 ("01 x 0 a.txt")'
  std::string where() const;
  // Field 3 is a whole number from 0 to 255 and the entry is a member when it is 1 ("1"
  // and "01" both count); other text throws FormatError naming the line.
  bool inStoc() const;
};

class LibraryTable {
 public:
  // Never fails: lines that cannot match are simply not kept.
  static LibraryTable parse(std::string_view bytes);

  // The first line that names `path`, or nullptr. O(1): the table keeps an index from
  // folded path to first line.
  const TocLine* find(std::string_view path) const;

  // The lines of four or more fields, in file order.
  const std::vector<TocLine>& lines() const { return m_lines; }

  // How paths are matched: folded to lower case (util::foldCaseCp1252), "/" made "\".
  static std::string pathKey(std::string_view path);

 private:
  std::vector<TocLine> m_lines;
  std::unordered_map<std::string, std::size_t> m_firstByPath;
};

}  // namespace mpak
