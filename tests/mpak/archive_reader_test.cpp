// Property: the reader finds every record of hand-laid bytes by the layout alone, and gives back
// whatever the writer was given, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
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
  EXPECT_EQ(index.entries[2].dataPosition, built.rawdPosition);  // no copies
  ASSERT_EQ(index.stoc.size(), 3u);
  EXPECT_EQ(index.stoc[1].tocIndex, 65535u);
  EXPECT_EQ(index.stoc[2].path, "c.bin-again");
  EXPECT_EQ(index.entries[1].stocRecord, 0);
}

TEST(ArchiveReader, DataRangesAreJudgedByDataInBounds) {
  // The file ends with "RAWD" and the last entry's 8 bytes: offsets 4 to 11 are data.
  auto index = mpak::readArchiveIndex(testing_support::toBytes(testing_support::buildArchiveBytes(
      {{.path = "out", .copies = 2, .storedSizeField = 2, .dataOffsets = {{4, 11}}},
       {.path = "in", .copies = 2, .storedSizeField = 4, .dataOffsets = {{8, 4}}},
       {.path = "z", .stored = "12345678"}})));
  EXPECT_FALSE(mpak::dataInBounds(index, index.entries[0]));
  EXPECT_TRUE(mpak::dataInBounds(index, index.entries[1]));
}

TEST(RoundTrip, ReaderGivesBackWhatTheWriterWasGiven) {
  const std::size_t shapes[][4] = {{1, 3, 2, 16}, {2, 60, 3, 8}, {3, 5, 40, 64}, {4, 4, 2, 70000}};
  for (const auto& [seed, maxEntries, maxCopies, maxStored] : shapes) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % (n + 1)); };
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
      std::vector<mpak::BuiltEntry> entries(below(maxEntries));
      std::vector<testing_support::RawEntry> raw;
      for (auto& e : entries) {
        e.path.resize(1 + below(254));
        for (char& c : e.path)
          c = static_cast<char>(1 + below(254));
        e.stored.resize(below(maxStored));
        for (auto& b : e.stored)
          b = static_cast<std::uint8_t>(rng());
        e.unpackedSize = static_cast<std::uint32_t>(rng());
        e.compressed = rng() % 2 == 0;
        e.copies = static_cast<std::uint16_t>(below(maxCopies));
        e.inStoc = rng() % 3 == 0;
        raw.push_back({e.path, std::string(e.stored.begin(), e.stored.end()), e.unpackedSize,
                       static_cast<std::uint8_t>(e.compressed), e.copies, e.inStoc});
      }
      auto bytes = mpak::buildArchive(entries);
      ASSERT_EQ(testing_support::toString(bytes), testing_support::buildArchiveBytes(raw));

      auto index = mpak::readArchiveIndex(bytes);
      ASSERT_EQ(index.entries.size(), entries.size());
      int members = 0;
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& want = entries[i];
        const auto& got = index.entries[i];
        std::string wantPath = want.path;
        std::replace(wantPath.begin(), wantPath.end(), '/', '\\');
        EXPECT_EQ(got.path, wantPath);
        EXPECT_EQ(got.storedSize, want.stored.size());
        EXPECT_EQ(got.unpackedSize, want.unpackedSize);
        EXPECT_EQ(got.compressedFlag, want.compressed ? 1 : 0);
        EXPECT_EQ(got.stocRecord, want.inStoc ? members++ : -1);
        ASSERT_EQ(got.dataOffsets.size(), want.copies);
        EXPECT_TRUE(mpak::dataInBounds(index, got));
        for (std::size_t k = 0; k < want.copies; ++k) {
          auto at = bytes.begin() + static_cast<std::ptrdiff_t>(mpak::copyPosition(index, got, k));
          EXPECT_EQ(std::vector<std::uint8_t>(at, at + static_cast<std::ptrdiff_t>(got.storedSize)),
                    want.stored);
        }
      }
      EXPECT_EQ(index.stoc.size(), static_cast<std::size_t>(members));
    }
  }
}

}  // namespace
