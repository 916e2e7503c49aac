// tarnwick-cli toc: an archive's library table.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "mpak/library_toc.h"
#include "platform/files.h"
#include "util/file_io.h"
#include "util/text.h"

namespace cli {

namespace {

struct TocOptions {
  std::string archive;
  std::string output;
  bool force = false;
};

int runToc(const TocOptions& options, Io& io) {
  OpenedArchive loaded;
  if (!openArchive(options.archive, io, loaded))
    return kExitFailed;
  std::filesystem::path target =
      options.output.empty()
          ? platform::pathFromUtf8(std::string(util::fileNamePart(options.archive)) + ".toc")
          : platform::pathFromUtf8(options.output);
  std::string text = mpak::libraryTocText(loaded.index.entries);
  if (options.force) {
    util::writeFileAtomically(target, text);
  } else if (!util::writeFileIfAbsent(target, text)) {
    throw UsageError{platform::utf8(target) + " exists; use --force to replace it"};
  }
  return reportDamage(options.archive, loaded.index, io) > 0 ? kExitWarnings : kExitOk;
}

}  // namespace

void registerToc(CLI::App& app, Runner& run) {
  auto options = std::make_shared<TocOptions>();
  CLI::App* toc = app.add_subcommand("toc", "Write an archive's library .toc table.");
  toc->add_option("ARCHIVE", options->archive, "the MPAK archive")->required();
  toc->add_option("-o,--output", options->output,
                  "the table to write (default: the archive's file name + .toc, in the "
                  "current folder)");
  toc->add_flag("--force", options->force, "replace an existing table");
  toc->callback([options, &run] { run = [options](Io& io) { return runToc(*options, io); }; });
}

}  // namespace cli
