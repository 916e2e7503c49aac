// tarnwick-cli: verbs over the engines for scripting and batch work.
//
// Exit codes: 0 done, 1 done with warnings (some entries skipped or damaged),
// 2 failed (a damaged or unreadable archive, an I/O error), 7 usage error.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

enum ExitCode : int { kExitOk = 0, kExitWarnings = 1, kExitFailed = 2, kExitUsage = 7 };

// Thrown by a verb for a usage fault found after parsing (a taken output name).
struct UsageError {
  std::string message;
};

struct Io {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// A verb adds its sub-command to `app` and sets `run` to what it does when chosen.
using Runner = std::function<int(Io&)>;
using Registrar = void (*)(CLI::App& app, Runner& run);

void registerList(CLI::App& app, Runner& run);
void registerToc(CLI::App& app, Runner& run);
void registerExtract(CLI::App& app, Runner& run);
void registerVerify(CLI::App& app, Runner& run);

// Parses `args` (without the program name) and runs the chosen verb. Errors are
// printed on io.err as "tarnwick-cli: <what and where>".
int runCli(const std::vector<std::string>& args, Io& io);

}  // namespace cli
