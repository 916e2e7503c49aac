#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/process.h"
#include "platform/temporary.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  platform::prepareConsole();
  platform::installInterruptCleanup();
  platform::returnLargeBuffersToTheSystem();
  auto args = platform::arguments(argc, argv);
  args.erase(args.begin());
  cli::Io io{std::cout, std::cerr, platform::errorIsTerminal()};
  int code = cli::runCli(args, io);
  std::cout.flush();
  return code;
}
