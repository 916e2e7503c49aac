// Property: the reader finds every record of hand-laid bytes by the layout alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpak/archive.h"
#include "support/archive_builder.h"

namespace {

using testing_support::RawEntry;

TEST(ArchiveReader, HandLaidOddArchiveLoadsWithTheLaidOutValues) {
  const std::vector<RawEntry> entries = {
      {.path = "a\\b.txt", .stored = "0123456789", .recordLength = 0},
      {.path = "c.bin", .stored = "xy", .flag = 7, .inStoc = true, .recordLength = 0xFFFF},
      {.path = "none", .stored = "ignored", .copies = 0},
      {.path = "d", .stored = "22", .flag = 255, .copies = 5, .terminator = 'Z'},
      {.path = "", .stored = "q"},
  };
  auto built = testing_support::buildArchive(
      entries, {{65535, "far", 999}, {1, "c.bin-again", std::nullopt}},
      {.fileTag = "KAPM", .tocTag = "toc!", .stocTag = "stoc", .rawdTag = std::string(4, '\0')});
  auto index = mpak::readArchiveIndex(testing_support::toBytes(built.bytes));
  ASSERT_EQ(index.entries.size(), entries.size());
  EXPECT_EQ(index.stocPosition, built.stocPosition);
  EXPECT_EQ(index.rawdPosition, built.rawdPosition);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& got = index.entries[i];
    SCOPED_TRACE(entries[i].path);
    EXPECT_EQ(got.recordOffset, built.recordOffsets[i]);
    EXPECT_EQ(got.path, entries[i].path);
    EXPECT_EQ(got.storedSize, entries[i].stored.size());
    EXPECT_EQ(got.compressedFlag, entries[i].flag);
    EXPECT_EQ(got.copies, entries[i].copies);
    EXPECT_EQ(got.dataOffsets, built.dataOffsets[i]);
    EXPECT_EQ(got.inStoc, entries[i].inStoc ? 1 : 0);
    if (got.copies > 0) {
      EXPECT_EQ(built.bytes.substr(got.dataPosition, got.storedSize), entries[i].stored);
    }
  }
  const auto& none = index.entries[2];
  EXPECT_TRUE(none.dataOffsets.empty());
  EXPECT_EQ(none.dataPosition, built.rawdPosition);
  ASSERT_EQ(index.stoc.size(), 3u);
  EXPECT_EQ(index.stoc[1].tocIndex, 65535u);
  EXPECT_EQ(index.stoc[2].path, "c.bin-again");
  EXPECT_EQ(index.entries[1].stocRecord, 0);
}

TEST(ArchiveReader, DataRangesAreJudgedByDataInBounds) {
  // The file ends with "RAWD" and 8 bytes of the second entry: offsets 4 to 11 are data.
  struct Row {
    std::uint32_t storedSize;
    std::vector<std::uint32_t> offsets;
    bool inBounds;
  };
  const Row rows[] = {{9, {4}, false},          {2, {4, 11}, false}, {0, {0xFFFFFFFF}, false},
                      {0xFFFFFFFF, {4}, false}, {0, {12}, true},     {4, {8, 4}, true}};
  for (const Row& row : rows) {
    RawEntry e{.path = "d",
               .copies = static_cast<std::uint16_t>(row.offsets.size()),
               .storedSizeField = row.storedSize,
               .dataOffsets = row.offsets};
    auto index = mpak::readArchiveIndex(testing_support::toBytes(
        testing_support::buildArchiveBytes({e, {.path = "z", .stored = "12345678"}})));
    EXPECT_EQ(mpak::dataInBounds(index, index.entries[0]), row.inBounds)
        << row.storedSize << " at " << row.offsets.back();
  }
}

}  // namespace
