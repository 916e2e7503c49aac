// tarnwick-cli mpkg: an MPKG package's body inflated into a data file.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "mpkg/package.h"
#include "platform/files.h"

namespace cli {

namespace {

struct MpkgArgs {
  std::string package, output;
  bool force = false;
};

int runMpkg(const MpkgArgs& args, Io& io) {
  namespace fs = std::filesystem;
  const fs::path target =
      args.output.empty()
          ? platform::pathFromUtf8(args.package).filename().replace_extension(".dat")
          : platform::pathFromUtf8(args.output);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec)) && !args.force)
    throw UsageError{platform::utf8(target) + " exists; use --force to replace it"};
  try {
    auto written = mpkg::unpackPackage(platform::pathFromUtf8(args.package), target);
    io.out << "Unpacked " << args.package << " into " << platform::utf8(target) << " (" << written
           << " bytes)\n";
  } catch (const mpkg::PackageError& e) {
    io.err << "tarnwick-cli: " << e.what() << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

void registerMpkg(CLI::App& app, Runner& run) {
  auto args = std::make_shared<MpkgArgs>();
  auto* sub = app.add_subcommand("mpkg", "Unpack an MPKG package into one data file.");
  sub->add_option("PACKAGE", args->package, "the .mpkg package")->required();
  sub->add_option("-o,--output", args->output,
                  "the file to write (default: the package's name with .dat, in the current "
                  "folder)");
  sub->add_flag("--force", args->force, "replace an existing file");
  sub->callback([&run, args] { run = [args](Io& io) { return runMpkg(*args, io); }; });
}

}  // namespace cli
