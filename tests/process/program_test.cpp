// The programs as processes: exit codes, no temporaries left by signals or failing disks.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "app/commands/extract.h"
#include "app/commands/fsb.h"
#include "app/commands/load.h"
#include "app/commands/pack.h"
#include "fsb/bank_bytes.h"
#include "platform/temporary.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/command_harness.h"

namespace {

using namespace testing_support;

constexpr rlim_t kLimit = 1 << 20;

// Eight 16 MiB entries that deflate to almost nothing: long enough to write for a signal to land.
std::string bigArchive() {
  std::vector entries(8, compressed("", std::string(16 << 20, 'z')));
  for (std::size_t i = 0; i < entries.size(); ++i)
    entries[i].path = "big" + std::to_string(i) + ".bin";
  return buildArchiveBytes(entries);
}

Strings temporariesBelow(const fs::path& folder) {
  Strings found;
  for (const auto& f : fs::recursive_directory_iterator(folder))
    if (platform::isTemporaryName(f.path().filename().string()))
      found.push_back(f.path().string());
  return found;
}

struct Ran {
  int code;
  std::string out, err;
};

// Starts `args` in `dir`, output in out.txt and err.txt there, under the size limit if `limited`.
pid_t start(Strings args, const fs::path& dir, bool limited = false) {
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{kLimit, kLimit};
    if ((limited && setrlimit(RLIMIT_FSIZE, &limit) != 0) || chdir(dir.c_str()) != 0 ||
        !freopen("out.txt", "w", stdout) || !freopen("err.txt", "w", stderr))
      _exit(99);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(98);
  }
  return child;
}

// Runs tarnwick-cli with `args` in `dir` to its end.
Ran cli(const fs::path& dir, Strings args, bool limited = false) {
  args.insert(args.begin(), TARNWICK_CLI);
  int status = 0;
  waitpid(start(args, dir, limited), &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(dir / "out.txt"),
          slurp(dir / "err.txt")};
}

