// tarnwick-cli diff: what changed in an extracted folder since it came out of its archive.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "extract/compare.h"
#include "platform/files.h"
#include "util/json_text.h"

namespace cli {

namespace {

struct DiffArgs {
  std::string archive, folder;
  bool json = false;
};

void jsonList(std::ostream& out, const char* key, const std::vector<std::string>& names) {
  out << "\"" << key << "\": [";
  for (std::size_t i = 0; i < names.size(); ++i)
    out << (i ? ", " : "") << util::jsonString(names[i]);
  out << "]";
}

int runDiff(const DiffArgs& args, Io& io) {
  OpenedArchive opened;
  if (!openArchive(args.archive, io, opened))
    return kExitFailed;
  const auto diff =
      extract::diffFolder(opened.file.bytes(), opened.index, platform::pathFromUtf8(args.folder));
  if (args.json) {
    io.out << "{";
    jsonList(io.out, "added", diff.added);
    io.out << ", ";
    jsonList(io.out, "removed", diff.removed);
    io.out << ", ";
    jsonList(io.out, "modified", diff.modified);
    io.out << ", ";
    jsonList(io.out, "unreadable", diff.unreadable);
    io.out << ", \"unchanged\": " << diff.unchanged << "}\n";
  } else {
    for (const auto& path : diff.modified)
      io.out << "modified  " << path << "\n";
    for (const auto& path : diff.added)
      io.out << "added     " << path << "\n";
    for (const auto& path : diff.removed)
      io.out << "removed   " << path << "\n";
    io.out << diff.changed() << " changed (" << diff.added.size() << " added, "
           << diff.removed.size() << " removed, " << diff.modified.size() << " modified), "
           << diff.unchanged << " unchanged\n";
  }
  for (const auto& what : diff.unreadable)
    io.err << "tarnwick-cli: " << args.archive << ": cannot compare " << what << "\n";
  return diff.changed() > 0 || !diff.unreadable.empty() ? kExitWarnings : kExitOk;
}

}  // namespace

void registerDiff(CLI::App& app, Runner& run) {
  auto args = std::make_shared<DiffArgs>();
  auto* sub = app.add_subcommand(
      "diff",
      "List the files added, removed and modified in a folder since it was extracted from an "
      "archive (exit 1 when there are any).");
  sub->add_option("ARCHIVE", args->archive, "the archive the folder was extracted from")
      ->required();
  sub->add_option("FOLDER", args->folder, "the extracted folder")
      ->required()
      ->check(CLI::ExistingDirectory);
  sub->add_flag("--json", args->json, "the lists and the unchanged count as JSON");
  sub->callback([&run, args] { run = [args](Io& io) { return runDiff(*args, io); }; });
}

}  // namespace cli
