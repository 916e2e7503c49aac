#include "app/commands/extract.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_set>

#include "app/commands/load.h"
#include "extract/compare.h"
#include "extract/extractor.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/counted.h"
#include "util/cp1252.h"
#include "util/file_io.h"
#include "util/text.h"

namespace app {

namespace {

// Makes the archive's folder below ExtractedFiles; one that cannot be made fails the command
// with the reason (a read-only ExtractedFiles is "Permission denied", not what opening the
// missing folder would say).
void makeFolder(const std::filesystem::path& root) {
  std::error_code ec;
  std::filesystem::create_directory(root, ec);
  if (ec)
    platform::throwFileError(ec.value(), "cannot create the folder", root);
}

std::string folderAndFile(std::string_view entryPath) {
  std::string out(util::folderPart(entryPath));
  out += '\\';
  out += util::fileNamePart(entryPath);
  return out;
}

// How many changed files the question names before "... and N more".
constexpr std::size_t kNamedChangedFiles = 5;

// Before files the user changed since extraction are replaced, the one question: keep
// them (the default), replace them, or cancel. Returns the entries to keep, or nothing
// when the user cancels. Asks nothing when no file to be replaced was changed.
std::optional<std::unordered_set<std::size_t>> askAboutChangedFiles(
    CommandContext& context, std::span<const std::uint8_t> file,
    const std::vector<std::size_t>& selection, const std::filesystem::path& root) {
  const auto& index = context.session.archive.catalogue.index;
  std::vector<std::size_t> changed;
  {
    BusyPointer busy(context.window());
    changed = extract::changedFiles(file, index, selection, root);
  }
  if (changed.empty())
    return std::unordered_set<std::size_t>{};
  std::string text = util::counted(changed.size(), "file", "files") +
                     " you changed since extraction would be replaced:\r\n\r\n";
  for (std::size_t k = 0; k < changed.size() && k < kNamedChangedFiles; ++k)
    text += util::cp1252ToUtf8(index.entries[changed[k]].path) + "\r\n";
  if (changed.size() > kNamedChangedFiles)
    text += "... and " + std::to_string(changed.size() - kNamedChangedFiles) + " more\r\n";
  text += "\r\nKeep your changes?";
  switch (
      context.window().ask(Icon::Question, text, {"Keep my changes", "Replace them", "Cancel"})) {
    case 0:
      return std::unordered_set<std::size_t>(changed.begin(), changed.end());
    case 1:
      return std::unordered_set<std::size_t>{};
    default:
      return std::nullopt;
  }
}

// The checks before an extraction: an archive loaded (else the chooser opens) and items
// selected. Returns the selection (the catalogue entries of the selected items), read once, or
// nothing once it has said what is missing.
std::optional<std::vector<std::size_t>> checkedSelection(CommandContext& context) {
  auto& window = context.window();
  if (!context.session.archive.loaded()) {
    window.messageBox(Icon::Information,
                      "No MPAK file loaded.\r\n\r\nFirst select an .MPAK file you want to "
                      "extract.");
    butSelectMPAKfile_Click(context);
    return std::nullopt;
  }
  if (window.selectedCount() == 0) {
    window.messageBox(Icon::Information, "No files selected.");
    return std::nullopt;
  }
  std::vector<std::size_t> selection;
  for (int i = 0, count = window.itemCount(); i < count; ++i)
    if (window.isSelected(i))
      selection.push_back(entryOfItem(context.session, static_cast<std::size_t>(i)));
  return selection;
}

// The log and status lines of one extracted entry; gathers what the decompression pass
// and the closing lines report.
class EntryLog {
 public:
  explicit EntryLog(CommandContext& context) : m_context(context) {}

  void operator()(const extract::EntryReport& what, std::size_t n, std::size_t total) {
    auto& shell = m_context.shell;
    const auto& archive = m_context.session.archive;
    const auto& entry = archive.catalogue.entries()[what.entryIndex];
    const auto shown = util::cp1252ToUtf8(entry.path);
    auto line = "Extracting " + std::to_string(n) + "\\" + std::to_string(total) + ": " +
                folderAndFile(shown);
    shell.setStatus(line);
    shell.appendLog(line);
    if (what.outcome == extract::EntryOutcome::Refused)
      shell.appendLog("Refused (unsafe path): " + what.reason + ".");
    else if (what.outcome == extract::EntryOutcome::Failed && !what.inflated)
      shell.appendLog("Failed: " + what.reason + ".");
    else if (what.outcome == extract::EntryOutcome::Skipped) {
      shell.appendLog("Kept: changed since extraction.");
      ++kept;
    }
    if (what.resized)
      shell.appendLog("Warning: " + shown + " inflates to " + std::to_string(what.size) +
                      " bytes, the table says " + std::to_string(entry.unpackedSize) + ".");
    if (what.inflated)
      staged.push_back({flatStagingName(archive.fileName, shown),
                        what.outcome == extract::EntryOutcome::Written, what.reason});
  }

