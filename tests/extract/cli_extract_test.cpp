// Property: `tarnwick-cli extract` picks entries by pattern, and run as a program it prints its
// summary, no progress when stderr is not a terminal, and ends with the verb's exit code.
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
       {"a\\b.txt a/b.txt", "TEXTURES/Menu/*.DDS textures\\menu\\b.dds", "\xC3\x84* \xE4rger.txt",
        "**/*.dds u\\v\\a.dds", "?.txt a.txt", "a/**/z.txt a\\z.txt"})
    EXPECT_TRUE(glob(c)) << c;
  for (const char* c : {"*.txt a\\b.txt", "?.txt ab.txt", "a/**/z.txt ab\\z.txt", "a a\\b.txt",
                        "*a*a*a*a*a*a*a*a*a*b aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
    EXPECT_FALSE(glob(c)) << c;
}

TEST(CliProgram, PrintsTheSummaryAndNoProgressAndEndsWithTheExitCode) {
  testing_support::TempDir dir;
  dir.write("archives/ui.mpak", testing_support::buildArchiveBytes({stored("readme.txt", "read me"),
                                                                    compressed("a/b.dds", "dds")}));
  // The tarnwick-cli built beside this test program, run in dir with `args`.
  auto run = [&](const std::string& args) {
    static const auto cli = fs::read_symlink("/proc/self/exe").parent_path() / "tarnwick-cli";
    int status = std::system(
        ("cd '" + dir.str() + "' && '" + cli.string() + "' " + args + " >out.txt 2>err.txt")
            .c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  EXPECT_EQ(run("extract archives/ui.mpak"), 0);
  EXPECT_EQ(slurp(dir.path() / "out.txt"), "Extracted 2 of 2 entries to ui.mpak\n");
  EXPECT_EQ(slurp(dir.path() / "err.txt"), "") << "no progress when stderr is not a terminal";
  EXPECT_EQ(slurp(dir.path() / "ui.mpak/a/b.dds"), "dds");

  EXPECT_EQ(run("extract archives/ui.mpak -o out '*.none'"), 1);
  EXPECT_EQ(run("verify absent.mpak"), 2);
  EXPECT_EQ(run("extract"), 7);
}

}  // namespace
}  // namespace extract_tests
