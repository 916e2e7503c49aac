// Property: the format's limits hold at their edges. 65535 entries (the 16-bit count) are
// written and read back; one more, or more than 32767 where counts are taken as signed,
// is refused before anything is written. Data at offsets past 2 GiB and up to the 4 GiB
// the offsets reach reads and extracts correctly (a sparse file); a pack whose stored data
// would pass 4 GiB stops with a message at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "extract/extractor.h"
#include "extract/verifier.h"
#include "mpak/archive_writer.h"
#include "pack/plan.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "util/mapped_file.h"

namespace {

namespace fs = std::filesystem;

std::vector<mpak::WriterEntry> manyEntries(std::size_t count) {
  std::vector<mpak::WriterEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i)
    entries[i] = {"f" + std::to_string(i), 1, i % 2 == 0};
  return entries;
}

TEST(FormatLimits, SixtyFiveThousandFiveHundredThirtyFiveEntriesAndNotOneMore) {
  mpak::MemorySink sink;
  mpak::ArchiveWriter writer(sink, manyEntries(65535), mpak::kFormatMaxEntries);
  for (std::size_t i = 0; i < 65535; ++i)
    writer.addData(std::vector<std::uint8_t>{static_cast<std::uint8_t>(i)}, 1, false);
  writer.finish();
  const auto index = mpak::readArchiveIndex(sink.bytes());
  ASSERT_EQ(index.entries.size(), 65535u);
  EXPECT_EQ(index.entries.back().path, "f65534");
  EXPECT_EQ(index.stoc.size(), 32768u);
  EXPECT_EQ(index.stoc.back().tocIndex, 65534);
  EXPECT_EQ(extract::verifyArchive(sink.bytes(), index).badEntries, 0u);

  mpak::MemorySink unused;
  EXPECT_THROW(mpak::ArchiveWriter(unused, manyEntries(65536), mpak::kFormatMaxEntries),
               mpak::FormatError);
  EXPECT_THROW(mpak::ArchiveWriter(unused, manyEntries(32768)), mpak::FormatError);
  EXPECT_EQ(unused.bytes().size(), 0u);

  pack::FolderScan scan;
  for (std::size_t i = 0; i < 65536; ++i)
    scan.files.push_back({"f" + std::to_string(i), 1});
  pack::PackOptions options;
  options.maxEntries = mpak::kFormatMaxEntries;
  EXPECT_NE(testing_support::thrown([&] {
              pack::makePlan(scan, nullptr, options);
            }).find("holds 65536 files; an archive holds at most 65535 entries"),
            std::string::npos);
}

TEST(FormatLimits, DataPastTwoGibibytesReadsAndPastFourIsRefused) {
  testing_support::TempDir dir;
  // Two entries whose data lies at 2.25 GiB and at the last offset below 4 GiB.
  const std::uint32_t far[] = {0x90000000u, 0xFFFFFFF0u};
  const std::string data[] = {"beyond two gibibytes", "just below four"};
  auto bytes = testing_support::buildArchiveBytes(
      {{.path = "a.txt", .stored = data[0], .dataOffsets = std::vector{far[0]}},
       {.path = "b.txt", .stored = data[1], .dataOffsets = std::vector{far[1]}}});
  const auto path = dir.write("huge.mpak", bytes);
  const auto index0 = mpak::readArchiveIndex(testing_support::toBytes(bytes));
  {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 2; ++i)
      ASSERT_EQ(::pwrite(fd, data[i].data(), data[i].size(),
                         static_cast<off_t>(index0.rawdPosition + far[i])),
                static_cast<ssize_t>(data[i].size()));
    ::close(fd);
  }
  const util::MappedFile file(path);
  const auto index = mpak::readArchiveIndex(file.bytes());
  EXPECT_EQ(extract::verifyArchive(file.bytes(), index).badEntries, 0u);
  fs::create_directory(dir.path() / "out");
  const auto summary =
      extract::extractEntries(file.bytes(), index, extract::everyEntry(index), dir.path() / "out");
  EXPECT_EQ(summary.written, 2u);
  EXPECT_EQ(testing_support::slurp(dir.path() / "out/a.txt"), data[0]);
  EXPECT_EQ(testing_support::slurp(dir.path() / "out/b.txt"), data[1]);

  // Four stored files of 1.5 GiB cannot all start below 4 GiB: refused before reading.
  pack::FolderScan scan;
  for (const char* name : {"w.bin", "x.bin", "y.bin", "z.bin"})
    scan.files.push_back({name, std::uint64_t{3} << 29});
  const auto table = mpak::LibraryTable::parse(
      "--\r\n\r\n00 1 0 w.bin\r\n00 1 0 x.bin\r\n00 1 0 y.bin\r\n00 1 0 z.bin");
  EXPECT_NE(testing_support::thrown([&] {
              pack::makePlan(scan, &table, {});
            }).find("an archive's data offsets reach 4 GiB"),
            std::string::npos);
}

}  // namespace
