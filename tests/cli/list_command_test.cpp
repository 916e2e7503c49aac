// Property: `tarnwick-cli list` prints the window's items or every field, with exit codes 0/1/2/7.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

using cli_testing::runCliCaptured;
using testing_support::buildArchiveBytes;

TEST(ListCommand, PrintsTheWindowsItems) {
  testing_support::TempDir dir;
  // RAWD at 0x85: the data at 0x89 and 0x8F, the entry without copies at the RAWD tag.
  auto path =
      dir.write("game.mpak",
                buildArchiveBytes(
                    {{.path = "data/maps/m01.bin", .stored = "abcdef", .flag = 1, .inStoc = true},
                     {.path = "caf\xE9.txt", .stored = "xy", .copies = 2},
                     {.path = "none", .copies = 0}}));
  auto r = runCliCaptured({"list", path.string()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "00000089 0000008E 00000006 00000006 01 1 1 data\\maps\\m01.bin\n"
            "0000008F 00000090 00000002 00000002 00 2 0 caf\xC3\xA9.txt\n"
            "00000085 00000084 00000000 00000000 00 0 0 none\n");
}

TEST(ListCommand, JsonHoldsEveryFieldEscaped) {
  testing_support::TempDir dir;
  // Records of 34 and 27 bytes, a 17-byte STOC record: STOC at 81, RAWD at 102.
  auto path = dir.write(
      "j.mpak", buildArchiveBytes(
                    {{.path = "dir/a\"b.txt", .stored = "0123456789", .copies = 2, .inStoc = true},
                     {.path = "tab\there", .stored = "z", .flag = 1}}));
  auto r = runCliCaptured({"list", "--json", path.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream fields(R"("entryCount": 2
"stocCount": 1
"tocBlockSize": 65
"stocPosition": 81
"rawdPosition": 102
"path": "dir/a\"b.txt"
"windowsPath": "dir\\a\"b.txt"
"path": "tab\there"
"dataOffsets": [4, 14], "dataPositions": [106, 116]
"inStoc": true, "stocRecord": 0
"inStoc": false, "stocRecord": null
"compressedFlag": 1
"tocIndex": 0)");
  for (std::string field; std::getline(fields, field);)
    EXPECT_NE(r.out.find(field), std::string::npos) << "missing " << field << " in\n" << r.out;
  EXPECT_EQ(r.out.find('\t'), std::string::npos);
}

TEST(ListCommand, DamageThatSparesTheListingWarns) {
  testing_support::TempDir dir;
  std::string bytes =
      buildArchiveBytes({{.path = "a", .stored = "1"}, {.path = "b", .stored = "2222"}},
                        {{7, "ghost", std::nullopt}});
  auto path = dir.write("w.mpak", bytes.substr(0, bytes.size() - 2));
  auto r = runCliCaptured({"list", path.string()});
  EXPECT_EQ(r.code, 1);
  for (std::string warning : {"TOC record 1 at offset 0x28 (b): copy 0", "STOC record 0"})
    EXPECT_NE(r.err.find("tarnwick-cli: " + path.string() + ": warning: " + warning),
              std::string::npos)
        << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST(ListCommand, DamagedOrMissingArchiveFails) {
  testing_support::TempDir dir;
  auto bad = dir.write("bad.mpak", buildArchiveBytes({{.path = "a"}}, {}, {.entryCount = 9}));
  auto r = runCliCaptured({"list", bad.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("tarnwick-cli: " + bad.string() + ": TOC record 1 at offset 0x", 0), 0u)
      << r.err;

  auto missing = (dir.path() / "nothing.mpak").string();
  r = runCliCaptured({"list", missing});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;

  EXPECT_EQ(runCliCaptured({"list"}).code, 7);
}

}  // namespace
