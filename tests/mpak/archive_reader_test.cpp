// Property: the reader finds every record by its layout alone, so archives whose record
// lengths, terminators and tags hold other values still load; an entry with no copies
// has no data offsets and points at the RAWD tag; every data offset is kept; STOC
// records naming no entry are kept and mark nothing; data ranges are left to dataInBounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpak/archive.h"
#include "support/archive_builder.h"

namespace {

using testing_support::BuiltArchive;
using testing_support::RawEntry;
using testing_support::RawHeader;
using testing_support::RawStoc;
using testing_support::toBytes;

mpak::ArchiveIndex read(const std::string& bytes) {
  return mpak::readArchiveIndex(toBytes(bytes));
}

struct OddCase {
  const char* name;
  std::vector<RawEntry> entries;
  std::vector<RawStoc> stoc;
  RawHeader header;
};

class OddButReadable : public testing::TestWithParam<OddCase> {};

TEST_P(OddButReadable, LoadsWithTheLaidOutValues) {
  const OddCase& c = GetParam();
  BuiltArchive built = testing_support::buildArchive(c.entries, c.stoc, c.header);
  auto index = read(built.bytes);
  ASSERT_EQ(index.entries.size(), c.entries.size());
  EXPECT_EQ(index.stocPosition, built.stocPosition);
  EXPECT_EQ(index.rawdPosition, built.rawdPosition);
  for (std::size_t i = 0; i < c.entries.size(); ++i) {
    const RawEntry& want = c.entries[i];
    const auto& got = index.entries[i];
    EXPECT_EQ(got.recordOffset, built.recordOffsets[i]);
    EXPECT_EQ(got.storedSize, want.stored.size());
    EXPECT_EQ(got.compressedFlag, want.flag);
    EXPECT_EQ(got.copies, want.copies);
    EXPECT_EQ(got.dataOffsets, built.dataOffsets[i]);
    if (want.copies > 0) {
      EXPECT_EQ(got.dataPosition, built.rawdPosition + built.dataOffsets[i][0]);
      EXPECT_EQ(built.bytes.substr(got.dataPosition, got.storedSize), want.stored);
    }
  }
}

RawEntry entry(std::string path, std::string stored) {
  RawEntry e;
  e.path = std::move(path);
  e.stored = std::move(stored);
  return e;
}

RawEntry with(RawEntry e, auto change) {
  change(e);
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, OddButReadable,
    testing::Values(
        OddCase{"RecordLengthsWrong",
                {with(entry("a/b.txt", "0123456789"), [](RawEntry& e) { e.recordLength = 0; }),
                 with(entry("c.bin", "xy"), [](RawEntry& e) { e.recordLength = 0xFFFF; })},
                {{1, "c.bin", 999}},
                {}},
        OddCase{"TerminatorsNotZero",
                {with(entry("a", "1"), [](RawEntry& e) { e.terminator = 'Z'; }),
                 with(entry("b", "22"), [](RawEntry& e) { e.terminator = 0xFF; })},
                {},
                {}},
        OddCase{"TagsOdd",
                {entry("x/y/z.dat", "hello")},
                {{0, "x/y/z.dat", std::nullopt}},
                [] {
                  RawHeader h;
                  h.fileTag = "KAPM";
                  h.tocTag = "toc!";
                  h.stocTag = "stoc";
                  h.rawdTag = std::string(4, '\0');
                  return h;
                }()},
        OddCase{"FlagsOtherThanZeroAndOne",
                {with(entry("f", "abc"), [](RawEntry& e) { e.flag = 7; }),
                 with(entry("g", "d"), [](RawEntry& e) { e.flag = 255; })},
                {},
                {}},
        OddCase{"ManyCopies",
                {with(entry("m", "abcd"), [](RawEntry& e) { e.copies = 5; }), entry("n", "e")},
                {},
                {}},
        OddCase{"EmptyPath", {entry("", "q")}, {}, {}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ArchiveReader, EntryWithoutCopiesPointsAtRawdAndHasNoOffsets) {
  // Before this was mended, an entry without copies took the next record's first bytes
  // as its data offset.
  BuiltArchive built = testing_support::buildArchive(
      {entry("first", "11"), with(entry("empty", "ignored"), [](RawEntry& e) { e.copies = 0; }),
       entry("third", "333")});
  auto index = read(built.bytes);
  ASSERT_EQ(index.entries.size(), 3u);
  const auto& empty = index.entries[1];
  EXPECT_EQ(empty.copies, 0u);
  EXPECT_TRUE(empty.dataOffsets.empty());
  EXPECT_FALSE(empty.hasData());
  EXPECT_EQ(empty.dataPosition, built.rawdPosition);
  EXPECT_EQ(empty.storedSize, 7u);
  EXPECT_TRUE(mpak::dataInBounds(index, empty));
  // The record after it is still found where it is.
  EXPECT_EQ(index.entries[2].path, "third");
  EXPECT_EQ(built.bytes.substr(index.entries[2].dataPosition, 3), "333");
}

TEST(ArchiveReader, StocIndicesBeyondTheEntriesAreKeptAndMarkNothing) {
  BuiltArchive built = testing_support::buildArchive({entry("a", "1"), entry("b", "2")},
                                                     {{2, "ghost", std::nullopt},
                                                      {1, "b", std::nullopt},
                                                      {65535, "far", std::nullopt},
                                                      {1, "b-again", std::nullopt}});
  auto index = read(built.bytes);
  ASSERT_EQ(index.stoc.size(), 4u);
  EXPECT_EQ(index.stoc[0].tocIndex, 2u);
  EXPECT_EQ(index.stoc[0].path, "ghost");
  EXPECT_EQ(index.stoc[0].recordOffset, built.stocRecordOffsets[0]);
  EXPECT_EQ(index.stoc[2].tocIndex, 65535u);
  EXPECT_EQ(index.entries[0].inStoc, 0);
  EXPECT_EQ(index.entries[1].inStoc, 1);
  EXPECT_EQ(index.entries[1].stocRecord, 1);  // the first record naming it
}

TEST(ArchiveReader, StocPathsKeepTheirSlashes) {
  auto index = read(testing_support::buildArchiveBytes(
      {with(entry("sound/bank1.fsb", "x"), [](RawEntry& e) { e.inStoc = true; })}));
  ASSERT_EQ(index.stoc.size(), 1u);
  EXPECT_EQ(index.stoc[0].path, "sound/bank1.fsb");
  EXPECT_EQ(index.entries[0].path, "sound\\bank1.fsb");
}

struct RangeCase {
  const char* name;
  std::uint32_t storedSizeField;
  std::vector<std::uint32_t> offsets;
  bool inBounds;
};

class DataRanges : public testing::TestWithParam<RangeCase> {};

TEST_P(DataRanges, AreCheckedByDataInBoundsNotByTheReader) {
  const RangeCase& c = GetParam();
  RawEntry e = entry("d", "abcdefgh");  // 8 bytes of data, the last bytes of the file
  e.storedSizeField = c.storedSizeField;
  e.copies = static_cast<std::uint16_t>(c.offsets.size());
  e.dataOffsets = c.offsets;
  e.writeData = false;
  BuiltArchive built = testing_support::buildArchive({e, entry("z", "12345678")});
  auto index = read(built.bytes);
  ASSERT_EQ(index.entries.size(), 2u);
  EXPECT_EQ(mpak::dataInBounds(index, index.entries[0]), c.inBounds);
  EXPECT_TRUE(mpak::dataInBounds(index, index.entries[1]));
}

// The file holds "RAWD" and 8 bytes of the second entry: offsets 4..11 are data.
INSTANTIATE_TEST_SUITE_P(Ranges, DataRanges,
                         testing::Values(RangeCase{"Inside", 8, {4}, true},
                                         RangeCase{"EndsAtTheEnd", 4, {8, 4}, true},
                                         RangeCase{"OneBytePast", 9, {4}, false},
                                         RangeCase{"SecondCopyPast", 2, {4, 11}, false},
                                         RangeCase{"OffsetBeyondFile", 0, {0xFFFFFFFF}, false},
                                         RangeCase{"HugeSize", 0xFFFFFFFF, {4}, false},
                                         RangeCase{"EmptyAtTheEnd", 0, {12}, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
