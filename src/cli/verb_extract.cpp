// tarnwick-cli extract: entries of an archive written below a folder.
#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "cli/cli.h"
#include "extract/entry_glob.h"
#include "extract/extractor.h"
#include "mpak/archive.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/byte_reader.h"
#include "util/cp1252.h"
#include "util/text.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

struct ExtractArgs {
  std::string archive;
  std::vector<std::string> patterns;
  std::string output;
  bool overwrite = false;
  bool quiet = false;
};

// Progress on a terminal: one line, rewritten at most ten times a second.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool enabled) : m_err(err), m_enabled(enabled) {}
  ~ProgressLine() {
    if (m_shown)
      m_err << "\r\x1b[K" << std::flush;
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void show(std::size_t n, std::size_t total, const std::string& what) {
    if (!m_enabled)
      return;
    auto now = std::chrono::steady_clock::now();
    if (m_shown && n < total && now - m_last < std::chrono::milliseconds(100))
      return;
    m_last = now;
    m_shown = true;
    m_err << "\r\x1b[KExtracting " << n << "/" << total << " " << what << std::flush;
  }

 private:
  std::ostream& m_err;
  bool m_enabled;
  bool m_shown = false;
  std::chrono::steady_clock::time_point m_last{};
};

// The entries `patterns` choose, in archive order (every entry when there are none). A
// pattern that matches nothing is reported on io.err and sets `warnings`.
std::vector<std::size_t> selectEntries(const ExtractArgs& args, const mpak::ArchiveIndex& index,
                                       Io& io, bool& warnings) {
  if (args.patterns.empty())
    return extract::everyEntry(index);
  const auto& entries = index.entries;
  std::vector<std::size_t> selection;
  std::vector<extract::EntryGlob> globs(args.patterns.begin(), args.patterns.end());
  std::vector<bool> used(globs.size(), false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    bool chosen = false;
    for (std::size_t g = 0; g < globs.size(); ++g) {
      if (globs[g].matches(entries[i].path)) {
        used[g] = true;
        chosen = true;
      }
    }
    if (chosen)
      selection.push_back(i);
  }
  for (std::size_t g = 0; g < globs.size(); ++g) {
    if (!used[g]) {
      io.err << "tarnwick-cli: " << args.archive << ": no entry matches '" << globs[g].pattern()
             << "'\n";
      warnings = true;
    }
  }
  return selection;
}

// The folder the tree goes below, made when missing. Without -o the tree goes where the
// window would put it: a folder named after the archive file, here in the current folder.
// Throws UsageError when a file holds that name; false (reported) when it cannot be made.
bool prepareOutput(const ExtractArgs& args, Io& io, fs::path& root) {
  const bool defaultOutput = args.output.empty();
  root = defaultOutput ? platform::pathFromUtf8(args.archive).filename()
                       : platform::pathFromUtf8(args.output);
  const std::string rootShown = platform::utf8(root);
  std::error_code ec;
  if (fs::exists(root, ec) && !fs::is_directory(root, ec)) {
    if (defaultOutput)
      throw UsageError{rootShown + " is a file, so the entries cannot go into a folder of that " +
                       "name; choose the output folder with -o DIR"};
    throw UsageError{rootShown + " is not a folder; choose another output folder with -o DIR"};
  }
  fs::create_directories(root, ec);
  if (ec) {
    io.err << "tarnwick-cli: cannot create the folder " << rootShown << ": " << ec.message()
           << "\n";
    return false;
  }
  return true;
}

// One line on io.err for each entry not written as it is and each entry whose size differs
// from the table's.
void reportProblems(const ExtractArgs& args, const mpak::ArchiveIndex& index, const fs::path& root,
                    const extract::ExtractSummary& summary, Io& io) {
  const auto& entries = index.entries;
  for (const auto& problem : summary.problems) {
    const auto& entry = entries[problem.entryIndex];
    switch (problem.outcome) {
      case extract::EntryOutcome::Skipped:
        io.err << "tarnwick-cli: skipped "
               << platform::utf8(root / platform::pathFromUtf8(problem.relative))
               << ": the file exists (--overwrite replaces it)\n";
        break;
      case extract::EntryOutcome::Refused:
        io.err << "tarnwick-cli: " << args.archive << ": " << entryWhere(problem.entryIndex, entry)
               << ": refused, " << problem.reason << "\n";
        break;
      default:
        io.err << "tarnwick-cli: " << args.archive << ": " << entryWhere(problem.entryIndex, entry)
               << ": " << problem.reason << "\n";
        break;
    }
  }

  for (const auto& resized : summary.resized)
    io.err << "tarnwick-cli: " << args.archive
           << ": warning: " << entryWhere(resized.entryIndex, entries[resized.entryIndex])
           << " inflates to " << resized.size << " bytes, the table says "
           << entries[resized.entryIndex].unpackedSize << "; written whole\n";
}

// "Extracted 3 of 4 entries (1 skipped) to DIR".
void printSummary(const extract::ExtractSummary& summary, std::size_t selected,
                  const fs::path& root, Io& io) {
  io.out << "Extracted " << summary.written << " of " << selected << " entries";
  std::string notes;
  auto note = [&](std::size_t count, const char* what) {
    if (count == 0)
      return;
    notes += notes.empty() ? " (" : ", ";
    notes += std::to_string(count) + " " + what;
  };
  note(summary.skipped, "skipped");
  note(summary.failed, "failed");
  note(summary.refused, "refused");
  if (!notes.empty())
    notes += ")";
  io.out << notes << " to " << platform::utf8(root) << "\n";
}

int runExtract(const ExtractArgs& args, Io& io) {
  OpenedArchive opened;
  if (!openArchive(args.archive, io, opened))
    return kExitFailed;
  bool warnings = false;
  const std::vector<std::size_t> selection = selectEntries(args, opened.index, io, warnings);
  fs::path root;
  if (!prepareOutput(args, io, root))
    return kExitFailed;

  extract::ExtractOptions options;
  options.overwrite = args.overwrite;
  extract::ExtractSummary summary;
  {
    ProgressLine progress(io.err, io.errIsTerminal && !args.quiet);
    summary =
        extract::extractEntries(opened.file.bytes(), opened.index, selection, root, options,
                                [&](const extract::EntryReport& what, std::size_t n,
                                    std::size_t total) { progress.show(n, total, what.relative); });
  }

  reportProblems(args, opened.index, root, summary, io);
  if (!args.quiet)
    printSummary(summary, selection.size(), root, io);
  return warnings || !summary.problems.empty() || !summary.resized.empty() ? kExitWarnings
                                                                           : kExitOk;
}

}  // namespace

void registerExtract(CLI::App& app, Runner& run) {
  auto args = std::make_shared<ExtractArgs>();
  auto* sub = app.add_subcommand(
      "extract",
      "Write entries of an archive below a folder, under their paths, inflating the "
      "compressed ones.");
  sub->add_option("ARCHIVE", args->archive, "the MPAK archive")->required();
  sub->add_option("PATTERN", args->patterns,
                  "entries to extract, by path: \"*\" and \"?\" within a name, \"**\" across "
                  "folders, \"/\" or \"\\\" between names, letter case ignored; all when none");
  sub->add_option("-o,--output", args->output,
                  "folder to extract into (default: a folder named after the archive file, "
                  "in the current folder)");
  sub->add_flag("--overwrite", args->overwrite, "replace files that exist already");
  sub->add_flag("-q,--quiet", args->quiet, "print nothing but errors");
  sub->callback([&run, args] { run = [args](Io& io) { return runExtract(*args, io); }; });
}

}  // namespace cli
