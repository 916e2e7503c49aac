// Property: the writer refuses what the format cannot hold (empty or over-long paths, more
// than 32767 entries, data offsets beyond 4 GiB) naming the entry, refuses being driven
// out of order, and a write that fails part-way through a FileSink leaves no file behind:
// neither a target nor a temporary, and a target that existed stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::vector<mpak::BuiltEntry> kEntries = {
    {"a/b.txt", {'h', 'e', 'l', 'l', 'o'}, 5, false, 2, true},
    {"c.bin", std::vector<std::uint8_t>(300, 0x5A), 1000, true, 1, false},
    {"empty", {}, 0, false, 0, true},
};

std::vector<mpak::WriterEntry> layoutOf(const std::vector<mpak::BuiltEntry>& entries) {
  std::vector<mpak::WriterEntry> out;
  for (const auto& e : entries)
    out.push_back({e.path, e.copies, e.inStoc});
  return out;
}

void writeAll(mpak::Sink& sink) {
  mpak::ArchiveWriter writer(sink, layoutOf(kEntries));
  for (const auto& e : kEntries)
    writer.addData(e.stored, e.unpackedSize, e.compressed);
  writer.finish();
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  return names;
}

TEST(FileSink, CommitPutsTheArchiveInPlace) {
  testing_support::TempDir dir;
  fs::path target = dir.path() / "out.mpak";
  {
    mpak::FileSink sink(target);
    writeAll(sink);
    EXPECT_FALSE(fs::exists(target));  // nothing there until commit
    sink.commit();
  }
  EXPECT_EQ(testing_support::slurp(target),
            testing_support::toString(mpak::buildArchive(kEntries)));
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.mpak"});
}

TEST(FileSink, UncreatableTargetNamesItsPath) {
  testing_support::TempDir dir;
  fs::path target = dir.path() / "no such folder" / "x.mpak";
  try {
    mpak::FileSink sink(target);
    FAIL() << "created a file in a missing folder";
  } catch (const std::system_error& e) {
    EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
  }
}

class FailingWrite : public testing::TestWithParam<std::uint64_t> {};

TEST_P(FailingWrite, LeavesNoFileBehind) {
  testing_support::TempDir dir;
  fs::path target = dir.path() / "new.mpak";
  bool failed = false;
  try {
    mpak::FileSink file(target);
    testing_support::FailingSink sink(file, GetParam());
    writeAll(sink);
    file.commit();
  } catch (const testing_support::SinkFull&) {
    failed = true;
  }
  EXPECT_TRUE(failed);
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST_P(FailingWrite, KeepsAnExistingTargetAsItWas) {
  testing_support::TempDir dir;
  fs::path target = dir.path() / "old.mpak";
  dir.write("old.mpak", "the previous archive");
  try {
    mpak::FileSink file(target);
    testing_support::FailingSink sink(file, GetParam());
    writeAll(sink);
    file.commit();
  } catch (const testing_support::SinkFull&) {
  }
  EXPECT_EQ(testing_support::slurp(target), "the previous archive");
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"old.mpak"});
}

// The archive is 436 bytes (20 header, 74 TOC, 32 STOC and tags, 310 data) and the TOC
// is written again at the end: fail in the header, the TOC, the STOC, the data and the
// final TOC rewrite.
INSTANTIATE_TEST_SUITE_P(Budgets, FailingWrite, testing::Values(0, 10, 40, 100, 200, 480, 509));

TEST(FailingWriteBudget, ArchiveAndTocRewriteTakeExactly510Bytes) {
  ASSERT_EQ(mpak::buildArchive(kEntries).size(), 436u);
  mpak::MemorySink tooSmall;
  testing_support::FailingSink failing(tooSmall, 509);
  EXPECT_THROW(writeAll(failing), testing_support::SinkFull);

  mpak::MemorySink enough;
  testing_support::FailingSink fits(enough, 510);
  writeAll(fits);
  EXPECT_EQ(enough.bytes(), mpak::buildArchive(kEntries));
}

struct RefusedCase {
  const char* name;
  std::vector<mpak::WriterEntry> entries;
  std::vector<std::string> mustSay;
};

class RefusedLayout : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedLayout, ThrowsFormatErrorNamingTheEntry) {
  mpak::MemorySink sink;
  try {
    mpak::ArchiveWriter writer(sink, GetParam().entries);
    FAIL() << "accepted";
  } catch (const mpak::FormatError& e) {
    std::string what = e.what();
    for (const auto& word : GetParam().mustSay)
      EXPECT_NE(what.find(word), std::string::npos) << what;
  }
  EXPECT_EQ(sink.position(), 0u);  // nothing written
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RefusedLayout,
    testing::Values(
        RefusedCase{"EmptyPath", {{"a", 1, false}, {"", 1, false}}, {"entry 1", "empty"}},
        RefusedCase{"PathOver255", {{std::string(300, 'x'), 1, true}}, {"entry 0", "300"}},
        RefusedCase{"TooManyEntries",
                    std::vector<mpak::WriterEntry>(32768, {"f", 0, false}),
                    {"32768 entries", "32767"}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ArchiveWriter, TakesExactly32767Entries) {
  mpak::MemorySink sink;
  mpak::ArchiveWriter writer(sink, std::vector<mpak::WriterEntry>(32767, {"f", 0, true}));
  for (int i = 0; i < 32767; ++i)
    writer.addData({}, 0, false);
  writer.finish();
  auto index = mpak::readArchiveIndex(sink.bytes());
  EXPECT_EQ(index.entries.size(), 32767u);
  EXPECT_EQ(index.stoc.size(), 32767u);
  EXPECT_EQ(index.stoc.back().tocIndex, 32766u);
}

TEST(ArchiveWriter, RefusesBeingDrivenOutOfOrder) {
  mpak::MemorySink sink;
  mpak::ArchiveWriter writer(sink, {{"one", 1, false}});
  EXPECT_THROW(writer.finish(), std::logic_error);
  writer.addData({}, 0, false);
  EXPECT_THROW(writer.addData({}, 0, false), std::logic_error);
  writer.finish();
  EXPECT_THROW(writer.finish(), std::logic_error);
}

// Counts bytes without keeping them, to reach 4 GiB of data offsets in no time.
class CountingSink : public mpak::Sink {
 public:
  void write(std::span<const std::uint8_t> bytes) override { m_position += bytes.size(); }
  void writeAt(std::uint64_t, std::span<const std::uint8_t>) override {}
  std::uint64_t position() const override { return m_position; }

 private:
  std::uint64_t m_position = 0;
};

TEST(ArchiveWriter, RefusesDataOffsetsBeyond4GiB) {
  std::vector<std::uint8_t> block(65536, 1);
  CountingSink sink;
  mpak::ArchiveWriter writer(sink, {{"big", 65535, false}, {"next", 2, false}});
  writer.addData(block, 65536, false);  // copies at offsets 4 .. 4 + 65534 * 65536
  try {
    // The first copy starts at 4 + 65535 * 65536 = 0xFFFF0004, the second beyond 4 GiB.
    writer.addData(block, 65536, false);
    FAIL() << "accepted a data offset beyond 4 GiB";
  } catch (const mpak::FormatError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("entry 1 (next): copy 1"), std::string::npos) << what;
    EXPECT_NE(what.find("0x100000004"), std::string::npos) << what;
  }
}

}  // namespace
