// Property: the writer lays out the format's worked values, refuses what the format cannot hold,
// and a failed write leaves no file; the reader reads the values back.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::toBytes;
using testing_support::toString;

TEST(ArchiveFormat, EmptyArchiveIs28Bytes) {
  const std::string expected("MPAK\x04\0\0\0\x04\0\0\0\0\0\0\0TOC\0STOCRAWD", 28);
  EXPECT_EQ(toString(mpak::buildArchive({})), expected);
  auto index = mpak::readArchiveIndex(toBytes(expected));
  EXPECT_EQ(index.stocPosition, 0x14u);
  EXPECT_EQ(index.rawdPosition, 0x18u);
  EXPECT_TRUE(index.entries.empty());
}

TEST(ArchiveFormat, OneEntryHasRecordLength18AndRecordSize26AndNoStoc) {
  // Header (T + 4 = 30, S + 4 = 4, 1 entry, 0 STOC), "TOC\0", the 26-byte record at 20
  // (length 18, sizes 10 and 10, flag 0, path 7, "a/b.txt\0", 1 copy, offset 4), then
  // "STOC" with no records, "RAWD" and the data.
  const std::string expected(
      "MPAK\x1E\0\0\0\x04\0\0\0\x01\0\0\0TOC\0"
      "\x12\0\x0A\0\0\0\x0A\0\0\0\0\x07"
      "a/b.txt\0\x01\0\x04\0\0\0STOCRAWD0123456789",
      64);
  EXPECT_EQ(toString(mpak::buildArchive({{"a/b.txt", toBytes("0123456789"), 10, false, 1, false}})),
            expected);
  EXPECT_EQ(testing_support::buildArchiveBytes({{.path = "a/b.txt", .stored = "0123456789"}}),
            expected);

  auto index = mpak::readArchiveIndex(toBytes(expected));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "a\\b.txt");
  EXPECT_EQ(index.entries[0].recordOffset, 20u);
  EXPECT_EQ(index.entries[0].dataPosition, 54u);
  EXPECT_EQ(index.stocPosition, 46u);
}

TEST(ArchiveFormat, CopiesFollowEachOtherFromOffset4) {
  auto index = mpak::readArchiveIndex(
      mpak::buildArchive({{"e", std::vector<std::uint8_t>(100, 'x'), 0, false, 2, false},
                          {"f", std::vector<std::uint8_t>(100, 'y'), 0, false, 1, false}}));
  ASSERT_EQ(index.entries.size(), 2u);
  EXPECT_EQ(index.entries[0].dataOffsets, (std::vector<std::uint32_t>{4, 104}));
  EXPECT_EQ(index.entries[1].dataOffsets, (std::vector<std::uint32_t>{204}));
}

TEST(ArchiveFormat, PathOf255BytesIsWrittenAndReadBackAnd256IsRefused) {
  const std::string path = "dir/" + std::string(251, 'p');
  auto index =
      mpak::readArchiveIndex(mpak::buildArchive({{path, toBytes("xyz"), 3, false, 1, true}}));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "dir\\" + std::string(251, 'p'));
  ASSERT_EQ(index.stoc.size(), 1u);
  EXPECT_EQ(index.stoc[0].path, path);

  mpak::MemorySink sink;
  const std::string tooLong(256, 'q');
  try {
    mpak::ArchiveWriter writer(sink, {{"ok", 1, false}, {tooLong, 1, false}});
    ADD_FAILURE() << "accepted a 256-byte path";
  } catch (const mpak::FormatError& e) {
    EXPECT_EQ(std::string(e.what()),
              "entry 1 (" + tooLong + "): the path is 256 bytes long, more than 255");
  }
  EXPECT_EQ(sink.position(), 0u);
}

TEST(FileSink, FailingWriteLeavesNoFileBehind) {
  const std::vector<mpak::BuiltEntry> entries = {
      {"a/b.txt", {'h', 'e', 'l', 'l', 'o'}, 5, false, 2, true},
      {"c.bin", std::vector<std::uint8_t>(300, 0x5A), 1000, true, 1, false},
      {"empty", {}, 0, false, 0, true}};
  const std::string archive = toString(mpak::buildArchive(entries));
  // 436 bytes of archive plus the 74-byte TOC written again at the end: budgets fail in
  // the header, the TOC, the STOC, the data and the final rewrite; 510 is enough.
  ASSERT_EQ(archive.size(), 436u);
  for (std::uint64_t budget : {0, 10, 40, 100, 200, 480, 509, 510}) {
    for (const char* name : {"new.mpak", "old.mpak"}) {
      SCOPED_TRACE(std::string(name) + " with " + std::to_string(budget) + " bytes");
      testing_support::TempDir dir;
      dir.write("old.mpak", "the previous archive");
      try {
        mpak::FileSink file(dir.path() / name);
        testing_support::FailingSink sink(file, budget);
        std::vector<mpak::WriterEntry> layout;
        for (const auto& e : entries)
          layout.push_back({e.path, e.copies, e.inStoc});
        mpak::ArchiveWriter writer(sink, layout);
        for (const auto& e : entries)
          writer.addData(e.stored, e.unpackedSize, e.compressed);
        writer.finish();
        file.commit();
        EXPECT_EQ(budget, 510u);
      } catch (const testing_support::SinkFull&) {
        EXPECT_LT(budget, 510u);
      }
      const bool written = budget == 510u, isNew = name == std::string("new.mpak");
      EXPECT_EQ(testing_support::slurp(dir.path() / name),
                written ? archive : (isNew ? "" : "the previous archive"));
      auto files = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
      EXPECT_EQ(files, written && isNew ? 2 : 1);  // no temporary left over
    }
  }
}

}  // namespace
