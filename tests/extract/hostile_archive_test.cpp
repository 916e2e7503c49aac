// Property: a hostile archive cannot crash extraction, over-allocate, or write outside the root.
#include "extract/extractor.h"
#include "extract/verifier.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(HostileArchive, FuzzSeedsNeverCrashOrEscape) {
  const auto seeds = fs::path(__FILE__).parent_path() / "../../fuzz/corpus/archive_reader";
  int read = 0;
  for (const auto& seed : fs::directory_iterator(seeds)) {
    SCOPED_TRACE(seed.path().string());
    testing_support::TempDir dir;
    fs::create_directory(dir.path() / "root");
    auto data = testing_support::toBytes(slurp(seed.path()));
    mpak::ArchiveIndex index;
    try {
      index = mpak::readArchiveIndex(data);
    } catch (const mpak::FormatError&) {
      continue;
    }
    ++read;
    extract::ExtractOptions options;
    options.pipeline.maxInFlightBytes = 1 << 20;
    auto summary = extract::extractEntries(data, index, extract::everyEntry(index),
                                           dir.path() / "root", options);
    EXPECT_EQ(summary.total(), index.entries.size());
    extract::verifyArchive(data, index);
    for (const auto& f : filesBelow(dir.path()))
      EXPECT_TRUE(f.starts_with("root/")) << f;
  }
  EXPECT_GT(read, 0);
}

}  // namespace
}  // namespace extract_tests
