// Property: the reader gives back whatever the writer was given, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"

namespace {

TEST(RoundTrip, ReaderGivesBackWhatTheWriterWasGiven) {
  struct Shape {
    unsigned seed;
    int maxEntries, maxCopies;
    std::size_t maxStored;
  };
  for (Shape shape :
       {Shape{1, 3, 2, 16}, Shape{2, 60, 3, 8}, Shape{3, 5, 40, 64}, Shape{4, 4, 2, 70000}}) {
    std::mt19937 rng(shape.seed);
    auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % (n + 1)); };
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE("seed " + std::to_string(shape.seed) + " round " + std::to_string(round));
      std::vector<mpak::BuiltEntry> entries(below(static_cast<std::size_t>(shape.maxEntries)));
      std::vector<testing_support::RawEntry> raw;
      for (auto& e : entries) {
        e.path.resize(1 + below(254));
        for (char& c : e.path)
          c = static_cast<char>(1 + below(254));
        e.stored.resize(below(shape.maxStored));
        for (auto& b : e.stored)
          b = static_cast<std::uint8_t>(rng());
        e.unpackedSize = static_cast<std::uint32_t>(rng());
        e.compressed = rng() % 2 == 0;
        e.copies = static_cast<std::uint16_t>(below(static_cast<std::size_t>(shape.maxCopies)));
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
