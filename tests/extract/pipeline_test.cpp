// Property: inflated bytes waiting to be written stay within the in-flight bound, except
// for one entry larger than the bound, which goes through alone.
#include <chrono>
#include <thread>

#include "extract/entry_data.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

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
