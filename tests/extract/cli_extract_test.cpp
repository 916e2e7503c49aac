// Property: `tarnwick-cli extract` and `verify` keep their patterns, overwrite rule and exit codes.
#include <sys/wait.h>

#include <cstdlib>
#include <tuple>

#include "extract/entry_glob.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(EntryGlob, MatchesWholePathsWithEitherSeparatorAndCaseIgnored) {
  // "pattern path": patterns are UTF-8, catalogue paths Windows-1252 with "\" separators.
  auto glob = [](std::string_view c) {
    return extract::EntryGlob(c.substr(0, c.find(' '))).matches(c.substr(c.find(' ') + 1));
  };
  for (const char* c :
       {"a\\b.txt a/b.txt", "TEXTURES/Menu/*.DDS textures\\menu\\b.dds", "\xC3\x84* \xE4rger.txt",
        "**/*.dds u\\v\\a.dds", "?.txt a.txt", "a/**/z.txt a\\z.txt"})
    EXPECT_TRUE(glob(c)) << c;
  for (const char* c : {"*.txt a\\b.txt", "?.txt ab.txt", "a/**/z.txt ab\\z.txt", "a a\\b.txt",
                        "*a*a*a*a*a*a*a*a*a*b aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
    EXPECT_FALSE(glob(c)) << c;
}

struct CliRun {
  int code;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    auto bytes = testing_support::buildArchiveBytes(
        {stored("readme.txt", "read me"), compressed("textures/menu/back.dds", "back texture"),
         compressed("textures/font.dds", "font texture"), stored("sounds/click.wav", "click")});
    dir.write("archives/ui.mpak", bytes);
    dir.write("ui.mpak", bytes);  // takes the default output folder's name
  }
  // Runs the tarnwick-cli built beside this test program with `args` (shell words) in `cwd`.
  CliRun run(const std::string& args, const std::string& cwd = ".") const {
    static const auto cli = fs::read_symlink("/proc/self/exe").parent_path() / "tarnwick-cli";
    const auto out = capture.path() / "out", err = capture.path() / "err";
    int status = std::system(("cd '" + (dir.path() / cwd).string() + "' && '" + cli.string() +
                              "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'")
                                 .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  }
  testing_support::TempDir dir, capture;
};

TEST_F(Cli, PatternsChooseEntriesAndNoPatternMeansEveryEntry) {
  const std::pair<std::string, Strings> rows[] = {
      {"'TEXTURES\\MENU\\*'", {"textures/menu/back.dds"}},
      {"readme.txt 'sounds/**'", {"readme.txt", "sounds/click.wav"}},
      {"", {"readme.txt", "sounds/click.wav", "textures/font.dds", "textures/menu/back.dds"}}};
  for (const auto& [patterns, files] : rows) {
    fs::remove_all(dir.path() / "elsewhere");
    fs::create_directory(dir.path() / "elsewhere");

    auto r = run("extract ../archives/ui.mpak " + patterns, "elsewhere");

    EXPECT_EQ(r.code, 0) << patterns << r.err;
    EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";
    EXPECT_EQ(filesBelow(dir.path() / "elsewhere" / "ui.mpak"), files) << patterns;
    const auto n = std::to_string(files.size());
    EXPECT_EQ(r.out, "Extracted " + n + " of " + n + " entries to ui.mpak\n");
  }
  EXPECT_EQ(slurp(dir.path() / "elsewhere/ui.mpak/textures/menu/back.dds"), "back texture");
}

TEST_F(Cli, ExistingFilesAreReplacedOnlyWithOverwrite) {
  dir.write("out/readme.txt", "mine");
  dir.write("out/unrelated.txt", "stays");

  auto r = run("extract archives/ui.mpak -o out");

  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Extracted 3 of 4 entries (1 skipped) to out\n");
  EXPECT_NE(r.err.find("skipped out/readme.txt: the file exists"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(dir.path() / "out/readme.txt"), "mine");

  r = run("extract archives/ui.mpak -o out --overwrite --quiet");

  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(slurp(dir.path() / "out/readme.txt"), "read me");
  EXPECT_EQ(slurp(dir.path() / "out/unrelated.txt"), "stays");
}

TEST_F(Cli, EndsWithItsExitCodeAndSaysWhatAndWhere) {
  dir.write("cut.mpak",
            testing_support::buildArchiveBytes({stored("a.txt", "a"), stored("b.txt", "b")})
                .substr(0, 30));
  // Arguments, exit code, and a text found in stdout or stderr.
  const std::tuple<std::string, int, std::string> rows[] = {
      {"extract archives/ui.mpak -o out readme.txt '*.none'", 1, "no entry matches '*.none'"},
      {"extract cut.mpak -o out", 2, "cut.mpak: header: TOC block size"},
      {"extract", 7, "ARCHIVE"},
      {"extract archives/ui.mpak", 7, "-o"},  // ./ui.mpak is a file
      {"verify archives/ui.mpak", 0, "archives/ui.mpak: 4 entries checked, 0 bad\n"},
      {"verify absent.mpak", 2, "absent.mpak"}};
  for (const auto& [args, code, text] : rows) {
    auto r = run(args);
    EXPECT_EQ(r.code, code) << args << "\n" << r.err;
    EXPECT_NE((r.out + r.err).find(text), std::string::npos) << args << "\n" << r.err;
  }
}

TEST_F(Cli, DamagedEntriesFailResizedOnesWarnAndVerifyTellsBadFromDoubtful) {
  auto twin = stored("twin.bin", "ab");
  twin.copies = 2;
  twin.dataOffsets = std::vector<std::uint32_t>{4, 8};  // copy 2 reads ok.txt's "fi"
  auto badDeflate = compressed("bad.bin", "content");
  badDeflate.stored = "\x07\xFF\xFF";
  auto wrongSize = compressed("size.bin", "content");
  wrongSize.unpackedSize = 99;
  auto trailing = compressed("tail.bin", "content");
  trailing.stored += "JUNK";
  auto oddSize = stored("odd.bin", "odd");
  oddSize.unpackedSize = 5;
  auto pastEnd = stored("far.bin", "far");
  pastEnd.dataOffsets = std::vector<std::uint32_t>{0x00100000u};
  dir.write("bad.mpak", testing_support::buildArchiveBytes(
                            {twin, stored("ok.txt", "fine"), badDeflate, wrongSize, trailing,
                             oddSize, pastEnd, stored("../up.txt", "u")}));

  auto r = run("extract bad.mpak -o out");

  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Extracted 5 of 8 entries (2 failed, 1 refused) to out\n");
  for (const char* text :
       {"entry 2 'bad.bin'", "not valid DEFLATE data", "entry 7 '../up.txt'", "\"..\" segment",
        "warning: entry 3 'size.bin' (TOC record at 0x", "inflates to 7 bytes, the table says 99"})
    EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
  EXPECT_EQ(filesBelow(dir.path() / "out"),
            (Strings{"odd.bin", "ok.txt", "size.bin", "tail.bin", "twin.bin"}));
  EXPECT_EQ(slurp(dir.path() / "out" / "size.bin"), "content");
  EXPECT_EQ(slurp(dir.path() / "out" / "tail.bin"), "content");
  EXPECT_FALSE(fs::exists(dir.path() / "up.txt"));

  r = run("verify bad.mpak");

  EXPECT_EQ(r.code, 1) << r.err;
  for (const char* text :
       {"entry 0 'twin.bin' (TOC record at 0x14): copy 2 (2 bytes at offset 0x",
        ") differs from copy 1\n", "'odd.bin' (TOC record at 0x",
        "unpacked size (5 bytes) is not its stored size (3 bytes)", "'size.bin' (TOC record at 0x",
        ": warning: the data inflates to 7 bytes, the table says 99\n",
        ": warning: 4 stored bytes follow the end of the DEFLATE data\n"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
  EXPECT_TRUE(r.out.ends_with("bad.mpak: 8 entries checked, 5 bad, 2 warnings\n")) << r.out;
}

}  // namespace
}  // namespace extract_tests
