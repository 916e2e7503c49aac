// RunAndWait starts a program from an argument vector with no shell in between: exit
// codes come back as they are, a missing program gives -1, and arguments holding blanks,
// quotes and non-ASCII letters arrive intact. ClearFolder deletes only the files lying
// directly in its folder.
#include "util/run_and_wait.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"

using testing_support::slurp;
using testing_support::TempDir;

namespace {

std::string makeScript(const TempDir& dir, std::string_view relative, std::string_view body) {
  auto path = dir.write(relative, "#!/bin/sh\n" + std::string(body));
  ::chmod(path.c_str(), 0755);
  return path.string();
}

TEST(RunAndWait, ReturnsTheProgramsExitCode) {
  struct Row {
    const char* script;
    int expected;
  } rows[] = {{"exit 0\n", 0}, {"exit 3\n", 3}, {"exit 255\n", 255}, {"kill -9 $$\n", 128 + 9}};
  TempDir dir;
  for (const auto& row : rows) {
    auto script = makeScript(dir, "tool.sh", row.script);
    EXPECT_EQ(util::RunAndWait({script}), row.expected) << row.script;
  }
}

TEST(RunAndWait, MissingProgramGivesMinusOne) {
  TempDir dir;
  EXPECT_EQ(util::RunAndWait({(dir.path() / "no-such-tool").string()}), -1);
  EXPECT_EQ(util::RunAndWait({}), -1);
  auto notExecutable = dir.write("plain.txt", "not a program");
  EXPECT_EQ(util::RunAndWait({notExecutable.string()}), -1);
}

TEST(RunAndWait, ArgumentsArriveIntactEvenFromAFolderWithBlanks) {
  TempDir dir;
  // The tool lies in a folder whose name holds blanks, as a program folder may.
  auto out = dir.path() / "args.txt";
  auto script = makeScript(dir, "my tools/print args.sh",
                           "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$OUT\"\n");
  ::setenv("OUT", out.c_str(), 1);
  std::vector<std::string> argv = {script, "two words", "say \"hi\"", "Ünïcødé ß", "", "$HOME;|&"};
  ASSERT_EQ(util::RunAndWait(argv), 0);
  EXPECT_EQ(slurp(out), "[two words]\n[say \"hi\"]\n[Ünïcødé ß]\n[]\n[$HOME;|&]\n");
}

TEST(ClearFolder, DeletesFilesAndKeepsSubFolders) {
  TempDir dir;
  dir.write("Temp/a.gz", "a");
  dir.write("Temp/b.txt", "b");
  dir.write("Temp/sub/keep.txt", "k");
  int calls = 0;
  util::ClearFolder((dir.path() / "Temp").string(), [&] { ++calls; });
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "Temp/a.gz"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "Temp/b.txt"));
  EXPECT_EQ(slurp(dir.path() / "Temp/sub/keep.txt"), "k");
}

TEST(ClearFolder, EmptyFolderIsLeftAloneAndMissingFolderFails) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Temp");
  int calls = 0;
  util::ClearFolder((dir.path() / "Temp").string(), [&] { ++calls; });
  EXPECT_EQ(calls, 0);
  EXPECT_THROW(util::ClearFolder((dir.path() / "Missing").string()),
               std::filesystem::filesystem_error);
}

}  // namespace
