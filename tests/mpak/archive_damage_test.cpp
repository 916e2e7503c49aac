// Property: damaged input gives a FormatError naming the record and offset, never a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "../../fuzz/fuzz_bodies.h"
#include "mpak/archive.h"
#include "mpak/file_list_item.h"
#include "mpak/library_toc.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RawEntry;

TEST(DamagedArchive, IsRefusedNamingWhatAndWhere) {
  struct Row {
    std::string message;
    std::vector<RawEntry> entries;
    testing_support::RawHeader header = {};
    std::size_t cutTo = std::string::npos;
  };
  const Row rows[] = {
      {"header: the file is 15 bytes long, shorter than the 16-byte header", {}, {}, 15},
      {"header: TOC block size 4294967295 at offset 0x4 puts the STOC block past the end of the "
       "file (28 bytes)",
       {},
       {.tocBlockSize = 0xFFFFFFFF}},
      {"header: STOC block size 2147483632 at offset 0x8 puts the RAWD block past the end of the "
       "file (49 bytes)",
       {{.path = "a", .stored = "1"}},
       {.stocBlockSize = 0x7FFFFFF0}},
      {"TOC record 3 at offset 0x44: record runs past the end of the file (76 bytes)",
       {{.path = "a", .copies = 0}, {.path = "b", .copies = 0}, {.path = "c", .copies = 0}},
       {.entryCount = 5}},
      {"STOC record 1 at offset 0x2F: record runs past the end of the file (51 bytes)",
       {{.path = "a", .copies = 0, .inStoc = true}},
       {.stocCount = 3}},
      {"TOC record 0 at offset 0x14: path (200 bytes) runs past the end of the file (48 bytes)",
       {{.path = "short", .copies = 0, .pathLengthField = 200}}},
      {"TOC record 1 at offset 0x29: 1000 data offsets at offset 0x3B run past the end of the "
       "file (72 bytes)",
       {{.path = "ok", .stored = "1"}, {.path = "big", .copies = 1000, .dataOffsets = {{4}}}}},
  };
  for (const Row& row : rows) {
    std::string bytes = testing_support::buildArchiveBytes(row.entries, {}, row.header);
    try {
      auto index = mpak::readArchiveIndex(testing_support::toBytes(bytes.substr(0, row.cutTo)));
      ADD_FAILURE() << "read " << index.entries.size() << " entries; wanted " << row.message;
    } catch (const mpak::FormatError& e) {
      EXPECT_EQ(std::string(e.what()), row.message);
    }
  }
}

TEST(DamagedArchive, RandomCorruptionNeverCrashes) {
  std::mt19937 rng(20261206);
  int refused = 0, read = 0;
  for (int round = 0; round < 4000; ++round) {
    // A small valid archive of random shape with 1 to 3 faults: cut, extreme values, noise.
    std::vector<RawEntry> entries(rng() % 6);
    for (auto& e : entries)
      e = {.path = std::string(1 + rng() % 12, static_cast<char>('a' + rng() % 26)),
           .stored = std::string(rng() % 20, static_cast<char>(rng())),
           .flag = static_cast<std::uint8_t>(rng() % 2),
           .copies = static_cast<std::uint16_t>(rng() % 3),
           .inStoc = rng() % 2 == 0};
    std::string bytes = testing_support::buildArchiveBytes(entries);
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
      std::size_t i = rng() % bytes.size();
      if (rng() % 4 == 0)
        bytes.resize(std::max<std::size_t>(i, 1));
      else if (rng() % 2 == 0 && i + 4 <= bytes.size())
        testing_support::storeU32(bytes, i, rng() % 2 ? 0xFFFFFFFF : 0x7FFFFFFF);
      else
        bytes[i] = static_cast<char>(rng());
    }
    try {
      auto index = mpak::readArchiveIndex(testing_support::toBytes(bytes));
      ++read;
      for (const auto& e : index.entries) {
        ASSERT_EQ(e.dataOffsets.size(), e.copies);
        for (std::size_t k = 0; mpak::dataInBounds(index, e) && k < e.copies; ++k)
          ASSERT_LE(mpak::copyPosition(index, e, k) + e.storedSize, bytes.size());
        (void)mpak::fileListItem(e);
      }
      (void)mpak::libraryTocText(index.entries);
    } catch (const mpak::FormatError&) {
      ++refused;
    } catch (const std::exception& e) {
      FAIL() << "round " << round << ": unexpected " << e.what();
    }
  }
  EXPECT_TRUE(refused > 100 && read > 100) << refused << " refused, " << read << " read";
}

TEST(CorpusReplay, EverySeedPasses) {
  const auto corpus = std::filesystem::path(__FILE__).parent_path() / "../../fuzz/corpus";
  int files = 0;
  for (const auto& item : std::filesystem::directory_iterator(corpus / "archive_reader")) {
    std::string bytes = testing_support::slurp(item.path());
    EXPECT_NO_THROW(fuzzing::exerciseArchiveReader(testing_support::toBytes(bytes))) << item;
    ++files;
  }
  for (const auto& item : std::filesystem::directory_iterator(corpus / "library_toc")) {
    EXPECT_NO_THROW(fuzzing::exerciseLibraryToc(testing_support::slurp(item.path()))) << item;
    ++files;
  }
  EXPECT_GE(files, 8);
}

}  // namespace
