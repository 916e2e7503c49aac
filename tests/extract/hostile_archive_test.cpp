// Property: a hostile archive cannot crash extraction, over-allocate, or write outside the root.
#include <random>

#include "extract/extractor.h"
#include "extract/verifier.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

// Reads, extracts below <dir>/root and checks `bytes`; returns the files that appeared
// outside the root (there must be none).
Strings extractAnything(const std::string& bytes) {
  testing_support::TempDir dir;
  fs::create_directory(dir.path() / "root");
  auto data = testing_support::toBytes(bytes);
  mpak::ArchiveIndex index;
  try {
    index = mpak::readArchiveIndex(data);
  } catch (const mpak::FormatError&) {
    return {};
  }
  extract::ExtractOptions options;
  options.pipeline.maxInFlightBytes = 1 << 20;
  auto summary = extract::extractEntries(data, index, extract::everyEntry(index),
                                         dir.path() / "root", options);
  EXPECT_EQ(summary.total(), index.entries.size());
  extract::verifyArchive(data, index);
  Strings outside;
  for (const auto& f : filesBelow(dir.path()))
    if (!f.starts_with("root/"))
      outside.push_back(f);
  return outside;
}

TEST(HostileArchive, HandMadeArchiveFailsEntryByEntry) {
  RawEntry bomb = compressed("bomb.bin", std::string(100000, 'x'));
  bomb.unpackedSize = 0xFFFFFFFFu;
  RawEntry overlapping = stored("overlap.bin", "abcdef");
  overlapping.dataOffsets = std::vector<std::uint32_t>{2u};  // inside the first entry's data
  RawEntry wrapping = stored("wrap.bin", "w");
  wrapping.storedSizeField = 0xFFFFFFFFu;
  wrapping.dataOffsets = std::vector<std::uint32_t>{0xFFFFFFFFu};
  RawEntry manyCopies = stored("copies.bin", "c");
  manyCopies.copies = 3;
  manyCopies.dataOffsets = std::vector<std::uint32_t>{4u, 0xFFFFFFF0u, 4u};
  testing_support::TempDir dir;
  auto data = testing_support::toBytes(testing_support::buildArchiveBytes(
      {stored("fine.txt", "fine"), bomb, overlapping, wrapping, manyCopies,
       stored("../../../../../../tmp/tw-hostile.txt", "x"), stored("/tmp/tw-hostile.txt", "x")}));
  auto index = mpak::readArchiveIndex(data);

  auto summary = extract::extractEntries(data, index, extract::everyEntry(index), dir.path());

  EXPECT_EQ(summary.refused, 2u);
  EXPECT_EQ(summary.failed, 2u);  // the bomb and the wrapping range
  EXPECT_EQ(filesBelow(dir.path()), (Strings{"copies.bin", "fine.txt", "overlap.bin"}));
  // Offset 2 counts from the "RAWD" tag: the tag's last two letters, then fine.txt's data.
  EXPECT_EQ(slurp(dir.path() / "overlap.bin"), "WDfine");
  EXPECT_EQ(extract::verifyArchive(data, index).badEntries, 5u);  // all but fine and overlap
}

TEST(HostileArchive, FuzzSeedsAndRandomCorruptionNeverCrashOrEscape) {
  const auto seeds = fs::path(__FILE__).parent_path() / "../../fuzz/corpus/archive_reader";
  ASSERT_TRUE(fs::is_directory(seeds)) << seeds;
  for (const auto& seed : fs::directory_iterator(seeds))
    EXPECT_TRUE(extractAnything(slurp(seed.path())).empty()) << seed.path();
  auto base = testing_support::buildArchiveBytes(
      {stored("a/b.txt", "stored bytes"), compressed("c/d/e.txt", std::string(3000, 'q')),
       compressed("f.bin", "some text to compress, some text to compress"), stored("g.txt", ""),
       stored("h/i/j/k.txt", "deep")});
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes = base;
    if (round % 3 == 0)  // a few bytes anywhere
      for (int k = 0, n = 1 + static_cast<int>(rng() % 8); k < n; ++k)
        bytes[rng() % bytes.size()] = static_cast<char>(rng());
    else if (round % 3 == 1)  // one byte in the header or TOC
      bytes[rng() % std::min<std::size_t>(bytes.size(), 120)] = static_cast<char>(rng());
    else  // cut short
      bytes.resize(rng() % bytes.size());
    EXPECT_TRUE(extractAnything(bytes).empty()) << "round " << round;
  }
}

}  // namespace
}  // namespace extract_tests
