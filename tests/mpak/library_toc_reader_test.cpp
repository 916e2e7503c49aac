// Property: the library table reader applies the table's rules: CR LF and lone LF line
// ends, spaces trimmed at both ends, empty and "--" lines skipped (even indented), fields
// split at single spaces with the path running to the end of the line, fewer than four
// fields matching nothing, paths compared without regard to letter case (ASCII and
// Windows-1252 letters) but "/" never matching "\", the first matching line winning; and
// the copies and STOC fields are validated as the pack needs them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mpak/library_toc.h"

namespace {

struct LookupCase {
  const char* name;
  std::string table;
  std::string path;
  std::optional<int> lineNumber;  // the matching line, or none
  std::string fields;             // "f1|f2|f3|path" of the match
};

class TableLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(TableLookup, FindsTheRightLine) {
  const LookupCase& c = GetParam();
  auto table = mpak::LibraryTable::parse(c.table);
  const mpak::TocLine* line = table.find(c.path);
  if (!c.lineNumber) {
    EXPECT_EQ(line, nullptr) << "matched line " << line->lineNumber;
    return;
  }
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->lineNumber, *c.lineNumber);
  EXPECT_EQ(
      line->compressField + "|" + line->copiesField + "|" + line->stocField + "|" + line->path,
      c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TableLookup,
    testing::Values(
        LookupCase{"Plain", "01 1 0 data\\maps\\m01.bin", "data\\maps\\m01.bin", 1,
                   "01|1|0|data\\maps\\m01.bin"},
        LookupCase{"IgnoresLetterCase", "--c\r\n\r\n01 2 1 Data\\File.BIN", "data\\file.bin", 3,
                   "01|2|1|Data\\File.BIN"},
        LookupCase{"Windows1252LettersFoldToo",
                   "00 1 0 \xC9T\xC9\\\x8A"
                   "a.txt",
                   "\xE9t\xE9\\\x9A"
                   "A.TXT",
                   1,
                   "00|1|0|\xC9T\xC9\\\x8A"
                   "a.txt"},
        LookupCase{"MultiplicationSignIsNoLetter", "00 1 0 a\xD7", "a\xF7", std::nullopt, ""},
        LookupCase{"IndentedCommentIsSkipped", "   --note 1 1 x\r\n00 1 0 --note 1 1 x",
                   "--note 1 1 x", 2, "00|1|0|--note 1 1 x"},
        LookupCase{"CommentNeverMatches", "--01 1 1 a", "a", std::nullopt, ""},
        LookupCase{"PathHoldingSpaces", "01 1 0 my folder\\a file.txt", "my folder\\a file.txt", 1,
                   "01|1|0|my folder\\a file.txt"},
        LookupCase{"LfLineEnds", "--c\n00 3 1 a\\b.dat\n01 1 0 c.dat\n", "c.dat", 3,
                   "01|1|0|c.dat"},
        LookupCase{"CrLfLineEnds", "--c\r\n00 3 1 a\\b.dat\r\n01 1 0 c.dat\r\n", "a\\b.dat", 2,
                   "00|3|1|a\\b.dat"},
        LookupCase{"MixedLineEnds", "00 1 0 a\n00 2 0 b\r\n00 3 0 c", "c", 3, "00|3|0|c"},
        LookupCase{"SpacesAtBothEndsTrimmed", "   01 4 1 x\\y   \r\n", "x\\y", 1, "01|4|1|x\\y"},
        LookupCase{"FirstOfTwoWins", "00 1 0 same\r\n01 5 1 SAME", "Same", 1, "00|1|0|same"},
        LookupCase{"SlashDoesNotMatchBackslash", "01 1 0 a/b.txt", "a\\b.txt", std::nullopt, ""},
        LookupCase{"ThreeFieldsMatchNothing", "01 1 a\\b.txt", "a\\b.txt", std::nullopt, ""},
        LookupCase{"ThreeFieldsAfterTrimMatchNothing", "01 1 0 ", "", std::nullopt, ""},
        LookupCase{"DoubleSpaceGivesEmptyField", "01  1 a", "a", 1, "01||1|a"},
        LookupCase{"DoubleSpaceBeforePathKeepsOne", "01 1 0  a", " a", 1, "01|1|0| a"},
        LookupCase{"TabIsNoSeparator", "01\t1 0 1 a", "a", 1, "01\t1|0|1|a"},
        LookupCase{"LoneCrIsNoLineEnd", "00 1 0 a\r00 2 0 b", "a\r00 2 0 b", 1,
                   "00|1|0|a\r00 2 0 b"},
        LookupCase{"EmptyTable", "", "a", std::nullopt, ""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(LibraryTable, KeepsLinesInFileOrderWithTheirNumbers) {
  auto table = mpak::LibraryTable::parse("--c\r\n\r\n00 1 0 b\r\nnot a line\r\n01 2 1 a");
  ASSERT_EQ(table.lines().size(), 2u);
  EXPECT_EQ(table.lines()[0].path, "b");
  EXPECT_EQ(table.lines()[0].lineNumber, 3);
  EXPECT_EQ(table.lines()[1].path, "a");
  EXPECT_EQ(table.lines()[1].lineNumber, 5);
}

struct FieldCase {
  const char* name;
  std::string line;
  bool compress;
  std::optional<std::int16_t> copies;  // none: refused
  std::optional<bool> inStoc;          // none: refused
};

class LineFields : public testing::TestWithParam<FieldCase> {};

TEST_P(LineFields, AreReadAsThePackNeedsThem) {
  const FieldCase& c = GetParam();
  auto table = mpak::LibraryTable::parse("--c\r\n" + c.line);
  ASSERT_EQ(table.lines().size(), 1u);
  const mpak::TocLine& line = table.lines()[0];
  EXPECT_EQ(line.compress(), c.compress);
  if (c.copies) {
    EXPECT_EQ(line.copies(), *c.copies);
  } else {
    try {
      (void)line.copies();
      ADD_FAILURE() << "copies accepted";
    } catch (const mpak::FormatError& e) {
      std::string what = e.what();
      EXPECT_NE(what.find("library table line 2: copies \"" + line.copiesField + "\""),
                std::string::npos)
          << what;
      EXPECT_NE(what.find("-32768 to 32767"), std::string::npos) << what;
    }
  }
  if (c.inStoc) {
    EXPECT_EQ(line.inStoc(), *c.inStoc);
  } else {
    try {
      (void)line.inStoc();
      ADD_FAILURE() << "STOC field accepted";
    } catch (const mpak::FormatError& e) {
      std::string what = e.what();
      EXPECT_NE(what.find("library table line 2: STOC field \"" + line.stocField + "\""),
                std::string::npos)
          << what;
      EXPECT_NE(what.find("0 to 255"), std::string::npos) << what;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LineFields,
    testing::Values(FieldCase{"Ordinary", "00 3 1 a\\b.dat", false, 3, true},
                    FieldCase{"CompressOnlyExactly01", "1 1 0 a", false, 1, false},
                    FieldCase{"Compress", "01 1 0 a", true, 1, false},
                    FieldCase{"CompressWithLeadingZeros", "001 1 0 a", false, 1, false},
                    FieldCase{"ZeroCopies", "01 0 0 a", true, 0, false},
                    FieldCase{"LargestCopies", "01 32767 0 a", true, 32767, false},
                    FieldCase{"NegativeCopies", "01 -32768 0 a", true, -32768, false},
                    FieldCase{"CopiesTooLarge", "01 32768 0 a", true, std::nullopt, false},
                    FieldCase{"CopiesNotANumber", "01 two 0 a", true, std::nullopt, false},
                    FieldCase{"CopiesEmpty", "01  0 a b", true, std::nullopt, false},
                    FieldCase{"CopiesWithFraction", "01 1.5 0 a", true, std::nullopt, false},
                    FieldCase{"StocZeroOne", "00 1 01 a", false, 1, true},
                    FieldCase{"StocTwoIsNoMember", "00 1 2 a", false, 1, false},
                    FieldCase{"Stoc255", "00 1 255 a", false, 1, false},
                    FieldCase{"Stoc256", "00 1 256 a", false, 1, std::nullopt},
                    FieldCase{"StocNegative", "00 1 -1 a", false, 1, std::nullopt},
                    FieldCase{"StocText", "00 1 yes a", false, 1, std::nullopt}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(LibraryTable, LookupsInALargeTableUseTheIndex) {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "01 1 0 folder\\file" + std::to_string(i) + ".bin\r\n";
  auto table = mpak::LibraryTable::parse(text);
  ASSERT_EQ(table.lines().size(), 20000u);
  for (int i = 0; i < 20000; ++i) {
    const mpak::TocLine* line = table.find("FOLDER\\FILE" + std::to_string(i) + ".BIN");
    ASSERT_NE(line, nullptr);
    ASSERT_EQ(line->lineNumber, i + 1);
  }
}

}  // namespace
