// Property: a disk that fails under a write (a file-size limit, a full or a read-only file
// system) ends extraction and packing with an error naming the file, exit code 2 on the
// command line and the trap in the window; no partial or temporary file is left and an
// archive that was there before is byte for byte the same.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "app/commands/extract.h"
#include "app/commands/load.h"
#include "app/commands/pack.h"
#include "support/archive_builder.h"
#include "support/command_harness.h"
#include "util/temporary.h"

namespace {

namespace fs = std::filesystem;
using testing_support::slurp;

constexpr rlim_t kLimit = 1 << 20;

// Incompressible, so the archive and the extracted file both pass the limit.
std::string noise(std::size_t size) {
  std::mt19937 random(7);
  std::string out(size, '\0');
  for (auto& c : out)
    c = static_cast<char>(random());
  return out;
}

std::vector<std::string> leftovers(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& f : fs::recursive_directory_iterator(folder))
    if (util::isTemporaryName(f.path().filename().string()))
      found.push_back(f.path().string());
  return found;
}

// Runs tarnwick-cli with `args` in `dir`, under the file-size limit when `limited`; gives
// the exit code and what it wrote on stderr.
std::pair<int, std::string> cli(const fs::path& dir, std::vector<std::string> args, bool limited) {
  args.insert(args.begin(), TARNWICK_CLI);
  const pid_t child = fork();
  if (child == 0) {
    if (limited) {
      rlimit limit{kLimit, kLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (chdir(dir.c_str()) != 0 || !freopen("err.txt", "w", stderr))
      _exit(99);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(98);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(dir / "err.txt")};
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
    archive = dir.write("big.mpak", testing_support::buildArchiveBytes(
                                        {testing_support::stored("big.bin", noise(3 << 20)),
                                         testing_support::compressed("small.txt", "small")}));
    previous = dir.write("previous.mpak", "the previous archive");
  }
  // The command failed the way a failing disk should make it fail.
  void expectFailed(const std::pair<int, std::string>& result, const std::string& mention) {
    EXPECT_EQ(result.first, 2) << result.second;
    EXPECT_NE(result.second.find(mention), std::string::npos) << result.second;
    EXPECT_EQ(leftovers(dir.path()), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(dir.path() / "out/big.bin"));
    EXPECT_EQ(slurp(previous), "the previous archive");
  }
  testing_support::TempDir dir;
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
  expectFailed(cli(dir.path(), {"extract", "big.mpak", "-o", "full/out"}, false),
               "No space left on device");
  expectFailed(cli(dir.path(), {"pack", "tree", "-o", "full/new.mpak"}, false),
               "full/new.mpak: No space left on device");
  expectFailed(cli(dir.path(), {"extract", "big.mpak", "-o", "ro"}, false),
               "Read-only file system");
  expectFailed(cli(dir.path(), {"pack", "tree", "-o", "ro/new.mpak"}, false),
               "ro/new.mpak: Read-only file system");
}

TEST_F(FailingDisk, TheWindowEndsInTheTrapAndKeepsWhatWasThere) {
  testing_support::CommandHarness h;
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
    EXPECT_NE(message.text.find("File too large"), std::string::npos) << message.text;
  }
  EXPECT_FALSE(fs::exists(h.home.path() / "ExtractedFiles/big.mpak/big.bin"));
  EXPECT_EQ(slurp(newArchive), "the previous archive");
  EXPECT_EQ(leftovers(h.home.path()), std::vector<std::string>{});
}

}  // namespace
