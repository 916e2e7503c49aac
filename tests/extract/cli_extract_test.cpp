// Property: `tarnwick-cli extract` and `tarnwick-cli verify` keep their contract: glob
// patterns choose entries by path (case-insensitive, "/" or "\"), the default output
// folder is named after the archive, existing files are replaced only with --overwrite,
// every problem is named on stderr, and the exit codes are 0 / 1 / 2 / 7. The program is
// run as a process, as scripts run it.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "extract/entry_glob.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

using extract_tests::PrintTo;

using testing_support::slurp;
using testing_support::TempDir;

struct GlobCase {
  const char* name;
  std::string pattern;
  std::string path;  // a catalogue path: Windows-1252, "\" separators
  bool matches;
};

class EntryGlob : public ::testing::TestWithParam<GlobCase> {};

TEST_P(EntryGlob, MatchesWholePaths) {
  EXPECT_EQ(extract::EntryGlob(GetParam().pattern).matches(GetParam().path), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, EntryGlob,
    ::testing::Values(
        GlobCase{"Literal", "a/b.txt", "a\\b.txt", true},
        GlobCase{"LiteralOtherFile", "a/b.txt", "a\\c.txt", false},
        GlobCase{"BackslashInPattern", "a\\b.txt", "a\\b.txt", true},
        GlobCase{"CaseIgnored", "TEXTURES/Menu/*.DDS", "textures\\menu\\back.dds", true},
        GlobCase{"Cp1252CaseIgnored", "\xC3\x84*", "\xE4rger.txt", true},
        GlobCase{"StarWithinName", "*.txt", "b.txt", true},
        GlobCase{"StarStopsAtFolders", "*.txt", "a\\b.txt", false},
        GlobCase{"StarInFolder", "a/*/c.txt", "a\\b\\c.txt", true},
        GlobCase{"StarOneFolderOnly", "a/*/c.txt", "a\\b\\x\\c.txt", false},
        GlobCase{"QuestionOneChar", "?.txt", "a.txt", true},
        GlobCase{"QuestionNotTwo", "?.txt", "ab.txt", false},
        GlobCase{"QuestionNotSeparator", "a?b", "a\\b", false},
        GlobCase{"DoubleStarAnyDepth", "**/*.dds", "ui\\menu\\a.dds", true},
        GlobCase{"DoubleStarNoFolder", "**/*.dds", "a.dds", true},
        GlobCase{"DoubleStarOtherType", "**/*.dds", "ui\\a.tga", false},
        GlobCase{"DoubleStarBelowFolder", "sounds/**", "sounds\\a\\b.wav", true},
        GlobCase{"DoubleStarNotOtherFolder", "sounds/**", "music\\a.wav", false},
        GlobCase{"DoubleStarInName", "a**z", "a\\b\\z", true},
        GlobCase{"DoubleStarMiddle", "a/**/z.txt", "a\\z.txt", true},
        GlobCase{"DoubleStarMiddleDeep", "a/**/z.txt", "a\\b\\c\\z.txt", true},
        GlobCase{"DoubleStarNeedsWholeFolders", "a/**/z.txt", "ab\\z.txt", false},
        GlobCase{"Everything", "**", "any\\thing.bin", true},
        GlobCase{"PrefixIsNotEnough", "a", "a\\b.txt", false},
        GlobCase{"ManyStarsStayFast", "*a*a*a*a*a*a*a*a*a*b", std::string(200, 'a'), false}),
    [](const auto& param) { return std::string(param.param.name); });

struct CliRun {
  int code = -1;
  std::string out, err;
};

// Runs the tarnwick-cli built beside this test program in `cwd`.
CliRun runCli(const std::vector<std::string>& args, const fs::path& cwd) {
  static const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "tarnwick-cli";
  TempDir capture;
  const auto outPath = capture.path() / "out";
  const auto errPath = capture.path() / "err";
  std::vector<std::string> argv = {program.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv)
    raw.push_back(a.data());
  raw.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0)
      ::_exit(126);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  CliRun run;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    run.code = WEXITSTATUS(status);
  run.out = slurp(outPath);
  run.err = slurp(errPath);
  return run;
}

class CliExtract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(fs::read_symlink("/proc/self/exe").parent_path() / "tarnwick-cli"))
        << "build the tarnwick-cli target first";
    archive =
        dir.write("archives/ui.mpak", testing_support::buildArchiveBytes(
                                          {stored("readme.txt", "read me"),
                                           compressed("textures/menu/back.dds", "back texture"),
                                           compressed("textures/font.dds", "font texture"),
                                           stored("sounds/click.wav", "click")}))
            .string();
  }
  std::vector<std::string> extractedTo(const std::string& folder) const {
    return filesBelow(dir.path() / folder);
  }
  TempDir dir;
  std::string archive;
};

