#include "platform/process.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <optional>
#include <system_error>

extern char** environ;

namespace platform {

std::vector<std::string> arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void prepareConsole() {}

bool errorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value)
    return std::nullopt;
  return std::string(value);
}

std::filesystem::path executableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

std::filesystem::path programFile(const std::filesystem::path& folder, const std::string& name) {
  return folder / name;
}

std::filesystem::path userProgramFolder() {
  if (auto xdg = environment("XDG_DATA_HOME"))
    return std::filesystem::path(*xdg) / "tarnwick";
  if (auto home = environment("HOME"))
    return std::filesystem::path(*home) / ".local" / "share" / "tarnwick";
  return std::filesystem::temp_directory_path() / "tarnwick";
}

bool processRunning(unsigned pid) {
  return pid > 0 && pid <= static_cast<unsigned>(std::numeric_limits<pid_t>::max()) &&
         (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::filesystem::path makeTemporaryFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (!::mkdtemp(pattern.data()))
    throw std::system_error(
        errno, std::generic_category(),
        "cannot make a temporary folder in " + std::filesystem::temp_directory_path().string());
  return pattern;
}

namespace {

// Starts the program as runAndWait says; -1 when it cannot be started.
pid_t startProgram(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput) {
  if (argv.empty() || argv[0].empty())
    return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!errorOutput.empty())
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorOutput.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);

  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// waitpid without giving up on interrupts; the status, or none when it failed. With `poll`
// it does not block: none while the program still runs.
std::optional<int> waitFor(pid_t pid, bool poll) {
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, poll ? WNOHANG : 0);
    if (done == pid)
      return status;
    if (done == 0 || errno != EINTR)
      return std::nullopt;
  }
}

int exitCode(int status) {
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

int runAndWait(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput) {
  const pid_t pid = startProgram(argv, errorOutput);
  if (pid < 0)
    return -1;
  const auto status = waitFor(pid, false);
  return status ? exitCode(*status) : -1;
}

int runAndWait(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput,
               const std::function<bool()>& keepWaiting) {
  const pid_t pid = startProgram(argv, errorOutput);
  if (pid < 0)
    return -1;
  for (;;) {
    if (const auto status = waitFor(pid, true))
      return exitCode(*status);
    if (!keepWaiting()) {
      ::kill(pid, SIGTERM);
      waitFor(pid, false);
      return kStoppedExitCode;
    }
    ::usleep(20000);
  }
}

void returnLargeBuffersToTheSystem() {
  // A fixed threshold also stops the allocator from raising it after the first large free.
  ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
  // Buffers are allocated on worker threads and freed on the writing thread: one pool for
  // all threads reuses what was freed instead of growing a pool per thread.
  ::mallopt(M_ARENA_MAX, 1);
}

}  // namespace platform
