// Property: run as a program, tarnwick-cli prints its summary, no progress when stderr is
// not a terminal, and ends with the verb's exit code. A signal that ends the program in
// the middle of writing a file leaves no temporary file behind, in the window and on the
// command line: the test watches the extraction folder and sends the signal the moment a
// temporary file appears.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/temp_dir.h"
#include "util/temporary.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Eight entries of 16 MiB each that deflate to almost nothing: writing one takes long
// enough for a signal to land in the middle of it.
std::string bigArchive() {
  std::vector entries(8, testing_support::compressed("", std::string(16 << 20, 'z')));
  for (std::size_t i = 0; i < entries.size(); ++i)
    entries[i].path = "big" + std::to_string(i) + ".bin";
  return testing_support::buildArchiveBytes(entries);
}

std::vector<std::string> temporariesBelow(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& f : fs::recursive_directory_iterator(folder))
    if (util::isTemporaryName(f.path().filename().string()))
      found.push_back(f.path().string());
  return found;
}

// Starts `argv`, sends `signal` as soon as a temporary file is created in `watched`, and
// returns the wait status. Fails the test when no temporary file appears.
int killWhileWriting(const std::vector<std::string>& argv, const fs::path& watched, int signal) {
  fs::create_directories(watched);
  int watch = inotify_init1(IN_CLOEXEC);
  EXPECT_GE(inotify_add_watch(watch, watched.c_str(), IN_CREATE), 0);
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t child = 0;
  EXPECT_EQ(posix_spawn(&child, args[0], nullptr, nullptr, args.data(), environ), 0);

  bool sent = false, ended = false;
  int status = 0;
  alignas(inotify_event) char buffer[4096];
  while (!sent && !ended) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, 100) > 0) {
      ssize_t n = read(watch, buffer, sizeof buffer);
      for (char* p = buffer; p < buffer + std::max<ssize_t>(n, 0) && !sent;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        if (event->len > 0 && util::isTemporaryName(event->name)) {
          kill(child, signal);
          sent = true;
        }
        p += sizeof(inotify_event) + event->len;
      }
    }
    ended = !sent && waitpid(child, &status, WNOHANG) == child;
  }
  close(watch);
  if (!ended)
    waitpid(child, &status, 0);
  EXPECT_TRUE(sent) << "no temporary file appeared";
  return status;
}

TEST(CliProgram, PrintsTheSummaryAndNoProgressAndEndsWithTheExitCode) {
  testing_support::TempDir dir;
  dir.write("archives/ui.mpak",
            testing_support::buildArchiveBytes({testing_support::stored("readme.txt", "read me"),
                                                testing_support::compressed("a/b.dds", "dds")}));
  auto run = [&](const std::string& args) {
    int status = std::system(
        ("cd '" + dir.str() + "' && '" TARNWICK_CLI "' " + args + " >out.txt 2>err.txt").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  EXPECT_EQ(run("extract archives/ui.mpak 'A\\*'"), 0);
  EXPECT_EQ(testing_support::slurp(dir.path() / "out.txt"),
            "Extracted 1 of 1 entries to ui.mpak\n");
  EXPECT_EQ(testing_support::slurp(dir.path() / "err.txt"), "")
      << "no progress when stderr is not a terminal";
  EXPECT_EQ(testing_support::filesBelow(dir.path() / "ui.mpak"),
            std::vector<std::string>{"a/b.dds"});

  EXPECT_EQ(run("verify absent.mpak"), 2);
}

TEST(TemporaryFiles, TheCommandLineLeavesNoneWhenInterrupted) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    testing_support::TempDir dir;
    auto archive = dir.write("big.mpak", bigArchive());
    int status = killWhileWriting(
        {TARNWICK_CLI, "extract", "-q", archive.string(), "-o", (dir.path() / "out").string()},
        dir.path() / "out", signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(temporariesBelow(dir.path()), std::vector<std::string>{});
  }
}

#ifdef TARNWICK_WINDOW_CHILD
TEST(TemporaryFiles, TheWindowLeavesNoneWhenTerminatedDuringAnExtraction) {
  testing_support::TempDir home;
  auto archive = home.write("in/big.mpak", bigArchive());
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int status = killWhileWriting({TARNWICK_WINDOW_CHILD, home.str(), archive.string()},
                                home.path() / "ExtractedFiles" / "big.mpak", SIGTERM);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(temporariesBelow(home.path()), std::vector<std::string>{});
}
#endif

TEST(TemporaryFiles, NamesAreRecognisedWhoeverMadeThem) {
  for (const auto& name : {util::temporaryName("ui.mpak"), util::temporaryName(""),
                           std::string(".a.b.tw1-0.tmp"), std::string(".tw99999-12.tmp")})
    EXPECT_TRUE(util::isTemporaryName(name)) << name;
  for (const char* name : {"ui.mpak", ".tw1-0.tmp.bak", "a.tw1-0.tmp", ".xtw1-0.tmp", ".a.tw-0.tmp",
                           ".a.tw1-.tmp", ".a.tw1x-0.tmp", "tw1-0.tmp"})
    EXPECT_FALSE(util::isTemporaryName(name)) << name;
}

}  // namespace