TEST_F(CliExtract, WithoutPatternsExtractsEveryEntryBesideTheArchiveName) {
  auto run = runCli({"extract", "archives/ui.mpak"}, dir.path());

  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Extracted 4 of 4 entries to ui.mpak\n");
  EXPECT_EQ(run.err, "") << "no progress when stderr is not a terminal";
  EXPECT_EQ(extractedTo("ui.mpak"),
            (std::vector<std::string>{"readme.txt", "sounds/click.wav", "textures/font.dds",
                                      "textures/menu/back.dds"}));
  EXPECT_EQ(slurp(dir.path() / "ui.mpak" / "textures" / "menu" / "back.dds"), "back texture");
}

TEST_F(CliExtract, DefaultFolderIsMadeInTheCurrentFolder) {
  fs::create_directory(dir.path() / "elsewhere");

  auto run = runCli({"extract", archive}, dir.path() / "elsewhere");

  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(extractedTo("elsewhere/ui.mpak").size(), 4u);
}

struct PatternCase {
  const char* name;
  std::vector<std::string> patterns;
  std::vector<std::string> files;
};

class CliPatterns : public CliExtract, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(CliPatterns, ChooseTheEntriesTheyMatch) {
  std::vector<std::string> args = {"extract", archive, "-o", "out"};
  args.insert(args.end(), GetParam().patterns.begin(), GetParam().patterns.end());

  auto run = runCli(args, dir.path());

  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(extractedTo("out"), GetParam().files);
  EXPECT_EQ(run.out, "Extracted " + std::to_string(GetParam().files.size()) + " of " +
                         std::to_string(GetParam().files.size()) + " entries to out\n");
}

