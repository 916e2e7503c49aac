// Property: the writer lays out the format's worked values, refuses what the format cannot
// hold, and a failed write leaves no file; the reader finds every record of hand-laid bytes
// by the layout alone and gives back whatever the writer was given, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "support/archive_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RawEntry;
using testing_support::toBytes;
using testing_support::toString;

TEST(ArchiveFormat, EmptyAndOneEntryArchivesHaveTheirWorkedBytes) {
  const std::string empty("MPAK\x04\0\0\0\x04\0\0\0\0\0\0\0TOC\0STOCRAWD", 28);
  EXPECT_EQ(toString(mpak::buildArchive({})), empty);
  auto index = mpak::readArchiveIndex(toBytes(empty));
  EXPECT_EQ(index.stocPosition, 0x14u);
  EXPECT_EQ(index.rawdPosition, 0x18u);
  EXPECT_TRUE(index.entries.empty());

  // Header (T + 4 = 30, S + 4 = 4, 1 entry, 0 STOC), "TOC\0", the 26-byte record at 20
  // (length 18, sizes 10 and 10, flag 0, path 7, "a/b.txt\0", 1 copy, offset 4), then
  // "STOC" with no records, "RAWD" and the data.
  const std::string one(
      "MPAK\x1E\0\0\0\x04\0\0\0\x01\0\0\0TOC\0"
      "\x12\0\x0A\0\0\0\x0A\0\0\0\0\x07"
      "a/b.txt\0\x01\0\x04\0\0\0STOCRAWD0123456789",
      64);
  EXPECT_EQ(toString(mpak::buildArchive({{"a/b.txt", toBytes("0123456789"), 10, false, 1, false}})),
            one);
  EXPECT_EQ(testing_support::buildArchiveBytes({{.path = "a/b.txt", .stored = "0123456789"}}), one);
  index = mpak::readArchiveIndex(toBytes(one));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "a\\b.txt");
  EXPECT_EQ(index.entries[0].recordOffset, 20u);
  EXPECT_EQ(index.entries[0].dataPosition, 54u);
  EXPECT_EQ(index.stocPosition, 46u);
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
      {"a/b.txt", toBytes("hello"), 5, false, 2, true},
      {"c.bin", std::vector<std::uint8_t>(300, 0x5A), 1000, true, 1, false},
      {"empty", {}, 0, false, 0, true}};
  const std::string archive = toString(mpak::buildArchive(entries));
  // Budgets that fail in the header, the TOC, the data and the final rewrite of the TOC;
  // the last one is enough.
  for (std::uint64_t budget : {0, 40, 200, static_cast<int>(archive.size()), 1 << 20}) {
    for (const char* name : {"new.mpak", "old.mpak"}) {
      SCOPED_TRACE(std::string(name) + " with " + std::to_string(budget) + " bytes");
      const bool written = budget == 1 << 20, isNew = name == std::string("new.mpak");
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
        EXPECT_TRUE(written);
      } catch (const testing_support::SinkFull&) {
        EXPECT_FALSE(written);
      }
      EXPECT_EQ(testing_support::slurp(dir.path() / name),
                written ? archive : (isNew ? "" : "the previous archive"));
      auto files = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
      EXPECT_EQ(files, written && isNew ? 2 : 1);  // no temporary left over
    }
  }
}

TEST(ArchiveReader, HandLaidOddArchiveLoadsWithTheLaidOutValues) {
  const std::vector<RawEntry> entries = {
      {.path = "a\\b.txt", .stored = "0123456789", .recordLength = 0},
      {.path = "c.bin", .stored = "xy", .flag = 7, .inStoc = true, .recordLength = 0xFFFF},
      {.path = "none", .stored = "ignored", .copies = 0},
      {.path = "d", .stored = "22", .flag = 255, .copies = 5, .terminator = 'Z'},
      {.path = "", .stored = "q"},
  };
  auto built = testing_support::buildArchive(
      entries, {{65535, "far", 999}},
      {.fileTag = "KAPM", .tocTag = "toc!", .stocTag = "stoc", .rawdTag = std::string(4, '\0')});
  auto index = mpak::readArchiveIndex(toBytes(built.bytes));
  ASSERT_EQ(index.entries.size(), entries.size());
  EXPECT_EQ(index.stocPosition, built.stocPosition);
  EXPECT_EQ(index.rawdPosition, built.rawdPosition);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& got = index.entries[i];
    SCOPED_TRACE(entries[i].path);
    EXPECT_EQ(got.recordOffset, built.recordOffsets[i]);
    EXPECT_EQ(got.path, entries[i].path);
    EXPECT_EQ(got.compressedFlag, entries[i].flag);
    EXPECT_EQ(got.copies, entries[i].copies);
    EXPECT_EQ(got.inStoc, entries[i].inStoc ? 1 : 0);
    if (got.copies > 0) {
      EXPECT_EQ(built.bytes.substr(got.dataPosition, got.storedSize), entries[i].stored);
    }
  }
  EXPECT_EQ(index.entries[2].dataPosition, built.rawdPosition);  // no copies
  ASSERT_EQ(index.stoc.size(), 2u);
  EXPECT_EQ(index.stoc[1].tocIndex, 65535u);
  EXPECT_EQ(index.stoc[1].path, "far");
  EXPECT_EQ(index.entries[1].stocRecord, 0);
}

TEST(ArchiveReader, DataRangesAreJudgedByDataInBounds) {
  // The file ends with "RAWD" and the last entry's 8 bytes: offsets 4 to 11 are data.
  auto index = mpak::readArchiveIndex(toBytes(testing_support::buildArchiveBytes(
      {{.path = "out", .copies = 2, .storedSizeField = 2, .dataOffsets = {{4, 11}}},
       {.path = "in", .copies = 2, .storedSizeField = 4, .dataOffsets = {{8, 4}}},
       {.path = "z", .stored = "12345678"}})));
  EXPECT_FALSE(mpak::dataInBounds(index, index.entries[0]));
  EXPECT_TRUE(mpak::dataInBounds(index, index.entries[1]));
}

}  // namespace
