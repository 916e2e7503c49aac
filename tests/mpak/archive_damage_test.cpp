// Property: a damaged archive (cut-off header, absurd block sizes, counts larger than the
// records, paths, copies fields or data offsets running past the end) is refused with a
// FormatError that names the record and its offset; randomly corrupted archives never
// crash the reader and never make it throw anything but FormatError.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "mpak/archive.h"
#include "mpak/file_list_item.h"
#include "mpak/library_toc.h"
#include "support/archive_builder.h"
#include "util/byte_reader.h"

namespace {

using testing_support::BuiltArchive;
using testing_support::RawEntry;
using testing_support::RawHeader;
using testing_support::RawStoc;

struct Damaged {
  std::string bytes;
  std::vector<std::string> mustSay;  // key words of the message
};

struct DamageCase {
  const char* name;
  std::function<Damaged()> make;
};

RawEntry entry(std::string path, std::string stored, std::uint16_t copies = 1) {
  RawEntry e;
  e.path = std::move(path);
  e.stored = std::move(stored);
  e.copies = copies;
  return e;
}

std::string at(std::uint64_t offset) {
  return "at offset " + util::hexOffset(offset);
}

class DamagedArchive : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedArchive, IsRefusedNamingWhatAndWhere) {
  Damaged d = GetParam().make();
  try {
    auto index = mpak::readArchiveIndex(testing_support::toBytes(d.bytes));
    FAIL() << "read " << index.entries.size() << " entries from a damaged archive";
  } catch (const mpak::FormatError& e) {
    std::string what = e.what();
    for (const std::string& word : d.mustSay)
      EXPECT_NE(what.find(word), std::string::npos) << "missing \"" << word << "\" in: " << what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DamagedArchive,
    testing::Values(
        DamageCase{"EmptyFile",
                   [] {
                     return Damaged{"", {"header", "0 bytes", "16"}};
                   }},
        DamageCase{"TruncatedHeader",
                   [] {
                     std::string b = testing_support::buildArchiveBytes({});
                     return Damaged{b.substr(0, 15), {"header", "15 bytes", "16"}};
                   }},
        DamageCase{"AbsurdTocBlockSize",
                   [] {
                     RawHeader h;
                     h.tocBlockSize = 0xFFFFFFFF;
                     return Damaged{testing_support::buildArchiveBytes({}, {}, h),
                                    {"header: TOC block size 4294967295 at offset 0x4 puts the "
                                     "STOC block past the end of the file (28 bytes)"}};
                   }},
        DamageCase{"AbsurdStocBlockSize",
                   [] {
                     RawHeader h;
                     h.stocBlockSize = 0x7FFFFFF0;
                     return Damaged{
                         testing_support::buildArchiveBytes({entry("a", "1")}, {}, h),
                         {"header", "STOC block size 2147483632", "0x8", "RAWD", "past the end"}};
                   }},
        DamageCase{"TocBlockSizeBelowItsTag",
                   [] {
                     RawHeader h;
                     h.tocBlockSize = 3;
                     return Damaged{testing_support::buildArchiveBytes({}, {}, h),
                                    {"header", "TOC block size 3", "0x4"}};
                   }},
        DamageCase{"StocBlockSizeZero",
                   [] {
                     RawHeader h;
                     h.stocBlockSize = 0;
                     return Damaged{testing_support::buildArchiveBytes({}, {}, h),
                                    {"header", "STOC block size 0", "0x8"}};
                   }},
        DamageCase{"EntryCountLargerThanTheRecords",
                   [] {
                     RawHeader h;
                     h.entryCount = 5;
                     BuiltArchive b = testing_support::buildArchive(
                         {entry("a", "", 0), entry("b", "", 0), entry("c", "", 0)}, {}, h);
                     return Damaged{b.bytes,
                                    {"TOC record 3", at(b.stocPosition), "record runs past the end",
                                     "(" + std::to_string(b.bytes.size()) + " bytes)"}};
                   }},
        DamageCase{"PathRunsPastTheEnd",
                   [] {
                     RawEntry e = entry("short", "");
                     e.pathLengthField = 200;
                     e.copies = 0;
                     return Damaged{testing_support::buildArchiveBytes({e}),
                                    {"TOC record 0", at(20), "path (200 bytes) runs past the end"}};
                   }},
        DamageCase{
            "RecordCutOff",
            [] {
              RawHeader h;
              h.tocBlockSize = 4;  // keeps the blocks inside the cut file
              h.stocBlockSize = 4;
              BuiltArchive b = testing_support::buildArchive(
                  {entry("first/file.txt", "abc"), entry("second.txt", "de")}, {}, h);
              b.bytes.resize(b.recordOffsets[1] + 10);
              return Damaged{b.bytes, {"TOC record 1", at(b.recordOffsets[1]), "record runs past"}};
            }},
        DamageCase{"CopiesFieldCutOff",
                   [] {
                     RawHeader h;
                     h.tocBlockSize = 4;
                     h.stocBlockSize = 4;
                     BuiltArchive b =
                         testing_support::buildArchive({entry("a/path/of/twenty/ch", "x")}, {}, h);
                     b.bytes.resize(20 + 12 + 19 + 1);
                     return Damaged{b.bytes, {"TOC record 0", at(20), "copies", "past the end"}};
                   }},
        DamageCase{"DataOffsetsRunPastTheEnd",
                   [] {
                     RawEntry e = entry("big", "");
                     e.copies = 1000;
                     e.dataOffsets = std::vector<std::uint32_t>{4};
                     e.writeData = false;
                     BuiltArchive b = testing_support::buildArchive({entry("ok", "1"), e});
                     return Damaged{b.bytes,
                                    {"TOC record 1", at(b.recordOffsets[1]), "1000 data offsets",
                                     "past the end"}};
                   }},
        DamageCase{"StocCountLargerThanTheRecords",
                   [] {
                     RawHeader h;
                     h.stocCount = 3;
                     RawEntry e = entry("a", "", 0);
                     e.inStoc = true;
                     BuiltArchive b = testing_support::buildArchive({e}, {}, h);
                     return Damaged{b.bytes, {"STOC record 1", at(b.rawdPosition), "record runs"}};
                   }},
        DamageCase{"StocPathCutOff",
                   [] {
                     RawHeader h;
                     h.stocBlockSize = 4;
                     BuiltArchive b = testing_support::buildArchive(
                         {entry("a", "", 0)}, {{0, "a/long/stoc/path", std::nullopt}}, h);
                     b.bytes.resize(b.stocRecordOffsets[0] + 5 + 4);
                     return Damaged{b.bytes,
                                    {"STOC record 0", at(b.stocRecordOffsets[0]),
                                     "path (16 bytes) runs past the end"}};
                   }}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A small valid archive of random shape, laid out by hand.
std::string randomArchive(std::mt19937& rng) {
  std::vector<RawEntry> entries(rng() % 6);
  for (auto& e : entries) {
    e.path = std::string(1 + rng() % 12, static_cast<char>('a' + rng() % 26));
    e.stored = std::string(rng() % 20, static_cast<char>(rng()));
    e.flag = static_cast<std::uint8_t>(rng() % 2);
    e.copies = static_cast<std::uint16_t>(rng() % 3);
    e.inStoc = rng() % 2 == 0;
  }
  return testing_support::buildArchiveBytes(entries);
}

void mutate(std::string& bytes, std::mt19937& rng) {
  if (bytes.empty())
    return;
  switch (rng() % 5) {
    case 0:  // flip bits
      for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n)
        bytes[rng() % bytes.size()] ^= static_cast<char>(1u << (rng() % 8));
      break;
    case 1:  // cut off
      bytes.resize(rng() % bytes.size());
      break;
    case 2: {  // an extreme 16-bit value somewhere
      std::size_t i = rng() % bytes.size();
      if (i + 2 <= bytes.size())
        testing_support::storeU16(bytes, i, rng() % 2 ? 0xFFFF : 0x8000);
      break;
    }
    case 3: {  // an extreme 32-bit value somewhere
      std::size_t i = rng() % bytes.size();
      if (i + 4 <= bytes.size())
        testing_support::storeU32(bytes, i, rng() % 2 ? 0xFFFFFFFF : 0x7FFFFFFF);
      break;
    }
    default:  // random bytes
      for (int n = 1 + static_cast<int>(rng() % 8); n > 0; --n)
        bytes[rng() % bytes.size()] = static_cast<char>(rng());
      break;
  }
}

TEST(CorruptedArchive, RandomCorruptionNeverCrashes) {
  std::mt19937 rng(20261206);
  int refused = 0;
  int read = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string bytes = randomArchive(rng);
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n)
      mutate(bytes, rng);
    try {
      auto index = mpak::readArchiveIndex(testing_support::toBytes(bytes));
      ++read;
      ASSERT_EQ(index.fileSize, bytes.size());
      for (const auto& e : index.entries) {
        ASSERT_EQ(e.dataOffsets.size(), e.copies);
        ASSERT_LE(e.recordOffset, bytes.size());
        if (mpak::dataInBounds(index, e)) {
          for (std::size_t k = 0; k < e.dataOffsets.size(); ++k)
            ASSERT_LE(mpak::copyPosition(index, e, k) + e.storedSize, bytes.size());
        }
        (void)mpak::fileListItem(e);
      }
      (void)mpak::libraryTocText(index.entries);
    } catch (const mpak::FormatError&) {
      ++refused;
    } catch (const std::exception& e) {
      FAIL() << "round " << round << ": unexpected " << e.what();
    }
  }
  // Both outcomes happen, so the loop really exercises both paths.
  EXPECT_GT(refused, 100);
  EXPECT_GT(read, 100);
}

}  // namespace
