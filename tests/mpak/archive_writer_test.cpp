// Property: the writer refuses what the format cannot hold and a failed write leaves no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
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

void writeAll(mpak::Sink& sink) {
  std::vector<mpak::WriterEntry> layout;
  for (const auto& e : kEntries)
    layout.push_back({e.path, e.copies, e.inStoc});
  mpak::ArchiveWriter writer(sink, layout);
  for (const auto& e : kEntries)
    writer.addData(e.stored, e.unpackedSize, e.compressed);
  writer.finish();
}

TEST(FileSink, FailingWriteLeavesNoFileBehind) {
  // 436 bytes of archive plus the 74-byte TOC written again at the end: budgets fail in
  // the header, the TOC, the STOC, the data and the final rewrite; 510 is enough.
  ASSERT_EQ(mpak::buildArchive(kEntries).size(), 436u);
  for (std::uint64_t budget : {0, 10, 40, 100, 200, 480, 509, 510}) {
    for (const char* name : {"new.mpak", "old.mpak"}) {
      SCOPED_TRACE(std::string(name) + " with " + std::to_string(budget) + " bytes");
      testing_support::TempDir dir;
      dir.write("old.mpak", "the previous archive");
      try {
        mpak::FileSink file(dir.path() / name);
        testing_support::FailingSink sink(file, budget);
        writeAll(sink);
        file.commit();
        EXPECT_EQ(budget, 510u);
      } catch (const testing_support::SinkFull&) {
        EXPECT_LT(budget, 510u);
      }
      const bool written = budget == 510u, isNew = name == std::string("new.mpak");
      EXPECT_EQ(testing_support::slurp(dir.path() / name),
                written ? testing_support::toString(mpak::buildArchive(kEntries))
                        : (isNew ? "" : "the previous archive"));
      auto files = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
      EXPECT_EQ(files, written && isNew ? 2 : 1);  // no temporary left over
    }
  }
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

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHold) {
  struct Row {
    std::vector<mpak::WriterEntry> entries;
    std::string message;
  };
  const Row rows[] = {
      {{{"a", 1, false}, {"", 1, false}}, "entry 1 (): the path is empty"},
      {{{"ok", 1, false}, {std::string(256, 'q'), 1, false}},
       "entry 1 (" + std::string(256, 'q') + "): the path is 256 bytes long, more than 255"},
      {std::vector<mpak::WriterEntry>(32768, {"f", 0, false}),
       "archive: 32768 entries, more than 32767"},
  };
  for (const Row& row : rows) {
    mpak::MemorySink sink;
    try {
      mpak::ArchiveWriter writer(sink, row.entries);
      ADD_FAILURE() << "accepted; wanted " << row.message;
    } catch (const mpak::FormatError& e) {
      EXPECT_EQ(std::string(e.what()), row.message);
    }
    EXPECT_EQ(sink.position(), 0u);
  }
}

}  // namespace