// Runs `args` in `dir`, sends `signal` when a temporary file appears in `watched` (else fails).
int killWhileWriting(const Strings& args, const fs::path& dir, const fs::path& watched,
                     int signal) {
  fs::create_directories(watched);
  int watch = inotify_init1(IN_CLOEXEC);
  EXPECT_GE(inotify_add_watch(watch, watched.c_str(), IN_CREATE), 0);
  const pid_t child = start(args, dir);
  bool sent = false, ended = false;
  int status = 0;
  alignas(inotify_event) char buffer[4096];
  while (!sent && !ended) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, 100) > 0) {
      ssize_t n = read(watch, buffer, sizeof buffer);
      for (char* p = buffer; p < buffer + std::max<ssize_t>(n, 0) && !sent;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        sent = event->len > 0 && platform::isTemporaryName(event->name) && kill(child, signal) == 0;
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

TEST(TemporaryFiles, TheCommandLineLeavesNoneWhenInterrupted) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    dir.write("big.mpak", bigArchive());
    int status = killWhileWriting({TARNWICK_CLI, "extract", "-q", "big.mpak", "-o", "out"},
                                  dir.path(), dir.path() / "out", signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(temporariesBelow(dir.path()), Strings{});
  }
}

#ifdef TARNWICK_WINDOW_CHILD
TEST(TemporaryFiles, TheWindowLeavesNoneWhenTerminatedDuringAnExtraction) {
  TempDir home;
  auto archive = home.write("in/big.mpak", bigArchive());
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int status = killWhileWriting({TARNWICK_WINDOW_CHILD, home.str(), archive.string()}, home.path(),
                                home.path() / "ExtractedFiles" / "big.mpak", SIGTERM);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(temporariesBelow(home.path()), Strings{});
}
#endif

// Temporaries another process left are neither packed nor added files; lookalikes are both.
TEST(TemporaryFiles, OnesLeftByAnotherRunAreNotTakenForTheUsersFiles) {
  TempDir dir;
  const Strings lookalikes = {".a.tw-0.tmp", ".a.tw1-.tmp", ".a.tw1x-0.tmp", ".tw1-0.tmp.bak",
                              ".xtw1-0.tmp", "a.tw1-0.tmp", "tw1-0.tmp"};
  for (const auto& name : lookalikes)
    dir.write("tree/" + name, name);
  const auto leftBehind = [](const fs::path& folder) {  // by a process that has ended
    const pid_t child = fork();
    if (child == 0) {
      std::ofstream(folder / platform::temporaryName("x.dds")) << "half-written";
      std::ofstream(folder / platform::temporaryName("")) << "half-written";
      _exit(0);
    }
    waitpid(child, nullptr, 0);
    return std::to_string(child);
  };
  const std::string pid = leftBehind(dir.path() / "tree");
  ASSERT_NE(pid, std::to_string(getpid()));
  auto r = cli(dir.path(), {"pack", "tree", "-o", "new.mpak"});
  EXPECT_EQ(r.code, 1) << r.err;
  for (const auto& name : {".x.dds.tw" + pid + "-", ".tw" + pid + "-"})
    EXPECT_HAS(r.err, "tree: not packed: " + name);
  r = cli(dir.path(), {"extract", "new.mpak", "-o", "out"});
  EXPECT_EQ(std::tie(r.code, r.out, r.err),  // no progress when stderr is not a terminal
            std::tuple(0, std::string("Extracted 7 of 7 entries to out\n"), std::string()));
  EXPECT_EQ(filesBelow(dir.path() / "out"), lookalikes);
  leftBehind(dir.path() / "out");
  EXPECT_EQ(cli(dir.path(), {"diff", "new.mpak", "out"}).out,
            "0 changed (0 added, 0 removed, 0 modified), 7 unchanged\n");
}

// A file system of its own for one test, when this machine lets the test mount one.
struct SmallDisk {
  explicit SmallDisk(const fs::path& where, const char* options) : path(where) {
    fs::create_directories(path);
    mounted = mount("tarnwick-test", path.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallDisk() {
    if (mounted)
      umount2(path.c_str(), MNT_DETACH);
  }
  fs::path path;
  bool mounted = false;
};

struct FailingDisk : ::testing::Test {
  FailingDisk() {
    dir.write("tree/big.bin", noise(3 << 20));
    dir.write("tree/small.txt", "small");
    archive = dir.write("big.mpak", buildArchiveBytes({stored("big.bin", noise(3 << 20)),
                                                       compressed("small.txt", "small")}));
    previous = dir.write("previous.mpak", "the previous archive");
  }
  // The command failed the way a failing disk should make it fail.
  void expectFailed(const Ran& result, const std::string& mention) {
    EXPECT_EQ(result.code, 2) << result.err;
    EXPECT_HAS(result.err, mention);
    EXPECT_EQ(temporariesBelow(dir.path()), Strings{});
    EXPECT_FALSE(fs::exists(dir.path() / "out/big.bin"));
    EXPECT_EQ(slurp(previous), "the previous archive");
  }
  TempDir dir;
  fs::path archive, previous;
};

TEST_F(FailingDisk, TheCommandLineStopsWithTheFileNamedAndKeepsWhatWasThere) {
  expectFailed(cli(dir.path(), {"extract", "big.mpak", "-o", "out"}, true),
               "cannot write big.bin: File too large");
  expectFailed(cli(dir.path(), {"pack", "tree", "-o", "previous.mpak", "--force"}, true),
               "previous.mpak: File too large");

  SmallDisk full(dir.path() / "full", "size=1m");
  SmallDisk readOnly(dir.path() / "ro", "size=1m,ro");
  if (!full.mounted || !readOnly.mounted)
    GTEST_SKIP() << "no permission to mount a small file system here";
  expectFailed(cli(dir.path(), {"extract", "big.mpak", "-o", "full/out"}),
               "No space left on device");
  expectFailed(cli(dir.path(), {"pack", "tree", "-o", "full/new.mpak"}),
               "full/new.mpak: No space left on device");
  expectFailed(cli(dir.path(), {"extract", "big.mpak", "-o", "ro"}), "Read-only file system");
  expectFailed(cli(dir.path(), {"pack", "tree", "-o", "ro/new.mpak"}),
               "ro/new.mpak: Read-only file system");
}

TEST_F(FailingDisk, TheWindowEndsInTheTrapAndKeepsWhatWasThere) {
  CommandHarness h;
  h.window.fileAnswers.push_back(archive.string());
  app::butSelectMPAKfile_Click(h.context);
  h.window.selectAll();
  fs::copy(dir.path() / "tree", h.home.path() / "ExtractedFiles/other.mpak");
  const auto newArchive = h.home.write("NewMPAKs/other.mpak", "the previous archive");
  h.home.write("Library/other.mpak.toc", "--\r\n\r\n00 1 1 big.bin\r\n01 1 1 small.txt");
  // The limit holds for this process only while the commands run.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit limit{kLimit, saved.rlim_max};
  setrlimit(RLIMIT_FSIZE, &limit);
  app::butMassExtract_Click(h.context);
  h.window.folderAnswers.push_back(h.home.str() + "/ExtractedFiles/other.mpak");
  app::butSelectMPAKFolder_Click(h.context);
  app::butPackMPAK_Click(h.context);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  ASSERT_EQ(h.window.messages.size(), 2u);
  const std::string traps[] = {"Extract error.\r\n\r\ncannot write big.bin",
                               "PackIt error.\r\n\r\ncannot write " + newArchive.string()};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& message = h.window.messages[i];
    EXPECT_EQ(message.icon, app::Icon::Exclamation);
    EXPECT_TRUE(message.text.starts_with(traps[i])) << message.text;
    EXPECT_HAS(message.text, "File too large");
  }
  EXPECT_FALSE(fs::exists(h.home.path() / "ExtractedFiles/big.mpak/big.bin"));
  EXPECT_EQ(slurp(newArchive), "the previous archive");
  EXPECT_EQ(temporariesBelow(h.home.path()), Strings{});
}

// Read-only ExtractedFiles and Sounds are named as the cause, a sample by its final file.
TEST_F(FailingDisk, ReadOnlyFoldersOfTheWindowAreNamedWithTheCauseAndTheFinalFile) {
  CommandHarness h;
  SmallDisk extracted(h.home.path() / "ExtractedFiles", "size=1m,ro");
  SmallDisk sounds(h.home.path() / "Sounds", "size=1m,ro");
  if (!extracted.mounted || !sounds.mounted)
    GTEST_SKIP() << "no permission to mount a small file system here";
  h.window.fileAnswers.push_back(archive.string());
  app::butSelectMPAKfile_Click(h.context);
  h.window.selectAll();
  app::butMassExtract_Click(h.context);
  h.state.converterPath = TARNWICK_FSBEXT;
  const auto bank =
      fsb_tests::buildBank({}, {{.name = "menu_open", .data = "abcd", .frames = 2, .mode = 0x10}});
  h.session.bankPath = h.home.write("bank.fsb", bank).string();
  app::processFSB(h.context);
  ASSERT_EQ(h.window.messages.size(), 2u);
  EXPECT_EQ(h.window.messages[0].text, "Extract error.\r\n\r\ncannot create the folder " +
                                           (extracted.path / "big.mpak").string() +
                                           ": Read-only file system");
  const auto& text = h.window.messages[1].text;
  EXPECT_HAS(text, "sample 0 (menu_open.wav): cannot create " +
                       (sounds.path / "menu_open.wav").string() + ": Read-only file system");
  EXPECT_EQ(text.find(".tmp"), std::string::npos) << text;
}

}  // namespace
