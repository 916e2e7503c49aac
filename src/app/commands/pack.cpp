#include "app/commands/pack.h"

#include <filesystem>
#include <optional>

#include "extract/compare.h"
#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "util/error_text.h"
#include "util/file_io.h"
#include "util/mapped_file.h"
#include "util/text.h"

namespace app {

namespace {

namespace fs = std::filesystem;

std::string trimBlanks(std::string_view text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos)
    return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// "<heading>: <count><unit>", then up to kMaxListedMismatches names indented.
void logList(Shell& shell, const std::string& heading, const std::vector<std::string>& names,
             const std::string& unit = "") {
  shell.appendLog(heading + ": " + std::to_string(names.size()) + unit);
  for (std::size_t i = 0; i < names.size() && i < kMaxListedMismatches; ++i)
    shell.appendLog("  " + names[i]);
  if (names.size() > kMaxListedMismatches)
    shell.appendLog("  ... and " + std::to_string(names.size() - kMaxListedMismatches) + " more");
}

// When the folder being packed is the loaded archive's, what changed in it since it was
// extracted: "modified  a\b.txt", "added  c.txt", "removed  d.txt". Nothing when another
// archive is loaded or the loaded one cannot be read any more.
std::optional<std::vector<std::string>> changedSinceExtraction(CommandContext& context,
                                                               const std::filesystem::path& root) {
  const auto& archive = context.session.archive;
  if (!archive.loaded() || archive.fileName != context.session.packFolder)
    return std::nullopt;
  try {
    const util::MappedFile file(archive.path);
    const auto index = mpak::readArchiveIndex(file.bytes());
    const auto diff = extract::diffFolder(file.bytes(), index, root);
    std::vector<std::string> lines;
    for (const auto& [what, paths] :
         {std::pair{"modified  ", &diff.modified}, std::pair{"added  ", &diff.added},
          std::pair{"removed  ", &diff.removed}})
      for (const auto& path : *paths)
        lines.push_back(what + util::replaceAll(path, '/', '\\'));
    return lines;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The folder to pack: the one chosen in the browser (a bare name lies in ExtractedFiles).
fs::path packedFolder(const CommandContext& context) {
  const auto& session = context.session;
  const fs::path extracted = context.shell.state().folders.extractedFiles;
  if (session.packFolderPath.empty())
    return extracted / trimBlanks(session.packFolder);
  return (extracted / session.packFolderPath).lexically_normal();
}

// True when `a` and `b` are one folder, however spelled; folders that do not exist are
// compared by their normalised paths.
bool sameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return ec ? a.lexically_normal() == b.lexically_normal() : same;
}

struct Counters {
  std::size_t zipped = 0, packed = 0, stoc = 0;
  bool previousKept = false;  // the archive packed before is now NAME.previous
};

// NewMPAKs keeps one build back: the archive a pack replaces becomes NAME.previous.
fs::path previousBuild(const fs::path& target) {
  return target.parent_path() / (target.filename().string() + ".previous");
}

// Plans and writes the archive; the counters follow the work so that a failure reports
// how far it came. Throws what stopped it.
void PackIt(CommandContext& context, const std::filesystem::path& root,
            const mpak::LibraryTable& table, const std::filesystem::path& target,
            Counters& counters) {
  auto& shell = context.shell;
  auto& window = shell.window();
  pack::PackOptions options;
  options.compressAll = window.isChecked("chkCompressAllFiles");
  options.allStoc = window.isChecked("chkAddAllFilesToSTOC");

  const pack::FolderScan scan = pack::scanFolder(root);
  const pack::Plan plan = pack::makePlan(scan, &table, options);
  for (std::size_t n = 0; n < plan.walkOrder.size(); ++n) {
    const auto& entry = plan.entries[plan.walkOrder[n]];
    auto line = (entry.compress ? "Zipping " : "Copying ") + std::to_string(n + 1) + ": " +
                pack::stagedName(entry);
    shell.setStatus(line);
    shell.appendLog(line);
    counters.zipped += entry.compress;
  }
  window.yield();
  const auto changes = changedSinceExtraction(context, root);

  // What the folder and the table say to each other comes right before the counters,
  // whether the pack succeeds or not.
  auto reconcile = [&] {
    if (changes)
      logList(shell, "Changed since extraction", *changes, " files");
    logList(shell, "Table lines that name no file", plan.unusedLines);
    logList(shell, "Files no table line names (packed compressed, 1 copy, in the STOC)",
            plan.unnamedFiles);
    std::vector<std::string> skipped;
    for (const auto& item : scan.skipped)
      skipped.push_back(util::replaceAll(item.relative, '/', '\\') + " (" + item.why + ")");
    if (!skipped.empty())
      logList(shell, "Items not packed", skipped);
  };
  const auto report = [&](std::size_t n, std::size_t total, const pack::PlannedEntry& entry) {
    auto line = "Packing " + std::to_string(n) + "/" + std::to_string(total) + ": " +
                pack::stagedName(entry);
    shell.setStatus(line);
    shell.appendLog(line);
    shell.setProgress(static_cast<double>(n) / static_cast<double>(total));
    counters.packed = n;
    counters.stoc += entry.inStoc;
    window.yield();
  };
  try {
    counters.previousKept =
        pack::packArchive(root, plan, target, options, report, {}, previousBuild(target))
            .previousKept;
  } catch (...) {
    reconcile();
    throw;
  }
  reconcile();
}

}  // namespace

void butSelectMPAKFolder_Click(CommandContext& context) {
  auto chosen = context.window().browseFolder("Select .mpak folder from \\ExtractedFiles");
  if (!chosen || chosen->empty())
    return;
  std::string_view path = *chosen;
  if (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
    path.remove_suffix(1);
  context.session.packFolder = std::string(util::fileNamePart(path));
  context.session.packFolderPath = std::string(path);
  context.window().setText("Label13", context.session.packFolder);
}

void butPackMPAK_Click(CommandContext& context) {
  auto& shell = context.shell;
  auto& window = shell.window();
  auto& state = shell.state();
  const std::string selected = context.session.packFolder;
  if (selected.empty()) {
    window.messageBox(Icon::Information,
                      "No MPAK folder selected.\r\n\r\nFirst select the extracted MPAK folder you "
                      "want to repack.");
    butSelectMPAKFolder_Click(context);
    return;
  }
  const std::string name = trimBlanks(selected);
  // The folder chosen is packed, wherever it lies; its name picks the table and the archive.
  const auto root = packedFolder(context);
  const bool elsewhere = !sameFolder(root, fs::path(state.folders.extractedFiles) / name);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    window.messageBox(Icon::Information,
                      elsewhere
                          ? root.string() + " folder does not exist."
                          : "\\" + name + " folder does not exist in \\ExtractedFiles folder.");
    return;
  }

  mpak::LibraryTable table;
  bool ready = false;
  try {
    BusyPointer busy(window);
    shell.setStatus("");
    window.setLogPane("", true);
    state.logText.clear();
    if (elsewhere)
      shell.appendLog("Folder packed: " + root.string());
    const std::filesystem::path library =
        std::filesystem::path(state.folders.library) / (selected + ".toc");
    if (!std::filesystem::exists(library, ec)) {
      window.setBusy(false);
      window.messageBox(Icon::Exclamation,
                        "No library .toc file found for this .MPAK.\r\n\r\nOpen original .MPAK "
                        "file again to recreate.");
      return;
    }
    table = mpak::LibraryTable::parse(util::readWholeFile(library));
    ready = true;
  } catch (...) {
    window.setBusy(false);
    shell.appendLog("Pack operation aborted due to error.");
    shell.ShowLog();
    shell.showTrap("PackMPAK error.", util::describeException(std::current_exception()));
  }
  if (!ready)
    return;

  Counters counters;
  bool packed = false;
  {
    BusyPointer busy(window);
    packed = runTrapped(shell, "PackIt error.", [&] {
      PackIt(context, root, table, std::filesystem::path(state.folders.newMpaks) / selected,
             counters);
    });
  }
  shell.setStatus("");
  shell.appendLog(std::to_string(counters.zipped) + " files zipped.");
  shell.appendLog(std::to_string(counters.packed) + " files packed.");
  shell.appendLog("TOC entries processed: " + std::to_string(counters.packed));
  shell.appendLog("STOC entries processed: " + std::to_string(counters.stoc));
  if (counters.stoc == 0)
    shell.appendLog("STOC table was not created.");
  if (counters.previousKept)
    shell.appendLog("The archive packed before is kept as NewMPAKs\\" + selected + ".previous.");
  shell.appendLog(packed ? ".MPAK pack complete." : "Pack operation aborted due to error.");
  shell.ShowLog();
}

}  // namespace app
