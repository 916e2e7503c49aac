// Property: what the archive writer stores, extraction gives back byte for byte and in order;
// inflated bytes waiting to be written stay within the in-flight bound, except for one entry
// larger than the bound, which goes through alone.
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "extract/entry_data.h"
#include "extract/extractor.h"
#include "extract_fixture.h"
#include "mpak/archive_writer.h"
#include "util/deflate.h"

namespace extract_tests {
namespace {

TEST(RoundTrip, ThousandsOfWrittenEntriesComeBackByteForByte) {
  // Text that compresses and noise that does not, empty and large files, up to three folders
  // deep; copies 0 to 3 (0 comes back empty), every 10th entry in the STOC.
  std::mt19937 rng(20240611);
  std::vector<mpak::BuiltEntry> entries;
  std::vector<RawEntry> laidOut;
  std::map<std::string, std::string> expected;
  for (std::size_t i = 0; i < 3000; ++i) {
    auto n = [](std::size_t v) { return std::to_string(v); };
    std::string path = "d" + n(i % 23) + "/s" + n(i % 7) + (i % 3 ? "" : "/t" + n(i % 5)) + "/f" +
                       n(i) + (i % 2 ? ".txt" : ".bin");
    std::string content(i % 50 == 0 ? 0 : (i % 97 == 0 ? 200000 + rng() % 100000 : rng() % 3000),
                        '\0');
    for (std::size_t k = 0; k < content.size(); ++k)
      content[k] = i % 2 ? "lorem ipsum dolor sit amet "[(k + i) % 27] : static_cast<char>(rng());
    auto raw = testing_support::toBytes(content), packed = util::deflateRaw(raw, 6);
    const bool pack = packed.size() < raw.size();
    const auto copies = static_cast<std::uint16_t>(i % 101 == 0 ? 0 : 1 + i % 3);
    expected[path] = copies == 0 ? "" : content;
    entries.push_back({path, pack ? packed : raw, static_cast<std::uint32_t>(raw.size()), pack,
                       copies, i % 10 == 0});
    laidOut.push_back({path, testing_support::toString(entries.back().stored),
                       static_cast<std::uint32_t>(raw.size()), pack, copies, i % 10 == 0});
  }
  const auto data = mpak::buildArchive(entries);
  // The writer lays the entries out exactly as the hand layout does.
  ASSERT_TRUE(testing_support::toString(data) == testing_support::buildArchiveBytes(laidOut));
  const auto index = mpak::readArchiveIndex(data);
  ASSERT_EQ(index.entries.size(), entries.size());
  EXPECT_EQ(index.stoc.size(), 300u);

  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    testing_support::TempDir dir;
    extract::ExtractOptions options;
    options.pipeline.threads = threads;
    std::vector<std::size_t> order;

    auto summary =
        extract::extractEntries(data, index, extract::everyEntry(index), dir.path(), options,
                                [&](const extract::EntryReport& what, std::size_t, std::size_t) {
                                  order.push_back(what.entryIndex);
                                });

    EXPECT_TRUE(summary.problems.empty());
    EXPECT_EQ(order, extract::everyEntry(index));
    std::map<std::string, std::string> got;
    for (const auto& f : filesBelow(dir.path()))
      got[f] = slurp(dir.path() / f);
    EXPECT_TRUE(got == expected) << got.size() << " files for " << expected.size() << " entries";
  }
}

TEST(Pipeline, InflatedBytesInFlightStayWithinTheBound) {
  constexpr std::size_t kMiB = 1 << 20;
  const std::string mebibyte(kMiB, 'z'), five(5 * kMiB, 'f');
  std::vector<RawEntry> entries;
  for (int i = 0; i < 12; ++i)
    entries.push_back(compressed("m" + std::to_string(i), mebibyte));
  entries.push_back(compressed("five", five));
  const auto bytes = testing_support::toBytes(testing_support::buildArchiveBytes(entries));
  const auto index = mpak::readArchiveIndex(bytes);

  const std::vector<std::size_t> small = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const std::vector<std::size_t> withLarge = {0, 1, 12, 2, 3};
  const struct {
    const std::vector<std::size_t>& order;
    std::size_t most, least;
  } rows[] = {{small, 3 * kMiB, 2 * kMiB}, {withLarge, 5 * kMiB, 5 * kMiB}};
  for (const auto& row : rows) {
    extract::PipelineOptions options;
    options.threads = 2;
    options.maxInFlightBytes = 3 * kMiB;
    std::size_t consumed = 0;
    // A slow consumer, so the workers run as far ahead as the bound lets them.
    auto peak = extract::forEachEntryData(
        bytes, index, row.order, options, {}, [&](std::size_t, extract::EntryData& data) {
          EXPECT_EQ(data.state, extract::EntryData::State::Ready) << data.reason;
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
          ++consumed;
        });
    EXPECT_EQ(consumed, row.order.size());
    EXPECT_LE(peak, row.most);
    EXPECT_GE(peak, row.least) << "the workers never ran ahead";
  }
}

}  // namespace
}  // namespace extract_tests
