#include "app/commands/pack.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "extract/compare.h"
#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/error_text.h"
#include "util/file_io.h"
#include "util/text.h"

namespace app {

namespace {

namespace fs = std::filesystem;

// "<heading>: <count><unit>", then up to kMaxListedMismatches names indented.
void logList(Shell& shell, const std::string& heading, const std::vector<std::string>& names,
             const std::string& unit = "") {
  shell.appendLog(heading + ": " + std::to_string(names.size()) + unit);
  for (std::size_t i = 0; i < names.size() && i < kMaxListedMismatches; ++i)
    shell.appendLog("  " + names[i]);
  if (names.size() > kMaxListedMismatches)
    shell.appendLog("  ... and " + std::to_string(names.size() - kMaxListedMismatches) + " more");
}

// "modified  a\b.txt", "added  c.txt", "removed  d.txt": the changes since extraction as
// the log lists them.
std::vector<std::string> changeLines(const std::vector<std::string>& modified,
                                     const std::vector<std::string>& added,
                                     const std::vector<std::string>& removed) {
  std::vector<std::string> lines;
  for (const auto& [what, paths] : {std::pair{"modified  ", &modified},
                                    std::pair{"added  ", &added}, std::pair{"removed  ", &removed}})
    for (const auto& path : *paths)
      lines.push_back(what + util::replaceAll(path, '/', '\\'));
  return lines;
}

// What changed in the loaded archive's folder since it was extracted, read from that
// archive (a pack against it says so itself). Nothing when it cannot be read any more.
std::optional<std::vector<std::string>> changedSinceExtraction(CommandContext& context,
                                                               const std::filesystem::path& root) {
  try {
    const platform::MappedFile file(platform::pathFromUtf8(context.session.archive.path));
    const auto index = mpak::readArchiveIndex(file.bytes());
    const auto diff = extract::diffFolder(file.bytes(), index, root);
    return changeLines(diff.modified, diff.added, diff.removed);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The folder to pack: the one chosen in the browser (a bare name lies in ExtractedFiles).
fs::path packedFolder(const CommandContext& context) {
  const auto& session = context.session;
  const fs::path extracted = platform::pathFromUtf8(context.shell.state().folders.extractedFiles);
  return (extracted / platform::pathFromUtf8(session.packFolderPath)).lexically_normal();
}

// True when `root` is not ExtractedFiles/<the name chosen>, however spelled; folders that
// do not exist are compared by their normalised paths.
bool packedElsewhere(const CommandContext& context, const fs::path& root) {
  const auto designed = platform::pathFromUtf8(context.shell.state().folders.extractedFiles) /
                        platform::pathFromUtf8(util::trimSpaces(context.session.packFolder()));
  std::error_code ec;
  const bool same = fs::equivalent(root, designed, ec);
  return ec ? root.lexically_normal() != designed.lexically_normal() : !same;
}

struct Counters {
  std::size_t zipped = 0, packed = 0, stoc = 0;
  bool previousKept = false;  // the archive packed before is now NAME.previous
};

// NewMPAKs keeps one build back: the archive a pack replaces becomes NAME.previous.
fs::path previousBuild(const fs::path& target) {
  return target.parent_path() /
         platform::pathFromUtf8(platform::utf8(target.filename()) + ".previous");
}

// When the folder being packed is the loaded archive's, that archive as the base of the
// pack (matched to the plan); nothing otherwise, or when it cannot be read (said in the log).
std::unique_ptr<pack::BaseArchive> loadedBase(CommandContext& context, pack::Plan& plan) {
  const auto& archive = context.session.archive;
  if (!archive.loaded() || archive.fileName != context.session.packFolder())
    return nullptr;
  try {
    auto base = std::make_unique<pack::BaseArchive>(platform::pathFromUtf8(archive.path));
    pack::matchBase(plan, *base);
    if (const auto differs = pack::baseLayoutDiffers(base->index()); !differs.empty())
      context.shell.appendLog(
          "The loaded archive comes back entry for entry, not byte for "
          "byte: " +
          differs);
    return base;
  } catch (const std::exception&) {
    context.shell.appendLog(
        "The loaded archive cannot be read, every file is compressed "
        "again: " +
        util::describeException(std::current_exception()));
    return nullptr;
  }
}

// The lines of a pack against the loaded archive: the counts, and each damaged entry.
void logRepack(Shell& shell, const pack::RepackReport& report) {
  shell.appendLog(report.summary());
  for (const auto& damaged : report.damaged)
    shell.appendLog("Damaged entry compressed again from the file: " + damaged);
}

// What the folder and the table say to each other, right before the counters whether the
// pack succeeds or not: the changes since extraction when known, the table lines and the
// files that did not meet, the items left out.
void reconcile(Shell& shell, const std::optional<std::vector<std::string>>& changes,
               const pack::Plan& plan, const pack::FolderScan& scan) {
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
  pack::Plan plan = pack::makePlan(scan, &table, options);
  for (std::size_t n = 0; n < plan.walkOrder.size(); ++n) {
    const auto& entry = plan.entries[plan.walkOrder[n]];
    auto line = (entry.compress ? "Zipping " : "Copying ") + std::to_string(n + 1) + ": " +
                pack::stagedName(entry);
    shell.setStatus(line);
    shell.appendLog(line);
    counters.zipped += entry.compress;
  }
  window.yield();
  const auto base = loadedBase(context, plan);
  const auto report = [&](std::size_t n, std::size_t total, const pack::PlannedEntry& entry) {
    auto line = "Packing " + std::to_string(n) + "/" + std::to_string(total) + ": " +
                pack::stagedName(entry);
    shell.setStatus(line);
    shell.appendLog(line);
    counters.packed = n;
    counters.stoc += entry.inStoc;
  };
  pack::PackResult result;
  try {
    result = pack::packArchive(root, plan, target, options, report, {}, previousBuild(target),
                               shell.progress());
  } catch (...) {
    // The loaded archive, as it still is, tells what changed.
    reconcile(shell, base ? changedSinceExtraction(context, root) : std::nullopt, plan, scan);
    throw;
  }
  counters.previousKept = result.previousKept;
  if (!base)
    return reconcile(shell, std::nullopt, plan, scan);
  const auto repack = pack::repackReport(plan, result);
  reconcile(shell, changeLines(repack.modified, repack.added, repack.removed), plan, scan);
  logRepack(shell, repack);
}

// The checks before a pack: a folder chosen (else the browser opens) that is there.
// Returns the folder to pack, or nothing once it has said what is missing.
std::optional<fs::path> checkedFolder(CommandContext& context) {
  auto& window = context.window();
  const std::string selected = context.session.packFolder();
  if (selected.empty()) {
    window.messageBox(Icon::Information,
                      "No MPAK folder selected.\r\n\r\nFirst select the extracted MPAK folder you "
                      "want to repack.");
    butSelectMPAKFolder_Click(context);
    return std::nullopt;
  }
  const auto root = packedFolder(context);
  std::error_code ec;
  if (fs::is_directory(root, ec))
    return root;
  const std::string name(util::trimSpaces(selected));
  window.messageBox(Icon::Information,
                    packedElsewhere(context, root)
                        ? platform::utf8(root) + " folder does not exist."
                        : "\\" + name + " folder does not exist in \\ExtractedFiles folder.");
  return std::nullopt;
}

// Starts the log and reads the library table of the folder's name. Nothing when there is
// no table (said in a box) or it cannot be read (the "PackMPAK error." trap).
std::optional<mpak::LibraryTable> readTable(CommandContext& context, const fs::path& root) {
  auto& shell = context.shell;
  auto& window = shell.window();
  std::optional<mpak::LibraryTable> table;
  auto read = [&] {
    BusyPointer busy(window);
    shell.setStatus("");
    window.setLogPane("", true);
    context.state().logText.clear();
    if (packedElsewhere(context, root))
      shell.appendLog("Folder packed: " + platform::utf8(root));
    const auto library = platform::pathFromUtf8(context.state().folders.library) /
                         platform::pathFromUtf8(context.session.packFolder() + ".toc");
    std::error_code ec;
    if (!fs::exists(library, ec)) {
      window.setBusy(false);
      window.messageBox(Icon::Exclamation,
                        "No library .toc file found for this .MPAK.\r\n\r\nOpen original .MPAK "
                        "file again to recreate.");
      return;
    }
    table = mpak::LibraryTable::parse(util::readWholeFile(library));
  };
  runTrapped(shell, "PackMPAK error.", read, [&] {
    shell.appendLog("Pack operation aborted due to error.");
    shell.ShowLog();
  });
  return table;
}

// The counter lines and the closing line of a pack, whether it succeeded or not.
void logCounters(Shell& shell, const Counters& counters, const std::string& selected, bool packed) {
  shell.setStatus("");
  shell.appendLog(std::to_string(counters.zipped) + " files zipped.");
  shell.appendLog(std::to_string(counters.packed) + " files packed.");
  shell.appendLog("TOC entries processed: " + std::to_string(counters.packed));
  shell.appendLog("STOC entries processed: " + std::to_string(counters.stoc));
  if (counters.stoc == 0)
    shell.appendLog("STOC table was not created.");
  if (counters.previousKept)
    shell.appendLog("The archive packed before is kept as NewMPAKs\\" + selected + ".previous.");
  // A cancelled pack ends with the line that says so (Shell::endCommand).
  if (packed || !shell.state().stopped)
    shell.appendLog(packed ? ".MPAK pack complete." : "Pack operation aborted due to error.");
  shell.ShowLog();
}

}  // namespace

void butSelectMPAKFolder_Click(CommandContext& context) {
  auto chosen = context.window().browseFolder("Select .mpak folder from \\ExtractedFiles");
  if (!chosen || chosen->empty())
    return;
  std::string_view path = *chosen;
  if (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
    path.remove_suffix(1);
  context.session.packFolderPath = std::string(path);
  context.window().setText("Label13", context.session.packFolder());
}

void butPackMPAK_Click(CommandContext& context) {
  const auto root = checkedFolder(context);
  if (!root)
    return;
  const auto table = readTable(context, *root);
  if (!table)
    return;
  auto& state = context.state();
  const std::string selected = context.session.packFolder();
  Counters counters;
  bool packed = false;
  {
    BusyPointer busy(context.window());
    packed = runTrapped(context.shell, "PackIt error.", [&] {
      PackIt(context, *root, *table,
             platform::pathFromUtf8(state.folders.newMpaks) / platform::pathFromUtf8(selected),
             counters);
    });
  }
  logCounters(context.shell, counters, selected, packed);
}

}  // namespace app
