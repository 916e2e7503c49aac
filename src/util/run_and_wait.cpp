#include "util/run_and_wait.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

extern char** environ;

namespace util {

int RunAndWait(const std::vector<std::string>& argv, const std::string& errorOutput) {
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
  if (rc != 0)
    return -1;

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return -1;
  }
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return -1;
}

void ClearFolder(const std::string& folder, const std::function<void()>& afterEach) {
  namespace fs = std::filesystem;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_directory())
      continue;
    fs::remove(entry.path());
    if (afterEach)
      afterEach();
  }
}

}  // namespace util
