// The pack plan: for every file of the folder, what the library table decides.
//
// A file is looked up by its path below the root ("\" separators, Windows-1252). The first
// table line that names it decides: field 1 exactly "01" compresses (any other value
// compresses only with compressAll), field 2 is the number of copies (0 to 32767), field 3
// makes a STOC member when it is the number 1 (0 to 255). A file no line names is
// compressed, kept once and put in the STOC. allStoc puts every file in the STOC.
//
// The entries are in the order of the table lines that name them, then the files no line
// names, sorted by path, so an unedited extract-and-pack keeps the archive's order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mpak/archive_writer.h"
#include "mpak/library_toc.h"
#include "pack/folder_reader.h"

namespace pack {

struct PackOptions {
  bool compressAll = false;  // compress every file, whatever field 1 says
  bool allStoc = false;      // put every file in the STOC
  int level = 6;             // DEFLATE level, 0 (stored blocks) to 12
  unsigned threads = 0;      // compressing threads; 0 = one per core
  // The most entries (and STOC members) an archive may get: 32767 keeps the counts within
  // what readers taking them as signed 16-bit numbers accept; up to 65535 fit the format.
  std::size_t maxEntries = mpak::kMaxArchiveEntries;
  // Bytes read or compressed ahead of the writer, besides the file it waits for.
  std::size_t maxInFlightBytes = std::size_t{32} << 20;
};

struct PlannedEntry {
  std::string source;  // below the root on disk, "/" separators
  std::string path;    // entry path: Windows-1252, "/" separators, 1 to 255 bytes
  std::uint64_t size = 0;
  bool compress = true;
  std::uint16_t copies = 1;
  bool inStoc = true;
  std::string copiesText = "1", stocText = "1";  // as the table writes them
  int tableLine = 0;                             // the deciding line's number; 0 for none
  int baseEntry = -1;  // packing against a base: its entry of this path (matchBase), or -1
};

class BaseArchive;

struct Plan {
  std::vector<PlannedEntry> entries;      // archive order
  std::vector<std::size_t> walkOrder;     // indices into entries in the order the walk found them
  std::vector<std::string> unusedLines;   // table lines that name no file (UTF-8)
  std::vector<std::string> unnamedFiles;  // files no table line names (UTF-8, "\" separators)
  std::size_t compressed = 0, stocMembers = 0;
  // Packing against a base (matchBase): the archive, and its entries no file names any
  // more (UTF-8, "\" separators), in TOC order.
  BaseArchive* base = nullptr;
  std::vector<std::string> removed;
  // The most stored bytes and the most content of a base entry a file is compared with.
  std::uint64_t largestStored = 0, largestContent = 0;
  // The order of the data and of the STOC records as the base has them (entry indices;
  // empty: TOC order). An entry the base does not have comes right after the entry
  // before it in the TOC.
  std::vector<std::size_t> dataOrder, stocOrder;
};

// Throws PackError (or mpak::FormatError for a table field) naming the file, line or
// count when the folder cannot become an archive: a path of more than 255 bytes, a name
// Windows-1252 cannot hold, a file of 4 GiB or more, more than 32767 entries or STOC
// members, copies or STOC fields that are not whole numbers in range. `table` may be null:
// every file then gets the defaults.
Plan makePlan(const FolderScan& scan, const mpak::LibraryTable* table, const PackOptions& options);

// The name a file would be staged under: the path with "+" for "\", then ".", the size,
// ".", copies, ".", STOC field, and ".cmp" or ".unc" ("textures+ship.dds.900.2.0.cmp").
// UTF-8.
std::string stagedName(const PlannedEntry& entry);

}  // namespace pack
