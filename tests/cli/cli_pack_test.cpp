// Property: `tarnwick-cli pack` packs a folder as a table says, reports what the folder and
// the table say to each other, never replaces an archive without --force, and gives the
// archive `extract` and `list` read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "support/temp_dir.h"

namespace {

struct CliResult {
  int code;
  std::string out, err;
};

CliResult run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  cli::Io io{out, err, false};
  int code = cli::runCli(args, io);
  return {code, out.str(), err.str()};
}

TEST(PackCommand, PacksReportsAndRefusesToReplaceWithoutForce) {
  testing_support::TempDir dir;
  dir.write("tree/a.txt", "alpha");
  dir.write("tree/sub/b.bin", "beta");
  const auto toc = dir.write("t.toc", "00 2 0 sub\\b.bin\r\n01 1 0 gone.txt").string();
  const auto tree = (dir.path() / "tree").string(), out = (dir.path() / "new.mpak").string();

  auto r = run({"pack", tree, "-o", out, "--toc", toc});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Packed 2 entries (1 compressed, 1 in the STOC) into " + out + " (" +
                       std::to_string(std::filesystem::file_size(out)) +
                       " bytes)\n"
                       "Table lines that name no file: 1\n  01 1 0 gone.txt\n"
                       "Files no table line names (packed compressed, 1 copy, in the STOC): 1\n"
                       "  a.txt\n");
  r = run({"list", out});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find(" 00 2 0 sub\\b.bin\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 01 1 1 a.txt\n"), std::string::npos) << r.out;

  r = run({"pack", tree, "-o", out});
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("exists; use --force"), std::string::npos) << r.err;

  r = run({"pack", tree, "-o", out, "--force", "--level", "0"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("no library table given (--toc)"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Packed 2 entries (2 compressed, 2 in the STOC)"), std::string::npos);

  EXPECT_EQ(run({"pack", tree, "-o", out, "--force", "--level", "13"}).code, 7);
  dir.write("bad.toc", "00 1 x a.txt");
  r = run({"pack", tree, "-o", out, "--force", "--toc", (dir.path() / "bad.toc").string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("library table line 1 (\"00 1 x a.txt\"): STOC field \"x\""),
            std::string::npos)
      << r.err;
}

}  // namespace
