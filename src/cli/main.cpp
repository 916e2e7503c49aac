#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "util/memory.h"
#include "util/temporary.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  util::installTemporaryCleanup();
  util::returnLargeBuffersToTheSystem();
  std::vector<std::string> args(argv + 1, argv + argc);
  cli::Io io{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
  int code = cli::runCli(args, io);
  std::cout.flush();
  return code;
}
