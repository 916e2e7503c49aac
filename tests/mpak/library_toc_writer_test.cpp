// Property: the library table written for an archive is the seven comment lines, each
// ending with CR LF, then (when there are entries) an empty line and one line per entry
// in TOC order, "FF C S path" with "\" separators, the last without a line end; and the
// reader finds every entry's own line in it again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/library_toc.h"

namespace {

// The comment block as the table documents it, typed out here on purpose.
const std::string kCommentBlock =
    "--Comment lines start with double (--) dashes\r\n"
    "--Field 1: 00=file is not compressed, 01=file is compressed.\r\n"
    "--Field 2: # of copies of file packed in raw data (RAWD) area. Probably also # of copies "
    "of file maintained in memory by the game.\r\n"
    "--Field 3: 1=file is a member of the sub-table of contents (STOC).\r\n"
    "--Field 4: File path.\r\n"
    "--It is possible to add new file references to this table if you wish.\r\n"
    "--However, Tarnwick will automatically add new files to the .MPAK. By default, they will "
    "be compressed (01), 1 copy.\r\n";

mpak::ArchiveEntry entry(std::string path, std::uint8_t flag, std::uint16_t copies,
                         std::uint8_t inStoc) {
  mpak::ArchiveEntry e;
  e.path = std::move(path);
  e.compressedFlag = flag;
  e.copies = copies;
  e.inStoc = inStoc;
  return e;
}

TEST(LibraryTocText, NoEntriesGiveTheSevenCommentLinesOnly) {
  EXPECT_EQ(mpak::libraryTocText({}), kCommentBlock);
}

TEST(LibraryTocText, TwoEntriesFollowAnEmptyLineWithoutAFinalLineEnd) {
  std::vector<mpak::ArchiveEntry> entries = {entry("data\\maps\\m01.bin", 1, 1, 0),
                                             entry("sound\\bank1.fsb", 0, 3, 1)};
  EXPECT_EQ(mpak::libraryTocText(entries),
            kCommentBlock + "\r\n01 1 0 data\\maps\\m01.bin\r\n00 3 1 sound\\bank1.fsb");
}

struct LineCase {
  const char* name;
  mpak::ArchiveEntry entry;
  std::string line;
};

class TocLineText : public testing::TestWithParam<LineCase> {};

TEST_P(TocLineText, IsFlagCopiesStocAndPath) {
  EXPECT_EQ(mpak::libraryTocLine(GetParam().entry), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TocLineText,
    testing::Values(LineCase{"Stored", entry("a\\b.dat", 0, 3, 1), "00 3 1 a\\b.dat"},
                    LineCase{"OddFlagPaddedToTwo", entry("f", 7, 1, 0), "07 1 0 f"},
                    LineCase{"WideFlagUnpadded", entry("f", 200, 1, 0), "200 1 0 f"},
                    LineCase{"NoCopies", entry("z", 1, 0, 0), "01 0 0 z"},
                    LineCase{"ManyCopies", entry("m", 1, 65535, 1), "01 65535 1 m"},
                    LineCase{"PathWithSpace", entry("my dir\\x y", 1, 1, 0), "01 1 0 my dir\\x y"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(LibraryTocText, ReadsBackLineForLine) {
  std::vector<mpak::ArchiveEntry> entries;
  for (int i = 0; i < 50; ++i)
    entries.push_back(entry("dir " + std::to_string(i % 5) + "\\File" + std::to_string(i) + ".x",
                            static_cast<std::uint8_t>(i % 2), static_cast<std::uint16_t>(i % 4),
                            static_cast<std::uint8_t>(i % 3 == 0)));
  auto table = mpak::LibraryTable::parse(mpak::libraryTocText(entries));
  ASSERT_EQ(table.lines().size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const mpak::TocLine* line = table.find(entries[i].path);
    ASSERT_NE(line, nullptr) << entries[i].path;
    EXPECT_EQ(line->lineNumber, static_cast<int>(i) + 9);
    EXPECT_EQ(line->compress(), entries[i].compressedFlag == 1);
    EXPECT_EQ(line->copies(), entries[i].copies);
    EXPECT_EQ(line->inStoc(), entries[i].inStoc == 1);
  }
}

}  // namespace
