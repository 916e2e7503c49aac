// RunAndWait starts a program from an argument vector with no shell in between: exit
// codes come back as they are, a program that cannot start gives -1, and arguments
// holding blanks, quotes and non-ASCII letters arrive intact.
#include "util/run_and_wait.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

using testing_support::slurp;
using testing_support::TempDir;

namespace {

std::string makeScript(const TempDir& dir, std::string_view relative, std::string_view body) {
  auto path = dir.write(relative, "#!/bin/sh\n" + std::string(body));
  ::chmod(path.c_str(), 0755);
  return path.string();
}

TEST(RunAndWait, ReturnsTheExitCodeOrMinusOneWhenTheProgramCannotStart) {
  TempDir dir;
  const std::pair<const char*, int> rows[] = {
      {"exit 0\n", 0}, {"exit 3\n", 3}, {"exit 255\n", 255}, {"kill -9 $$\n", 128 + 9}};
  for (const auto& [body, code] : rows)
    EXPECT_EQ(util::RunAndWait({makeScript(dir, "tool.sh", body)}), code) << body;
  EXPECT_EQ(util::RunAndWait({(dir.path() / "no-such-tool").string()}), -1);
  EXPECT_EQ(util::RunAndWait({}), -1);
  EXPECT_EQ(util::RunAndWait({dir.write("plain.txt", "not a program").string()}), -1);
}

TEST(RunAndWait, ArgumentsArriveIntactEvenFromAFolderWithBlanks) {
  TempDir dir;
  auto out = dir.path() / "args.txt";
  auto script = makeScript(dir, "my tools/print args.sh",
                           "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$OUT\"\n");
  ::setenv("OUT", out.c_str(), 1);
  ASSERT_EQ(util::RunAndWait({script, "two words", "say \"hi\"", "Ünïcødé ß", "", "$HOME;|&"}), 0);
  EXPECT_EQ(slurp(out), "[two words]\n[say \"hi\"]\n[Ünïcødé ß]\n[]\n[$HOME;|&]\n");
}

}  // namespace