  std::vector<StagedEntry> staged;
  std::size_t kept = 0;

 private:
  CommandContext& m_context;
};

// The decompression pass's lines and the closing lines.
void logSummary(Shell& shell, const EntryLog& log, const extract::ExtractSummary& summary) {
  const std::size_t unzipped = logUnzipLines(shell, log.staged);
  shell.setStatus("");
  shell.appendLog(std::to_string(unzipped) + " files unzipped.");
  shell.appendLog(std::to_string(summary.written) + " files extracted.");
  if (log.kept > 0)
    shell.appendLog(std::to_string(log.kept) + " files kept (changed since extraction).");
  if (!summary.resized.empty())
    shell.appendLog(std::to_string(summary.resized.size()) +
                    " files inflated to another size than the table says.");
  if (summary.refused > 0)
    shell.appendLog(std::to_string(summary.refused) + " entries refused (unsafe path).");
  if (summary.failed > 0)
    shell.appendLog(std::to_string(summary.failed) + " entries failed.");
  shell.appendLog("Extraction complete.");
  shell.ShowLog();
}

// Extracts `selection` below ExtractedFiles/<archive file name> after the question about
// changed files; returns how many entries failed.
std::size_t extractSelection(CommandContext& context, const std::vector<std::size_t>& selection) {
  auto& shell = context.shell;
  auto& window = shell.window();
  const auto& archive = context.session.archive;
  const auto root = platform::pathFromUtf8(context.state().folders.extractedFiles) /
                    platform::pathFromUtf8(archive.fileName);
  platform::MappedFile file(platform::pathFromUtf8(archive.path));
  extract::ExtractOptions options;
  auto keep = askAboutChangedFiles(context, file.bytes(), selection, root);
  if (!keep)
    return 0;
  options.keep = std::move(*keep);

  shell.setStatus("");
  context.state().logText.clear();
  makeFolder(root);
  window.yield();
  BusyPointer busy(window);
  EntryLog log(context);
  const auto summary = extract::extractEntries(file.bytes(), archive.catalogue.index, selection,
                                               root, options, std::ref(log), shell.progress());
  window.yield();
  window.yield();
  logSummary(shell, log, summary);
  return summary.failed;
}

}  // namespace

std::string flatStagingName(std::string_view archiveFileName, std::string_view entryPath) {
  std::string name(archiveFileName);
  name += '+';
  auto folder = util::folderPart(entryPath);
  if (!folder.empty()) {
    name += util::replaceAll(util::replaceAll(folder, '\\', '+'), '/', '+');
    name += '+';
  }
  name += util::fileNamePart(entryPath);
  name += ".gz";
  return name;
}

std::size_t logUnzipLines(Shell& shell, const std::vector<StagedEntry>& staged) {
  std::size_t unzipped = 0;
  const auto total = staged.size();
  for (std::size_t k = 0; k < total; ++k) {
    auto line = "Unzipping " + std::to_string(k + 1) + "\\" + std::to_string(total) + ": " +
                staged[k].stagingName;
    shell.setStatus(line);
    shell.appendLog(line);
    if (staged[k].unzipped)
      ++unzipped;
    else
      shell.appendLog("Failed: " + staged[k].reason + ".");
    shell.setProgress(static_cast<double>(k + 1) / static_cast<double>(total));
    shell.window().yield();
  }
  return unzipped;
}

void butMassExtract_Click(CommandContext& context) {
  auto& window = context.window();
  std::size_t failed = 0;
  const bool finished = runTrapped(context.shell, "Extract error.", [&] {
    if (auto selection = checkedSelection(context))
      failed = extractSelection(context, *selection);
  });
  if (finished && failed > 0)
    window.messageBox(Icon::Exclamation,
                      std::to_string(failed) +
                          " entries could not be extracted.\r\n\r\nThe log lists each one with "
                          "the reason.");
}

void butSelectAll_Click(CommandContext& context) {
  if (context.window().itemCount() > 0)
    context.window().selectAll();
}

}  // namespace app