INSTANTIATE_TEST_SUITE_P(
    Globs, CliPatterns,
    ::testing::Values(
        PatternCase{"AnyDepth", {"**/*.dds"}, {"textures/font.dds", "textures/menu/back.dds"}},
        PatternCase{"OneLevel", {"textures/*.dds"}, {"textures/font.dds"}},
        PatternCase{"BackslashAndCase", {"TEXTURES\\MENU\\*"}, {"textures/menu/back.dds"}},
        PatternCase{"Question", {"sounds/clic?.wav"}, {"sounds/click.wav"}},
        PatternCase{"Several", {"readme.txt", "sounds/**"}, {"readme.txt", "sounds/click.wav"}},
        PatternCase{
            "Overlapping",
            {"**", "readme.txt"},
            {"readme.txt", "sounds/click.wav", "textures/font.dds", "textures/menu/back.dds"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(CliExtract, PatternMatchingNothingIsAWarning) {
  auto run = runCli({"extract", archive, "-o", "out", "readme.txt", "*.none"}, dir.path());

  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("no entry matches '*.none'"), std::string::npos) << run.err;
  EXPECT_EQ(extractedTo("out"), std::vector<std::string>{"readme.txt"});
}

TEST_F(CliExtract, ExistingFilesAreSkippedAndNamedWithoutOverwrite) {
  dir.write("out/readme.txt", "mine");
  dir.write("out/textures/font.dds", "mine too");

  auto run = runCli({"extract", archive, "-o", "out"}, dir.path());

  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "Extracted 2 of 4 entries (2 skipped) to out\n");
  EXPECT_NE(run.err.find("skipped out/readme.txt: the file exists"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("skipped out/textures/font.dds: the file exists"), std::string::npos);
  EXPECT_EQ(slurp(dir.path() / "out" / "readme.txt"), "mine");
  EXPECT_EQ(slurp(dir.path() / "out" / "textures" / "font.dds"), "mine too");
  EXPECT_EQ(slurp(dir.path() / "out" / "textures" / "menu" / "back.dds"), "back texture");
}

TEST_F(CliExtract, OverwriteReplacesExistingFiles) {
  dir.write("out/readme.txt", "mine");
  dir.write("out/textures/font.dds", "mine too");
  dir.write("out/unrelated.txt", "stays");

  auto run = runCli({"extract", archive, "-o", "out", "--overwrite"}, dir.path());

  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Extracted 4 of 4 entries to out\n");
  EXPECT_EQ(slurp(dir.path() / "out" / "readme.txt"), "read me");
  EXPECT_EQ(slurp(dir.path() / "out" / "textures" / "font.dds"), "font texture");
  EXPECT_EQ(slurp(dir.path() / "out" / "unrelated.txt"), "stays");
}

TEST_F(CliExtract, DefaultFolderNameTakenByAFileAsksForDashO) {
  fs::create_directory(dir.path() / "cwd");
  fs::copy_file(archive, dir.path() / "cwd" / "ui.mpak");

  auto run = runCli({"extract", "ui.mpak"}, dir.path() / "cwd");

  EXPECT_EQ(run.code, 7);
  EXPECT_NE(run.err.find("-o"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(CliExtract, QuietPrintsNothingOnSuccess) {
  auto run = runCli({"extract", archive, "-o", "out", "--quiet"}, dir.path());

  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(extractedTo("out").size(), 4u);
}

TEST_F(CliExtract, DamagedAndUnsafeEntriesAreNamedAndTheRestExtracted) {
  auto bad = compressed("bad.bin", "content");
  bad.stored = std::string("\x07\xFF\xFF", 3);
  dir.write("damaged.mpak", testing_support::buildArchiveBytes(
                                {stored("good.txt", "good"), bad, stored("../escape.txt", "no")}));

  auto run = runCli({"extract", "damaged.mpak", "-o", "out"}, dir.path());

  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "Extracted 1 of 3 entries (1 failed, 1 refused) to out\n");
  EXPECT_NE(run.err.find("entry 1 'bad.bin'"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("not valid DEFLATE data"), std::string::npos);
  EXPECT_NE(run.err.find("entry 2 '../escape.txt'"), std::string::npos);
  EXPECT_NE(run.err.find("\"..\" segment"), std::string::npos);
  EXPECT_EQ(extractedTo("out"), std::vector<std::string>{"good.txt"});
  EXPECT_FALSE(fs::exists(dir.path() / "escape.txt"));
}

struct FailureCase {
  const char* name;
  std::vector<std::string> args;
  int code;
  std::string errText;  // part of stderr
};

class CliFailures : public CliExtract, public ::testing::WithParamInterface<FailureCase> {
 protected:
  void SetUp() override {
    CliExtract::SetUp();
    dir.write("short.mpak", "MPAK\x10");
    auto cut = testing_support::buildArchiveBytes({stored("a.txt", "a"), stored("b.txt", "b")});
    dir.write("cut.mpak", cut.substr(0, 30));
  }
};

TEST_P(CliFailures, EndWithTheirExitCodeAndSayWhatAndWhere) {
  auto run = runCli(GetParam().args, dir.path());

  EXPECT_EQ(run.code, GetParam().code) << run.err;
  EXPECT_NE(run.err.find(GetParam().errText), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "a.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CliFailures,
    ::testing::Values(
        FailureCase{"MissingArchive", {"extract", "absent.mpak", "-o", "out"}, 2, "absent.mpak"},
        FailureCase{"ShortHeader", {"extract", "short.mpak", "-o", "out"}, 2, "short.mpak: header"},
        FailureCase{"CutInTheToc",
                    {"extract", "cut.mpak", "-o", "out"},
                    2,
                    "cut.mpak: header: TOC block size"},
        FailureCase{"NoArchiveGiven", {"extract"}, 7, "ARCHIVE"},
        FailureCase{
            "UnknownOption", {"extract", "archives/ui.mpak", "--frobnicate"}, 7, "frobnicate"},
        FailureCase{"OutputIsAFile",
                    {"extract", "archives/ui.mpak", "-o", "archives/ui.mpak"},
                    7,
                    "not a folder"},
        FailureCase{"VerifyMissingArchive", {"verify", "absent.mpak"}, 2, "absent.mpak"},
        FailureCase{
            "VerifyDamagedIndex", {"verify", "cut.mpak"}, 2, "cut.mpak: header: TOC block size"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(CliExtract, VerifyPassesAGoodArchive) {
  auto run = runCli({"verify", archive}, dir.path());

  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, archive + ": 4 entries checked, 0 bad\n");
  EXPECT_TRUE(extractedTo("ui.mpak").empty()) << "verify writes nothing";
}

TEST_F(CliExtract, VerifyNamesEveryBadEntryWithWhatAndWhere) {
  auto badDeflate = compressed("bad.bin", "content");
  badDeflate.stored = std::string("\x07\xFF\xFF", 3);
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
  // Make copy 2 of copies.bin differ from copy 1.
  auto bytes = built.bytes;
  bytes[built.rawdPosition + built.dataOffsets[4][1]] = 'T';
  dir.write("bad.mpak", bytes);

  auto run = runCli({"verify", "bad.mpak"}, dir.path());

  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_NE(run.out.find("entry 1 'bad.bin' (TOC record at 0x"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("does not inflate: the data is not valid DEFLATE data"),
            std::string::npos);
  EXPECT_NE(run.out.find("entry 2 'size.bin'"), std::string::npos);
  EXPECT_NE(run.out.find("inflates to fewer bytes than the unpacked size"), std::string::npos);
  EXPECT_NE(run.out.find("entry 3 'far.bin'"), std::string::npos);
  EXPECT_NE(run.out.find("runs past the end of the archive"), std::string::npos);
  EXPECT_NE(run.out.find("entry 4 'copies.bin'"), std::string::npos);
  EXPECT_NE(run.out.find("differs from copy 1"), std::string::npos);
  EXPECT_NE(run.out.find("entry 5 'second.bin'"), std::string::npos);
  EXPECT_NE(run.out.find("copy 2 (1 bytes at offset"), std::string::npos);
  EXPECT_NE(run.out.find("entry 6 '../up.txt'"), std::string::npos);
  EXPECT_NE(run.out.find("unsafe path"), std::string::npos);
  EXPECT_EQ(run.out.find("'ok.txt'"), std::string::npos);
  EXPECT_NE(run.out.find("bad.mpak: 7 entries checked, 6 bad\n"), std::string::npos);
}

}  // namespace
}  // namespace extract_tests
