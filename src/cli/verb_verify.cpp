// tarnwick-cli verify: every entry of an archive checked, nothing written.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "extract/verifier.h"

namespace cli {

namespace {

int runVerify(const std::string& archive, Io& io) {
  OpenedArchive opened;
  if (!openArchive(archive, io, opened))
    return kExitFailed;
  auto report = extract::verifyArchive(opened.file.bytes(), opened.index);
  auto print = [&](const extract::EntryFault& fault, const char* kind) {
    io.out << archive << ": "
           << entryWhere(fault.entryIndex, opened.index.entries[fault.entryIndex]) << ": " << kind
           << fault.what << "\n";
  };
  for (const auto& fault : report.faults)
    print(fault, "");
  for (const auto& warning : report.warnings)
    print(warning, "warning: ");
  io.out << archive << ": " << report.entries << " entries checked, " << report.badEntries
         << " bad";
  if (!report.warnings.empty())
    io.out << ", " << report.warnings.size()
           << (report.warnings.size() == 1 ? " warning" : " warnings");
  io.out << "\n";
  return report.badEntries == 0 && report.warnings.empty() ? kExitOk : kExitWarnings;
}

}  // namespace

void registerVerify(CLI::App& app, Runner& run) {
  auto archive = std::make_shared<std::string>();
  auto* sub = app.add_subcommand(
      "verify",
      "Check every entry of an archive: paths, data ranges, copies, and that compressed "
      "data inflates, to its unpacked size and with no bytes after its end. Writes nothing.");
  sub->add_option("ARCHIVE", *archive, "the MPAK archive")->required();
  sub->callback([&run, archive] { run = [archive](Io& io) { return runVerify(*archive, io); }; });
}

}  // namespace cli
