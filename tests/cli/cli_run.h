// Runs tarnwick-cli in process and keeps what it printed and returned.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace cli_testing {

struct CliResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline CliResult runCliCaptured(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  cli::Io io{out, err, false};
  CliResult result;
  result.code = cli::runCli(args, io);
  result.out = out.str();
  result.err = err.str();
  return result;
}

}  // namespace cli_testing
