// Property: the writer lays out the format's worked values and the reader reads them back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"

namespace {

using testing_support::toBytes;
using testing_support::toString;

std::string written(const std::vector<mpak::BuiltEntry>& entries) {
  return toString(mpak::buildArchive(entries));
}

TEST(ArchiveFormat, EmptyArchiveIs28Bytes) {
  const std::string expected("MPAK\x04\0\0\0\x04\0\0\0\0\0\0\0TOC\0STOCRAWD", 28);
  EXPECT_EQ(written({}), expected);
  auto index = mpak::readArchiveIndex(toBytes(expected));
  EXPECT_EQ(index.stocPosition, 0x14u);
  EXPECT_EQ(index.rawdPosition, 0x18u);
  EXPECT_TRUE(index.entries.empty());
}

TEST(ArchiveFormat, OneEntryHasRecordLength18AndRecordSize26) {
  // Header (T + 4 = 30, S + 4 = 4, 1 entry, 0 STOC), "TOC\0", the 26-byte record at 20
  // (length 18, sizes 10 and 10, flag 0, path 7, "a/b.txt\0", 1 copy, offset 4), then
  // "STOC", "RAWD" and the data.
  const std::string expected(
      "MPAK\x1E\0\0\0\x04\0\0\0\x01\0\0\0TOC\0"
      "\x12\0\x0A\0\0\0\x0A\0\0\0\0\x07"
      "a/b.txt\0\x01\0\x04\0\0\0STOCRAWD0123456789",
      64);
  EXPECT_EQ(written({{"a/b.txt", toBytes("0123456789"), 10, false, 1, false}}), expected);
  EXPECT_EQ(testing_support::buildArchiveBytes({{.path = "a/b.txt", .stored = "0123456789"}}),
            expected);

  auto index = mpak::readArchiveIndex(toBytes(expected));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "a\\b.txt");
  EXPECT_EQ(index.entries[0].recordOffset, 20u);
  EXPECT_EQ(index.entries[0].dataPosition, 54u);
  EXPECT_EQ(index.stocPosition, 46u);
}

TEST(ArchiveFormat, CopiesFollowEachOtherFromOffset4) {
  struct Row {
    std::vector<std::pair<std::size_t, std::uint16_t>> sizeAndCopies;
    std::vector<std::vector<std::uint32_t>> offsets;
  };
  const Row rows[] = {{{{10, 2}}, {{4, 14}}},
                      {{{100, 2}, {100, 1}}, {{4, 104}, {204}}},
                      {{{5, 1}, {9, 0}, {3, 3}}, {{4}, {}, {9, 12, 15}}}};
  for (const Row& row : rows) {
    std::vector<mpak::BuiltEntry> entries;
    for (auto [size, copies] : row.sizeAndCopies)
      entries.push_back({"e", std::vector<std::uint8_t>(size, 'x'), 0, false, copies, false});
    auto index = mpak::readArchiveIndex(mpak::buildArchive(entries));
    ASSERT_EQ(index.entries.size(), row.offsets.size());
    for (std::size_t i = 0; i < row.offsets.size(); ++i)
      EXPECT_EQ(index.entries[i].dataOffsets, row.offsets[i]) << "entry " << i;
  }
}

TEST(ArchiveFormat, PathOf255BytesIsWrittenAndReadBack) {
  const std::string path = "dir/" + std::string(251, 'p');
  auto index =
      mpak::readArchiveIndex(mpak::buildArchive({{path, toBytes("xyz"), 3, false, 1, true}}));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "dir\\" + std::string(251, 'p'));
  EXPECT_EQ(index.entries[0].pathLength, 255);
  ASSERT_EQ(index.stoc.size(), 1u);
  EXPECT_EQ(index.stoc[0].path, path);
}

TEST(ArchiveFormat, EntriesWithoutStocHaveAnEmptyStocBlock) {
  std::string bytes = written({{"x.bin", toBytes("abc"), 3, false, 1, false},
                               {"y.bin", toBytes("de"), 2, false, 1, false}});
  auto index = mpak::readArchiveIndex(toBytes(bytes));
  EXPECT_EQ(index.stocBlockSize, 4u);
  EXPECT_EQ(index.stocCount, 0u);
  EXPECT_EQ(bytes.substr(index.stocPosition, 8), "STOCRAWD");
}

}  // namespace
