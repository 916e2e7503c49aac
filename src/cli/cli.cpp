#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <iostream>

#include "app/shell.h"

namespace cli {

namespace {

constexpr const char* kFooter =
    "Exit codes:\n"
    "  0  done\n"
    "  1  done with warnings (entries skipped, damaged or refused)\n"
    "  2  failed (a damaged or unreadable archive, an I/O error)\n"
    "  7  usage error";

}  // namespace

bool openArchive(const std::string& path, Io& io, OpenedArchive& opened) {
  opened.file = util::MappedFile(path);
  try {
    opened.index = mpak::readArchiveIndex(opened.file.bytes());
  } catch (const mpak::FormatError& e) {
    io.err << "tarnwick-cli: " << path << ": " << e.what() << "\n";
    return false;
  }
  return true;
}

int runCli(const std::vector<std::string>& args, Io& io) {
  CLI::App app{"Tarnwick command line: list, extract and check MPAK game archives.",
               "tarnwick-cli"};
  app.footer(kFooter);
  app.require_subcommand(1);
  app.set_version_flag("--version", "tarnwick-cli 1.00 build 113");

  Runner run;
  for (Registrar r : {&registerList, &registerToc, &registerExtract, &registerVerify})
    r(app, run);

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    // --help and --version arrive here too, with exit code 0.
    return app.exit(e, io.out, io.err) == 0 ? kExitOk : kExitUsage;
  }
  if (!run)
    return kExitUsage;
  try {
    return run(io);
  } catch (const UsageError& e) {
    io.err << "tarnwick-cli: " << e.message << "\n";
    return kExitUsage;
  } catch (...) {
    io.err << "tarnwick-cli: " << app::describeException(std::current_exception()) << "\n";
    return kExitFailed;
  }
}

}  // namespace cli
