// Property: `tarnwick-cli extract` and `verify` keep their patterns, overwrite rule and exit codes.
#include <sys/wait.h>

#include <cstdlib>

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
       {"a/b.txt a\\b.txt", "a\\b.txt a/b.txt", "TEXTURES/Menu/*.DDS textures\\menu\\b.dds",
        "\xC3\x84* \xE4rger.txt", "a/*/c.txt a\\b\\c.txt", "?.txt a.txt", "**/*.dds a.dds",
        "**/*.dds u\\v\\a.dds", "a**z a\\b\\z", "a/**/z.txt a\\z.txt"})
    EXPECT_TRUE(glob(c)) << c;
  for (const char* c :
       {"a/b.txt a\\c.txt", "*.txt a\\b.txt", "a/*/c.txt a\\b\\x\\c.txt", "?.txt ab.txt",
        "a?b a\\b", "**/*.dds u\\a.tga", "a/**/z.txt ab\\z.txt", "a a\\b.txt",
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

TEST_F(Cli, WithoutPatternsExtractsEverythingIntoAFolderNamedAfterTheArchive) {
  fs::create_directory(dir.path() / "elsewhere");

  auto r = run("extract ../archives/ui.mpak", "elsewhere");

  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Extracted 4 of 4 entries to ui.mpak\n");
  EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";
  EXPECT_EQ(
      filesBelow(dir.path() / "elsewhere" / "ui.mpak"),
      (Strings{"readme.txt", "sounds/click.wav", "textures/font.dds", "textures/menu/back.dds"}));
  EXPECT_EQ(slurp(dir.path() / "elsewhere/ui.mpak/textures/menu/back.dds"), "back texture");
}

TEST_F(Cli, PatternsChooseTheEntriesTheyMatch) {
  struct Row {
    std::string patterns;
    Strings files;
  } rows[] = {{"'**/*.dds'", {"textures/font.dds", "textures/menu/back.dds"}},
              {"'textures/*.dds'", {"textures/font.dds"}},
              {"'TEXTURES\\MENU\\*'", {"textures/menu/back.dds"}},
              {"'sounds/clic?.wav'", {"sounds/click.wav"}},
              {"readme.txt 'sounds/**'", {"readme.txt", "sounds/click.wav"}},
              {"'**' readme.txt",
               {"readme.txt", "sounds/click.wav", "textures/font.dds", "textures/menu/back.dds"}}};
  for (const auto& row : rows) {
    fs::remove_all(dir.path() / "out");

    auto r = run("extract archives/ui.mpak -o out " + row.patterns);

    EXPECT_EQ(r.code, 0) << row.patterns << r.err;
    EXPECT_EQ(filesBelow(dir.path() / "out"), row.files) << row.patterns;
    const auto n = std::to_string(row.files.size());
    EXPECT_EQ(r.out, "Extracted " + n + " of " + n + " entries to out\n");
  }
}

TEST_F(Cli, ExistingFilesAreReplacedOnlyWithOverwrite) {
  dir.write("out/readme.txt", "mine");
  dir.write("out/textures/font.dds", "mine too");
  dir.write("out/unrelated.txt", "stays");

  auto r = run("extract archives/ui.mpak -o out");

  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Extracted 2 of 4 entries (2 skipped) to out\n");
  EXPECT_NE(r.err.find("skipped out/readme.txt: the file exists"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("skipped out/textures/font.dds: the file exists"), std::string::npos);
  EXPECT_EQ(slurp(dir.path() / "out/readme.txt"), "mine");
  EXPECT_EQ(slurp(dir.path() / "out/textures/menu/back.dds"), "back texture");

  r = run("extract archives/ui.mpak -o out --overwrite --quiet");

  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(slurp(dir.path() / "out/readme.txt"), "read me");
  EXPECT_EQ(slurp(dir.path() / "out/textures/font.dds"), "font texture");
  EXPECT_EQ(slurp(dir.path() / "out/unrelated.txt"), "stays");
}

TEST_F(Cli, EndsWithItsExitCodeAndSaysWhatAndWhere) {
  dir.write("short.mpak", "MPAK\x10");
  dir.write("cut.mpak",
            testing_support::buildArchiveBytes({stored("a.txt", "a"), stored("b.txt", "b")})
                .substr(0, 30));
  struct Row {
    std::string args;
    int code;
    std::string text;  // found in stdout or stderr
  } rows[] = {
      {"extract archives/ui.mpak -o out readme.txt '*.none'", 1, "no entry matches '*.none'"},
      {"extract absent.mpak -o out", 2, "absent.mpak"},
      {"extract short.mpak -o out", 2, "short.mpak: header"},
      {"extract cut.mpak -o out", 2, "cut.mpak: header: TOC block size"},
      {"extract", 7, "ARCHIVE"},
      {"extract archives/ui.mpak --frobnicate", 7, "frobnicate"},
      {"extract archives/ui.mpak -o archives/ui.mpak", 7, "not a folder"},
      {"extract archives/ui.mpak", 7, "-o"},  // ./ui.mpak is a file
      {"verify archives/ui.mpak", 0, "archives/ui.mpak: 4 entries checked, 0 bad\n"},
      {"verify absent.mpak", 2, "absent.mpak"},
      {"verify cut.mpak", 2, "cut.mpak: header: TOC block size"}};
  for (const auto& row : rows) {
    auto r = run(row.args);
    EXPECT_EQ(r.code, row.code) << row.args << "\n" << r.err;
    EXPECT_NE((r.out + r.err).find(row.text), std::string::npos) << row.args << "\n" << r.err;
  }
}

TEST_F(Cli, DamagedAndUnsafeEntriesAreNamedByExtractAndVerify) {
  auto badDeflate = compressed("bad.bin", "content");
  badDeflate.stored = "\x07\xFF\xFF";
  auto wrongSize = compressed("size.bin", "content");
  wrongSize.unpackedSize = 99;
  auto pastEnd = stored("far.bin", "far");
  pastEnd.dataOffsets = std::vector<std::uint32_t>{0x00100000u};
  auto copies = stored("copies.bin", "twice");
  copies.copies = 2;
  auto secondPastEnd = stored("second.bin", "x");
  secondPastEnd.copies = 2;
  secondPastEnd.dataOffsets = std::vector<std::uint32_t>{4u, 0x00200000u};
  auto built =
      testing_support::buildArchive({stored("ok.txt", "fine"), badDeflate, wrongSize, pastEnd,
                                     copies, secondPastEnd, stored("../up.txt", "u")});
  built.bytes[built.rawdPosition + built.dataOffsets[4][1]] = 'T';  // copy 2 differs
  dir.write("bad.mpak", built.bytes);

  auto r = run("extract bad.mpak -o out");

  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Extracted 3 of 7 entries (3 failed, 1 refused) to out\n");
  for (const char* text :
       {"entry 1 'bad.bin'", "not valid DEFLATE data", "entry 6 '../up.txt'", "\"..\" segment"})
    EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
  EXPECT_EQ(filesBelow(dir.path() / "out"), (Strings{"copies.bin", "ok.txt", "second.bin"}));
  EXPECT_FALSE(fs::exists(dir.path() / "up.txt"));

  r = run("verify bad.mpak");

  EXPECT_EQ(r.code, 1) << r.err;
  for (const char* text :
       {"entry 1 'bad.bin' (TOC record at 0x", "does not inflate: the data is not valid DEFLATE",
        "entry 2 'size.bin'", "inflates to fewer bytes than the unpacked size", "entry 3 'far.bin'",
        "runs past the end of the archive", "entry 4 'copies.bin'", "differs from copy 1",
        "entry 5 'second.bin'", "copy 2 (1 bytes at offset", "entry 6 '../up.txt'", "unsafe path",
        "bad.mpak: 7 entries checked, 6 bad\n"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
  EXPECT_EQ(r.out.find("'ok.txt'"), std::string::npos);
}

}  // namespace
}  // namespace extract_tests
