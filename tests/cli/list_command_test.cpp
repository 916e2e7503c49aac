// Property: `tarnwick-cli list ARCHIVE` prints one file-list item per entry (UTF-8 paths),
// `--json` prints every field with proper escaping, damage that spares the listing gives
// warnings and exit 1, and an unreadable or damaged archive gives exit 2 with the archive's
// path and the fault on stderr.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_run.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

using cli_testing::runCliCaptured;
using testing_support::RawEntry;

RawEntry entry(std::string path, std::string stored, std::uint8_t flag = 0,
               std::uint16_t copies = 1, bool inStoc = false) {
  RawEntry e;
  e.path = std::move(path);
  e.stored = std::move(stored);
  e.flag = flag;
  e.copies = copies;
  e.inStoc = inStoc;
  return e;
}

std::string item(std::uint64_t position, std::uint32_t stored, std::uint32_t unpacked,
                 unsigned flag, unsigned copies, unsigned inStoc, const std::string& path) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%08llX %08llX %08X %08X %02u %u %u ",
                static_cast<unsigned long long>(position),
                static_cast<unsigned long long>(position + stored - 1), stored, unpacked, flag,
                copies, inStoc);
  return buf + path + "\n";
}

TEST(ListCommand, PrintsOneItemPerEntry) {
  testing_support::TempDir dir;
  auto built = testing_support::buildArchive({entry("data/maps/m01.bin", "abcdef", 1, 1, true),
                                              entry("caf\xE9.txt", "xy", 0, 2, false),
                                              entry("none", "", 0, 0, false)});
  auto path = dir.write("game.mpak", built.bytes);
  auto r = runCliCaptured({"list", path.string()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, item(built.dataPositions[0], 6, 6, 1, 1, 1, "data\\maps\\m01.bin") +
                       item(built.dataPositions[1], 2, 2, 0, 2, 0, "caf\xC3\xA9.txt") +
                       item(built.rawdPosition, 0, 0, 0, 0, 0, "none"));
}

TEST(ListCommand, EmptyArchivePrintsNothing) {
  testing_support::TempDir dir;
  auto path = dir.write("empty.mpak", testing_support::buildArchiveBytes({}));
  auto r = runCliCaptured({"list", path.string()});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
}

TEST(ListCommand, JsonHoldsEveryFieldEscaped) {
  testing_support::TempDir dir;
  auto built = testing_support::buildArchive(
      {entry("dir/a\"b.txt", "0123456789", 0, 2, true), entry("tab\there", "z", 1, 1, false)});
  auto path = dir.write("j.mpak", built.bytes);
  auto r = runCliCaptured({"list", "--json", path.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  auto has = [&](const std::string& text) {
    EXPECT_NE(r.out.find(text), std::string::npos) << "missing " << text << " in\n" << r.out;
  };
  has("\"entryCount\": 2");
  has("\"stocCount\": 1");
  has("\"tocBlockSize\": " + std::to_string(built.stocPosition - 16));
  has("\"rawdPosition\": " + std::to_string(built.rawdPosition));
  has("\"path\": \"dir/a\\\"b.txt\"");
  has("\"windowsPath\": \"dir\\\\a\\\"b.txt\"");
  has("\"path\": \"tab\\there\"");
  has("\"dataOffsets\": [4, 14]");
  has("\"dataPositions\": [" + std::to_string(built.rawdPosition + 4) + ", " +
      std::to_string(built.rawdPosition + 14) + "]");
  has("\"inStoc\": true, \"stocRecord\": 0");
  has("\"inStoc\": false, \"stocRecord\": null");
  has("\"compressedFlag\": 1");
  has("\"tocIndex\": 0");
  EXPECT_EQ(r.out.find('\t'), std::string::npos);
}

struct WarningCase {
  const char* name;
  std::vector<RawEntry> entries;
  std::vector<testing_support::RawStoc> stoc;
  std::size_t cut;  // bytes removed from the end
  std::string warning;
  std::size_t items;
};

class ListWarnings : public testing::TestWithParam<WarningCase> {};

TEST_P(ListWarnings, StillListsEveryEntry) {
  const WarningCase& c = GetParam();
  testing_support::TempDir dir;
  std::string bytes = testing_support::buildArchiveBytes(c.entries, c.stoc);
  bytes.resize(bytes.size() - c.cut);
  auto path = dir.write("w.mpak", bytes);
  auto r = runCliCaptured({"list", path.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("tarnwick-cli: " + path.string() + ": warning: " + c.warning),
            std::string::npos)
      << r.err;
  EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')), c.items);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ListWarnings,
    testing::Values(
        WarningCase{"StocIndexBeyondTheEntries",
                    {entry("a", "1")},
                    {{7, "ghost", std::nullopt}},
                    0,
                    "STOC record 0",
                    1},
        WarningCase{"DataCutOff", {entry("a", "1"), entry("b", "2222")}, {}, 2, "TOC record 1", 2}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ListCommand, DamagedArchiveFailsNamingPathRecordAndOffset) {
  testing_support::TempDir dir;
  testing_support::RawHeader header;
  header.entryCount = 9;
  auto path =
      dir.write("bad.mpak", testing_support::buildArchiveBytes({entry("a", "")}, {}, header));
  auto r = runCliCaptured({"list", path.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("tarnwick-cli: " + path.string() + ": TOC record 1 at offset 0x", 0), 0u)
      << r.err;
}

TEST(ListCommand, MissingArchiveFails) {
  testing_support::TempDir dir;
  auto missing = (dir.path() / "nothing.mpak").string();
  auto r = runCliCaptured({"list", missing});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
}

TEST(ListCommand, WithoutArchiveIsAUsageError) {
  auto r = runCliCaptured({"list"});
  EXPECT_EQ(r.code, 7);
}

}  // namespace
