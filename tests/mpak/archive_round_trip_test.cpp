// Property: whatever entries the writer is given (paths of any byte, 1 to 255 long,
// 0 to several copies, any flags and sizes, any STOC membership), the reader gives back
// the same paths, sizes, flags, copies, STOC membership and, at every data offset, the
// exact stored bytes; the header agrees with a hand layout of the same entries.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"

namespace {

struct Shape {
  const char* name;
  unsigned seed;
  int maxEntries;
  int maxCopies;
  std::size_t maxStored;
};

class RoundTrip : public testing::TestWithParam<Shape> {};

std::string randomPath(std::mt19937& rng) {
  std::uniform_int_distribution<int> length(1, 255);
  std::uniform_int_distribution<int> byte(1, 255);
  std::string path(static_cast<std::size_t>(length(rng)), 'x');
  for (char& c : path)
    c = static_cast<char>(byte(rng));
  return path;
}

TEST_P(RoundTrip, ReaderGivesBackWhatTheWriterWasGiven) {
  const Shape& shape = GetParam();
  std::mt19937 rng(shape.seed);
  for (int round = 0; round < 40; ++round) {
    std::uniform_int_distribution<int> count(0, shape.maxEntries);
    std::uniform_int_distribution<int> copies(0, shape.maxCopies);
    std::uniform_int_distribution<std::size_t> size(0, shape.maxStored);
    std::uniform_int_distribution<std::uint32_t> any32;
    std::vector<mpak::BuiltEntry> entries(static_cast<std::size_t>(count(rng)));
    std::vector<testing_support::RawEntry> raw;
    for (auto& e : entries) {
      e.path = randomPath(rng);
      e.stored.resize(size(rng));
      for (auto& b : e.stored)
        b = static_cast<std::uint8_t>(rng());
      e.unpackedSize = any32(rng);
      e.compressed = rng() % 2 == 0;
      e.copies = static_cast<std::uint16_t>(copies(rng));
      e.inStoc = rng() % 3 == 0;
      testing_support::RawEntry r;
      r.path = e.path;
      r.stored.assign(e.stored.begin(), e.stored.end());
      r.unpackedSize = e.unpackedSize;
      r.flag = static_cast<std::uint8_t>(e.compressed ? 1 : 0);
      r.copies = e.copies;
      r.inStoc = e.inStoc;
      raw.push_back(r);
    }
    auto bytes = mpak::buildArchive(entries);
    // Two independent layouts of the same table agree byte for byte.
    ASSERT_EQ(testing_support::toString(bytes), testing_support::buildArchiveBytes(raw))
        << "round " << round;

    auto index = mpak::readArchiveIndex(bytes);
    ASSERT_EQ(index.entries.size(), entries.size());
    EXPECT_EQ(index.fileSize, bytes.size());
    std::size_t members = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const auto& want = entries[i];
      const auto& got = index.entries[i];
      std::string wantPath = want.path;
      for (char& c : wantPath)
        if (c == '/')
          c = '\\';
      EXPECT_EQ(got.path, wantPath);
      EXPECT_EQ(got.storedSize, want.stored.size());
      EXPECT_EQ(got.unpackedSize, want.unpackedSize);
      EXPECT_EQ(got.compressedFlag, want.compressed ? 1 : 0);
      EXPECT_EQ(got.copies, want.copies);
      EXPECT_EQ(got.inStoc, want.inStoc ? 1 : 0);
      EXPECT_EQ(got.stocRecord, want.inStoc ? static_cast<int>(members) : -1);
      members += want.inStoc ? 1 : 0;
      EXPECT_TRUE(mpak::dataInBounds(index, got));
      ASSERT_EQ(got.dataOffsets.size(), want.copies);
      for (std::size_t k = 0; k < got.dataOffsets.size(); ++k) {
        auto at = static_cast<std::ptrdiff_t>(mpak::copyPosition(index, got, k));
        std::vector<std::uint8_t> copy(
            bytes.begin() + at, bytes.begin() + at + static_cast<std::ptrdiff_t>(got.storedSize));
        EXPECT_EQ(copy, want.stored) << "entry " << i << " copy " << k;
      }
    }
    EXPECT_EQ(index.stoc.size(), members);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RoundTrip,
                         testing::Values(Shape{"Few", 1, 3, 2, 16}, Shape{"ManySmall", 2, 60, 3, 8},
                                         Shape{"ManyCopies", 3, 5, 40, 64},
                                         Shape{"LargeData", 4, 4, 2, 70000}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(RoundTrip, TenThousandAndTwoEntriesReadQuickly) {
  // More entries than the window's catalogue holds: the reader itself has no limit and
  // does linear work.
  std::vector<mpak::BuiltEntry> entries(10002);
  for (std::size_t i = 0; i < entries.size(); ++i)
    entries[i] = {"dir/file" + std::to_string(i) + ".bin",
                  {static_cast<std::uint8_t>(i)},
                  1,
                  false,
                  1,
                  i % 7 == 0};
  auto bytes = mpak::buildArchive(entries);
  auto index = mpak::readArchiveIndex(bytes);
  ASSERT_EQ(index.entries.size(), 10002u);
  EXPECT_EQ(index.entries.back().path, "dir\\file10001.bin");
  EXPECT_EQ(index.entries[10001].inStoc, 0);
  EXPECT_EQ(index.entries[9996].inStoc, 1);
  EXPECT_EQ(bytes[index.entries.back().dataPosition], static_cast<std::uint8_t>(10001));
}

}  // namespace
