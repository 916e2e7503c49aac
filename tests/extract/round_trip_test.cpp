// Property: what the archive writer stores, extraction gives back byte for byte, for
// thousands of entries of every kind (stored, compressed, empty, several copies, no
// copies, STOC members), whatever the number of threads and the memory window, and in
// catalogue order.
#include <gtest/gtest.h>

#include <random>

#include "extract/extract_command.h"
#include "extract/extractor.h"
#include "extract/verifier.h"
#include "extract_fixture.h"
#include "mpak/archive_writer.h"

namespace extract_tests {
namespace {

using extract_tests::PrintTo;

using testing_support::slurp;

struct Source {
  std::string path;     // "/" separators
  std::string content;  // what the file holds after extraction
};

// A deterministic mix: text that compresses, noise that does not, empty files, a few
// larger files, in folders up to three deep.
std::vector<Source> makeSources(std::size_t count) {
  std::mt19937 rng(20240611);
  std::vector<Source> out;
  for (std::size_t i = 0; i < count; ++i) {
    Source s;
    s.path = "d" + std::to_string(i % 23) + "/s" + std::to_string(i % 7) +
             (i % 3 == 0 ? "/t" + std::to_string(i % 5) : "") + "/f" + std::to_string(i) +
             (i % 2 ? ".txt" : ".bin");
    std::size_t size = i % 50 == 0 ? 0 : (i % 97 == 0 ? 200000 + rng() % 100000 : rng() % 3000);
    s.content.resize(size);
    if (i % 2) {
      for (std::size_t k = 0; k < size; ++k)
        s.content[k] = "lorem ipsum dolor sit amet "[(k + i) % 27];
    } else {
      for (auto& c : s.content)
        c = static_cast<char>(rng());
    }
    out.push_back(std::move(s));
  }
  return out;
}

// Compressed when it shrinks, stored otherwise; copies 1, 2 or 3 (0 for every 101st entry,
// which must come out empty); every 10th entry in the STOC.
std::string writeArchive(std::vector<Source>& sources) {
  std::vector<mpak::BuiltEntry> entries;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    auto& s = sources[i];
    mpak::BuiltEntry e;
    e.path = s.path;
    auto raw = testing_support::toBytes(s.content);
    auto packed = util::deflateRaw(raw, 6);
    e.compressed = packed.size() < raw.size();
    e.stored = e.compressed ? packed : raw;
    e.unpackedSize = static_cast<std::uint32_t>(raw.size());
    e.copies = static_cast<std::uint16_t>(i % 101 == 0 ? 0 : 1 + i % 3);
    e.inStoc = i % 10 == 0;
    if (e.copies == 0)
      s.content.clear();
    entries.push_back(std::move(e));
  }
  return testing_support::toString(mpak::buildArchive(entries));
}

class RoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sources = new std::vector<Source>(makeSources(3000));
    archive = new std::string(writeArchive(*sources));
  }
  static void TearDownTestSuite() {
    delete sources;
    delete archive;
  }
  void expectEveryFile(const fs::path& root) const {
    std::vector<std::string> expectedNames;
    for (const auto& s : *sources)
      expectedNames.push_back(s.path);
    std::sort(expectedNames.begin(), expectedNames.end());
    ASSERT_EQ(filesBelow(root), expectedNames);
    std::size_t wrong = 0;
    for (const auto& s : *sources)
      if (slurp(root / s.path) != s.content && ++wrong <= 5)
        ADD_FAILURE() << s.path << " differs";
    EXPECT_EQ(wrong, 0u);
  }
  static std::vector<Source>* sources;
  static std::string* archive;
};

std::vector<Source>* RoundTrip::sources = nullptr;
std::string* RoundTrip::archive = nullptr;

struct PipelineCase {
  const char* name;
  unsigned threads;
  std::size_t maxInFlightBytes;
};

class RoundTripPipeline : public RoundTrip, public ::testing::WithParamInterface<PipelineCase> {};

TEST_P(RoundTripPipeline, EngineGivesBackEveryByteInOrder) {
  testing_support::TempDir dir;
  auto data = testing_support::toBytes(*archive);
  auto index = mpak::readArchiveIndex(data);
  ASSERT_EQ(index.entries.size(), sources->size());
  extract::ExtractOptions options;
  options.pipeline.threads = GetParam().threads;
  options.pipeline.maxInFlightBytes = GetParam().maxInFlightBytes;
  std::vector<std::size_t> order;

  auto summary = extract::extractEntries(
      data, index, extract::everyEntry(index), dir.path(), options,
      [&](const extract::EntryReport& what, std::size_t n, std::size_t total) {
        EXPECT_EQ(total, sources->size());
        EXPECT_EQ(n, order.size() + 1);
        order.push_back(what.entryIndex);
      });

  EXPECT_EQ(summary.written, sources->size());
  EXPECT_TRUE(summary.problems.empty());
  EXPECT_EQ(order, extract::everyEntry(index));
  expectEveryFile(dir.path());
}

INSTANTIATE_TEST_SUITE_P(Pipelines, RoundTripPipeline,
                         ::testing::Values(PipelineCase{"OneThread", 1, std::size_t{64} << 20},
                                           PipelineCase{"TwoThreads", 2, std::size_t{64} << 20},
                                           PipelineCase{"FourThreadsSmallWindow", 4, 64 * 1024},
                                           PipelineCase{"OneEntryAtATime", 3, 1}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(RoundTrip, WindowCommandWithEverythingSelectedGivesBackEveryByte) {
  ProgramFolder p;
  p.load("big.mpak", *archive);
  extract::butSelectAll_Click(p.window);

  extract::butMassExtract_Click(p.shell, p.catalogue, {});

  expectEveryFile(p.root("big.mpak"));
  auto lines = p.logLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2], std::to_string(sources->size()) + " files extracted.");
  EXPECT_TRUE(p.window.messages.empty());
}

TEST_F(RoundTrip, SubsetInAnyOrderIsWrittenInTheGivenOrder) {
  testing_support::TempDir dir;
  auto data = testing_support::toBytes(*archive);
  auto index = mpak::readArchiveIndex(data);
  std::vector<std::size_t> chosen = {2999, 0, 97, 1500, 101, 3};
  std::vector<std::size_t> seen;

  extract::extractEntries(data, index, chosen, dir.path(), {},
                          [&](const extract::EntryReport& what, std::size_t, std::size_t) {
                            seen.push_back(what.entryIndex);
                          });

  EXPECT_EQ(seen, chosen);
  for (std::size_t i : chosen)
    EXPECT_EQ(slurp(dir.path() / (*sources)[i].path), (*sources)[i].content);
  EXPECT_EQ(filesBelow(dir.path()).size(), chosen.size());
}

TEST_F(RoundTrip, VerifyFindsNothingWrong) {
  auto data = testing_support::toBytes(*archive);
  auto index = mpak::readArchiveIndex(data);

  auto report = extract::verifyArchive(data, index);

  EXPECT_EQ(report.entries, sources->size());
  EXPECT_EQ(report.badEntries, 0u);
  for (const auto& fault : report.faults)
    ADD_FAILURE() << "entry " << fault.entryIndex << ": " << fault.what;
}

}  // namespace
}  // namespace extract_tests
