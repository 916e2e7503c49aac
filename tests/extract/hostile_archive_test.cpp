// Property: an archive made by a stranger cannot crash extraction, make it allocate what
// the file does not hold, or make it write outside the extraction root. The fuzz seed
// corpus, a hand-made hostile archive and randomly corrupted archives all go through the
// reader, the extraction engine and the checker (under the sanitizers in the asan build).
#include <gtest/gtest.h>

#include <random>

#include "extract/extractor.h"
#include "extract/verifier.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

using testing_support::RawEntry;

// Reads the index, extracts every entry below <dir>/root and checks the archive. Returns
// the files that appeared in <dir> outside the root (there must be none).
std::vector<std::string> extractAnything(const std::string& bytes) {
  testing_support::TempDir dir;
  const auto root = dir.path() / "root";
  fs::create_directory(root);
  auto data = testing_support::toBytes(bytes);
  mpak::ArchiveIndex index;
  try {
    index = mpak::readArchiveIndex(data);
  } catch (const mpak::FormatError&) {
    return {};
  }
  extract::ExtractOptions options;
  options.pipeline.maxInFlightBytes = 1 << 20;
  auto summary = extract::extractEntries(data, index, extract::everyEntry(index), root, options);
  EXPECT_EQ(summary.total(), index.entries.size());
  extract::verifyArchive(data, index);
  std::vector<std::string> outside;
  for (const auto& f : filesBelow(dir.path()))
    if (f.rfind("root/", 0) != 0)
      outside.push_back(f);
  return outside;
}

fs::path corpusFolder() {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "corpus" /
         "archive_reader";
}

TEST(HostileArchive, FuzzSeedCorpusIsHandledSafely) {
  std::error_code ec;
  std::size_t seen = 0;
  for (const auto& file : fs::directory_iterator(corpusFolder(), ec)) {
    if (!file.is_regular_file())
      continue;
    ++seen;
    EXPECT_TRUE(extractAnything(testing_support::slurp(file.path())).empty()) << file.path();
  }
  if (seen == 0)
    GTEST_SKIP() << "no seed corpus in " << corpusFolder();
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
  auto built = testing_support::buildArchive(
      {stored("fine.txt", "fine"), bomb, overlapping, wrapping, manyCopies,
       stored("../../../../../../tmp/tw-hostile.txt", "x"), stored("/tmp/tw-hostile.txt", "x")});

  testing_support::TempDir dir;
  const auto root = dir.path() / "root";
  fs::create_directory(root);
  auto data = testing_support::toBytes(built.bytes);
  auto index = mpak::readArchiveIndex(data);
  auto summary = extract::extractEntries(data, index, extract::everyEntry(index), root);

  EXPECT_EQ(summary.refused, 2u);
  EXPECT_EQ(summary.failed, 2u);  // the bomb and the wrapping range
  EXPECT_EQ(filesBelow(root), (std::vector<std::string>{"copies.bin", "fine.txt", "overlap.bin"}));
  // Offset 2 counts from the "RAWD" tag: the tag's last two letters, then fine.txt's data.
  EXPECT_EQ(testing_support::slurp(root / "overlap.bin"), "WDfine");
  auto report = extract::verifyArchive(data, index);
  EXPECT_EQ(report.badEntries, 5u);  // all but fine.txt and overlap.bin
}

TEST(HostileArchive, RandomCorruptionNeverCrashesOrEscapes) {
  auto base = testing_support::buildArchiveBytes(
      {stored("a/b.txt", "stored bytes"), compressed("c/d/e.txt", std::string(3000, 'q')),
       compressed("f.bin", "some text to compress, some text to compress"), stored("g.txt", ""),
       stored("h/i/j/k.txt", "deep")});
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes = base;
    switch (round % 3) {
      case 0:  // a few bytes anywhere
        for (int k = 0, n = 1 + static_cast<int>(rng() % 8); k < n; ++k)
          bytes[rng() % bytes.size()] = static_cast<char>(rng());
        break;
      case 1:  // one byte in the header or TOC
        bytes[rng() % std::min<std::size_t>(bytes.size(), 120)] = static_cast<char>(rng());
        break;
      default:  // cut short
        bytes.resize(rng() % bytes.size());
        break;
    }
    EXPECT_TRUE(extractAnything(bytes).empty()) << "round " << round;
  }
}

}  // namespace
}  // namespace extract_tests
