// Property: the writer lays out the format's worked examples byte for byte (the empty
// archive, one small entry, several copies, data offsets, path length limits, an archive
// without STOC records), and the reader reads the same values back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"

namespace {

using testing_support::readU16;
using testing_support::readU32;
using testing_support::toBytes;
using testing_support::toString;

std::vector<std::uint8_t> bytesOf(std::string_view s) {
  return toBytes(s);
}

std::string written(const std::vector<mpak::BuiltEntry>& entries) {
  return toString(mpak::buildArchive(entries));
}

TEST(ArchiveFormat, EmptyArchiveIs28Bytes) {
  const std::string expected("MPAK\x04\0\0\0\x04\0\0\0\0\0\0\0TOC\0STOCRAWD", 28);
  EXPECT_EQ(written({}), expected);

  auto index = mpak::readArchiveIndex(bytesOf(expected));
  EXPECT_EQ(index.tocBlockSize, 4u);
  EXPECT_EQ(index.stocBlockSize, 4u);
  EXPECT_EQ(index.entryCount, 0u);
  EXPECT_EQ(index.stocCount, 0u);
  EXPECT_EQ(index.stocPosition, 0x14u);
  EXPECT_EQ(index.rawdPosition, 0x18u);
  EXPECT_TRUE(index.entries.empty());
  EXPECT_TRUE(index.stoc.empty());
}

TEST(ArchiveFormat, OneSmallEntryStoredAsIs) {
  std::string data = "0123456789";
  std::string bytes = written({{"a/b.txt", toBytes(data), 10, false, 1, false}});

  // Header, then the record at 20: 2 + 4 + 4 + 1 + 1 + 7 + 1 + 2 + 4 = 26 bytes.
  ASSERT_EQ(bytes.size(), 16u + 4 + 26 + 4 + 4 + 10);
  EXPECT_EQ(bytes.substr(0, 4), "MPAK");
  EXPECT_EQ(readU32(bytes, 4), 30u);  // T + 4
  EXPECT_EQ(readU32(bytes, 8), 4u);
  EXPECT_EQ(readU16(bytes, 12), 1u);
  EXPECT_EQ(readU16(bytes, 14), 0u);
  EXPECT_EQ(bytes.substr(16, 4), std::string("TOC\0", 4));
  EXPECT_EQ(readU16(bytes, 20), 18u);  // record length L + 11
  EXPECT_EQ(readU32(bytes, 22), 10u);  // stored size
  EXPECT_EQ(readU32(bytes, 26), 10u);  // unpacked size
  EXPECT_EQ(bytes[30], 0);             // flag
  EXPECT_EQ(bytes[31], 7);             // path length
  EXPECT_EQ(bytes.substr(32, 7), "a/b.txt");
  EXPECT_EQ(bytes[39], 0);
  EXPECT_EQ(readU16(bytes, 40), 1u);  // copies
  EXPECT_EQ(readU32(bytes, 42), 4u);  // first data offset
  EXPECT_EQ(bytes.substr(46, 8), "STOCRAWD");
  EXPECT_EQ(bytes.substr(54), data);

  // The hand layout of the same entry is the same file.
  testing_support::RawEntry raw;
  raw.path = "a/b.txt";
  raw.stored = data;
  EXPECT_EQ(bytes, testing_support::buildArchiveBytes({raw}));

  auto index = mpak::readArchiveIndex(bytesOf(bytes));
  ASSERT_EQ(index.entries.size(), 1u);
  const auto& e = index.entries[0];
  EXPECT_EQ(e.path, "a\\b.txt");
  EXPECT_EQ(e.pathLength, 7);
  EXPECT_EQ(e.storedSize, 10u);
  EXPECT_EQ(e.unpackedSize, 10u);
  EXPECT_EQ(e.compressedFlag, 0u);
  EXPECT_EQ(e.copies, 1u);
  EXPECT_EQ(e.dataOffsets, std::vector<std::uint32_t>{4});
  EXPECT_EQ(e.dataPosition, 54u);
  EXPECT_EQ(e.recordOffset, 20u);
  EXPECT_EQ(bytes.substr(e.dataPosition, e.storedSize), data);
}

struct OffsetsCase {
  const char* name;
  std::vector<std::pair<std::size_t, std::uint16_t>> sizesAndCopies;
  std::vector<std::vector<std::uint32_t>> offsets;
};

class DataOffsets : public testing::TestWithParam<OffsetsCase> {};

TEST_P(DataOffsets, CopiesFollowEachOtherFromOffset4) {
  const auto& c = GetParam();
  std::vector<mpak::BuiltEntry> entries;
  for (std::size_t i = 0; i < c.sizesAndCopies.size(); ++i) {
    auto [size, copies] = c.sizesAndCopies[i];
    std::vector<std::uint8_t> stored(size, static_cast<std::uint8_t>('a' + i));
    entries.push_back(
        {"e" + std::to_string(i), stored, static_cast<std::uint32_t>(size), false, copies, false});
  }
  auto bytes = mpak::buildArchive(entries);
  auto index = mpak::readArchiveIndex(bytes);
  ASSERT_EQ(index.entries.size(), c.offsets.size());
  for (std::size_t i = 0; i < c.offsets.size(); ++i) {
    EXPECT_EQ(index.entries[i].dataOffsets, c.offsets[i]) << "entry " << i;
    for (std::size_t k = 0; k < c.offsets[i].size(); ++k) {
      auto at = index.rawdPosition + c.offsets[i][k];
      std::string copy(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + c.sizesAndCopies[i].first));
      EXPECT_EQ(copy, std::string(c.sizesAndCopies[i].first, static_cast<char>('a' + i)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Worked, DataOffsets,
    testing::Values(OffsetsCase{"TwoCopies", {{10, 2}}, {{4, 14}}},
                    OffsetsCase{"HundredTwiceThenNext", {{100, 2}, {7, 1}}, {{4, 104}, {204}}},
                    OffsetsCase{
                        "NoCopiesTakeNoRoom", {{5, 1}, {9, 0}, {3, 3}}, {{4}, {}, {9, 12, 15}}},
                    OffsetsCase{"EmptyData", {{0, 2}, {1, 1}}, {{4, 4}, {4}}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ArchiveFormat, PathOf255BytesIsWrittenAndReadBack) {
  std::string path(251, 'p');
  path = "dir/" + path;
  ASSERT_EQ(path.size(), 255u);
  auto bytes = mpak::buildArchive({{path, toBytes("xyz"), 3, false, 1, true}});
  auto index = mpak::readArchiveIndex(bytes);
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "dir\\" + std::string(251, 'p'));
  EXPECT_EQ(index.entries[0].pathLength, 255);
  ASSERT_EQ(index.stoc.size(), 1u);
  EXPECT_EQ(index.stoc[0].path, path);
  EXPECT_EQ(readU16(toString(bytes), 20), 255u + 11);
}

TEST(ArchiveFormat, PathOf256BytesIsRefused) {
  mpak::MemorySink sink;
  try {
    mpak::ArchiveWriter writer(sink, {{"ok", 1, false}, {std::string(256, 'q'), 1, false}});
    FAIL() << "a 256-byte path was accepted";
  } catch (const mpak::FormatError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("entry 1"), std::string::npos) << what;
    EXPECT_NE(what.find("256"), std::string::npos) << what;
    EXPECT_NE(what.find("255"), std::string::npos) << what;
  }
}

TEST(ArchiveFormat, EntriesWithoutStocRecords) {
  std::string bytes = written({{"x.bin", toBytes("abc"), 3, false, 1, false},
                               {"y.bin", toBytes("de"), 2, false, 1, false}});
  EXPECT_EQ(readU32(bytes, 8), 4u);
  EXPECT_EQ(readU16(bytes, 14), 0u);
  std::size_t stocAt = 16 + readU32(bytes, 4);
  EXPECT_EQ(bytes.substr(stocAt, 8), "STOCRAWD");
}

TEST(ArchiveFormat, StocRecordsInTocOrderNameTheirIndex) {
  std::string bytes = written({{"a", toBytes("1"), 1, false, 1, true},
                               {"bb", toBytes("2"), 1, false, 1, false},
                               {"ccc", toBytes("3"), 1, true, 2, true}});
  std::size_t stocAt = 16 + readU32(bytes, 4);
  EXPECT_EQ(readU32(bytes, 8), 4u + (6 + 1) + (6 + 3));
  EXPECT_EQ(readU16(bytes, 14), 2u);
  std::size_t q = stocAt + 4;
  EXPECT_EQ(readU16(bytes, q), 1u + 4);
  EXPECT_EQ(readU16(bytes, q + 2), 0u);
  EXPECT_EQ(bytes.substr(q + 4, 3), std::string("\x01"
                                                "a\0",
                                                3));
  q += 7;
  EXPECT_EQ(readU16(bytes, q), 3u + 4);
  EXPECT_EQ(readU16(bytes, q + 2), 2u);
  EXPECT_EQ(bytes.substr(q + 4, 5), std::string("\x03"
                                                "ccc\0",
                                                5));
  EXPECT_EQ(bytes.substr(q + 9, 4), "RAWD");

  auto index = mpak::readArchiveIndex(toBytes(bytes));
  EXPECT_EQ(index.entries[0].inStoc, 1);
  EXPECT_EQ(index.entries[0].stocRecord, 0);
  EXPECT_EQ(index.entries[1].inStoc, 0);
  EXPECT_EQ(index.entries[1].stocRecord, -1);
  EXPECT_EQ(index.entries[2].inStoc, 1);
  EXPECT_EQ(index.entries[2].stocRecord, 1);
  EXPECT_EQ(index.entries[2].compressedFlag, 1);
}

}  // namespace
