// Property: library tables are written line for line as the game expects and read by its
// rules; their Windows-1252 paths survive the trip to UTF-8 and back byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/library_toc.h"
#include "util/cp1252.h"

namespace {

TEST(LibraryTocText, IsCommentsThenAnEmptyLineAndEntriesWithoutAFinalLineEnd) {
  const std::string comments = mpak::libraryTocText({});
  // Read back, the comment block holds no table line.
  EXPECT_TRUE(comments.starts_with("--") && comments.ends_with("\r\n")) << comments;
  EXPECT_TRUE(mpak::LibraryTable::parse(comments).lines().empty());
  EXPECT_EQ(
      mpak::libraryTocText(std::vector<mpak::ArchiveEntry>{
          {.path = "data\\maps\\m01.bin", .compressedFlag = 1, .copies = 1, .dataOffsets = {}},
          {.path = "my dir\\bank 1.fsb",
           .compressedFlag = 7,
           .copies = 3,
           .dataOffsets = {},
           .inStoc = 1}}),
      comments + "\r\n01 1 0 data\\maps\\m01.bin\r\n07 3 1 my dir\\bank 1.fsb");
}

TEST(LibraryTable, FindsTheRightLine) {
  struct Row {
    std::string table, path;
    int line;            // 0: no line matches
    std::string fields;  // "f1|f2|f3|path" of the match
  };
  const Row rows[] = {
      {"--c\r\n\r\n01 2 1 Data\\File.BIN", "data\\file.bin", 3, "01|2|1|Data\\File.BIN"},
      {"00 1 0 \xC9t\xC9", "\xE9T\xE9", 1, "00|1|0|\xC9t\xC9"},
      {"   --note 1 1 x\r\n00 1 0 --note 1 1 x", "--note 1 1 x", 2, "00|1|0|--note 1 1 x"},
      {"01 1 0 my folder\\a file.txt", "my folder\\a file.txt", 1, "01|1|0|my folder\\a file.txt"},
      {"--c\n00 3 1 a\\b.dat\n01 1 0 c.dat\n", "c.dat", 3, "01|1|0|c.dat"},
      {"   01 4 1 x\\y   \r\n", "x\\y", 1, "01|4|1|x\\y"},
      {"00 2 0 extra.bin old note", "EXTRA.bin", 1, "00|2|0|extra.bin old note"},
      {"01 1 a\\b.txt", "a\\b.txt", 0, ""},
      {"00 1 0 a\r00 2 0 b", "a\r00 2 0 b", 1, "00|1|0|a\r00 2 0 b"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.table);
    auto table = mpak::LibraryTable::parse(row.table);
    const mpak::TocLine* line = table.find(row.path);
    ASSERT_EQ(line != nullptr, row.line != 0);
    if (line) {
      EXPECT_EQ(line->lineNumber, row.line);
      EXPECT_EQ(
          line->compressField + "|" + line->copiesField + "|" + line->stocField + "|" + line->path,
          row.fields);
    }
  }
}

template <typename Read>
std::string outcome(Read read) {
  try {
    return std::to_string(read());
  } catch (const mpak::FormatError& e) {
    return e.what();
  }
}

TEST(LibraryTable, ValidatesTheFieldsAsThePackNeedsThem) {
  auto badCopies = [](const std::string& line, const std::string& field) {
    return "library table line 2 (\"" + line + "\"): copies \"" + field +
           "\" is not a whole number from 0 to 32767";
  };
  struct Row {
    std::string line;
    bool compress;
    std::string copies, inStoc;  // the value, or the error
  };
  const Row rows[] = {
      {"00 3 1 a\\b.dat", false, "3", "1"},
      {"01 32767 0 a", true, "32767", "0"},
      {"01 32768 0 a", true, badCopies("01 32768 0 a", "32768"), "0"},
      {"00 -1 0 a", false, badCopies("00 -1 0 a", "-1"), "0"},
      {"01  0 a b", true, badCopies("01  0 a b", ""), "0"},
      {"00 1 255 a", false, "1", "0"},
      {"00 1 256 a", false, "1",
       "library table line 2 (\"00 1 256 a\"): STOC field \"256\" is not a whole number from 0 "
       "to 255"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    auto table = mpak::LibraryTable::parse("--c\r\n" + row.line);
    ASSERT_EQ(table.lines().size(), 1u);
    const mpak::TocLine& line = table.lines()[0];
    EXPECT_EQ(line.compress(), row.compress);
    EXPECT_EQ(outcome([&] { return line.copies(); }), row.copies);
    EXPECT_EQ(outcome([&] { return line.inStoc(); }), row.inStoc);
  }
}

TEST(Cp1252, EveryByteRoundTripsAndKnownLettersMap) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  EXPECT_EQ(util::utf8ToCp1252(util::cp1252ToUtf8(all)), all);
  EXPECT_EQ(util::cp1252ToUtf8("\x80 caf\xE9"), "€ café");
  EXPECT_EQ(util::utf8ToCp1252("Œuvre"), "\x8Cuvre");
  EXPECT_EQ(util::utf8ToCp1252("日本"), "??");
}

}  // namespace
