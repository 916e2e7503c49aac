// Property: `tarnwick-cli list` prints the window's items or every field and `toc` writes the
// library table, replacing a file only with --force; exit codes 0/1/2/7.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::buildArchiveBytes;
using testing_support::slurp;

struct CliResult {
  int code;
  std::string out, err;
};

CliResult runCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  cli::Io io{out, err, false};
  return {cli::runCli(args, io), out.str(), err.str()};
}

TEST(ListCommand, PrintsTheWindowsItems) {
  testing_support::TempDir dir;
  // RAWD at 0x85: the data at 0x89 and 0x8F, the entry without copies at the RAWD tag.
  auto path =
      dir.write("game.mpak",
                buildArchiveBytes(
                    {{.path = "data/maps/m01.bin", .stored = "abcdef", .flag = 1, .inStoc = true},
                     {.path = "caf\xE9.txt", .stored = "xy", .copies = 2},
                     {.path = "none", .copies = 0}}));
  auto r = runCli({"list", path.string()});
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
  auto r = runCli({"list", "--json", path.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* field :
       {R"("entryCount": 2)", R"("stocCount": 1)", R"("tocBlockSize": 65)", R"("stocPosition": 81)",
        R"("rawdPosition": 102)", R"("path": "dir/a\"b.txt")", R"("windowsPath": "dir\\a\"b.txt")",
        R"("path": "tab\there")", R"("dataOffsets": [4, 14], "dataPositions": [106, 116])",
        R"("inStoc": true, "stocRecord": 0)", R"("inStoc": false, "stocRecord": null)",
        R"("compressedFlag": 1)", R"("tocIndex": 0)"})
    EXPECT_NE(r.out.find(field), std::string::npos) << "missing " << field << " in\n" << r.out;
  EXPECT_EQ(r.out.find('\t'), std::string::npos);
}

TEST(ListCommand, DamageThatSparesTheListingWarnsAndOtherDamageFails) {
  testing_support::TempDir dir;
  std::string bytes =
      buildArchiveBytes({{.path = "a", .stored = "1"}, {.path = "b", .stored = "2222"}},
                        {{7, "ghost", std::nullopt}});
  auto path = dir.write("w.mpak", bytes.substr(0, bytes.size() - 2));
  auto r = runCli({"list", path.string()});
  EXPECT_EQ(r.code, 1);
  for (std::string warning :
       {"TOC record 1 at offset 0x28 (b): copy 1 (4 bytes at offset 0x", "STOC record 0"})
    EXPECT_NE(r.err.find(path.string() + ": warning: " + warning), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);

  auto bad = dir.write("bad.mpak", buildArchiveBytes({{.path = "a"}}, {}, {.entryCount = 9}));
  r = runCli({"list", bad.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("tarnwick-cli: " + bad.string() + ": TOC record 1 at offset 0x", 0), 0u)
      << r.err;
  EXPECT_EQ(runCli({"list"}).code, 7);
}

TEST(TocCommand, ReplacesAFileOnlyWithForceAndDamagedArchiveWritesNothing) {
  testing_support::TempDir dir;
  std::string bytes =
      buildArchiveBytes({{.path = "data/maps/m01.bin", .stored = "abc", .flag = 1},
                         {.path = "sound/bank1.fsb", .stored = "d", .copies = 3, .inStoc = true}});
  auto archive = dir.write("data.mpak", bytes);
  auto target = dir.write("edited.toc", "01 9 1 my edit");
  auto r = runCli({"toc", archive.string(), "-o", target.string()});
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("exists; use --force to replace it"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(target), "01 9 1 my edit");

  r = runCli({"toc", archive.string(), "-o", target.string(), "--force"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(
      slurp(target).ends_with("\r\n\r\n01 1 0 data\\maps\\m01.bin\r\n00 3 1 sound\\bank1.fsb"));

  testing_support::storeU32(bytes, 4, 0xFFFFFFFF);
  auto damaged = dir.write("bad.mpak", bytes);
  r = runCli({"toc", damaged.string(), "-o", (dir.path() / "bad.toc").string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("tarnwick-cli: " + damaged.string() + ": header: TOC block size"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "bad.toc"));
}

}  // namespace
