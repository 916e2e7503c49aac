// Runs tarnwick-cli in process and keeps what it printed and returned.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace cli_testing {

struct CliResult {
  int code = -1;
  std::string out, err;
};

inline CliResult runCliCaptured(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  cli::Io io{out, err, false};
  int code = cli::runCli(args, io);
  return {code, out.str(), err.str()};
}

}  // namespace cli_testing
