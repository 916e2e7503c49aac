#include "app/commands/load.h"

#include <filesystem>
#include <stdexcept>

#include "mpak/file_list_item.h"
#include "mpak/library_toc.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/counted.h"
#include "util/cp1252.h"
#include "util/error_text.h"
#include "util/file_io.h"
#include "util/text.h"

namespace app {
namespace {

constexpr int kRepaintEvery = 100;

// The failure of a slot index beyond the catalogue, worded as the window always has.
[[noreturn]] void subscriptOutOfRange() {
  throw std::out_of_range("Subscript out of range");
}

// "<file> is not an MPAK archive: it starts with ..." for a file that neither starts with
// the MPAK tag nor reads as an archive; "" for anything else, a file that cannot be opened
// included (the load reports that as it always has).
std::string refusal(const std::string& path) {
  try {
    const platform::MappedFile file(platform::pathFromUtf8(path));
    const std::string notArchive = mpak::notAnMpakArchive(file.bytes());
    if (notArchive.empty())
      return {};
    const platform::MappingWatch mapping;
    try {
      mpak::readArchiveIndex(file.bytes());
    } catch (const mpak::FormatError&) {
      if (!mapping.changed())
        return std::string(util::fileNamePart(path)) + " is " + notArchive;
    }
  } catch (const std::exception&) {
  }
  return {};
}

void beginArchive(CommandContext& context, const std::string& path) {
  // A file that is no archive at all is refused before anything changes: the archive
  // loaded before, its list, its log and its catalogue stay.
  if (auto why = refusal(path); !why.empty()) {
    context.shell.appendLog(why);
    context.shell.ShowLog();
    context.shell.showTrap("ProcessLibrary error.", why);
    return;
  }
  auto& archive = context.session.archive;
  archive.path = path;
  archive.fileName = std::string(util::fileNamePart(path));
  context.window().setText("Label5", archive.fileName);
  ProcessLibrary(context);
}

// "Warning: ..." when entries of the archive point past the end of the file (an archive
// cut short or damaged): extracting them will fail. "" when every entry lies inside it.
std::string damageWarning(const mpak::ArchiveIndex& index) {
  std::size_t outside = 0;
  for (const auto& entry : index.entries)
    outside += !mpak::dataInBounds(index, entry);
  if (outside == 0)
    return {};
  return "Warning: " + util::counted(outside, "entry points", "entries point") +
         " past the end of the file (" + util::counted(index.fileSize, "byte", "bytes") +
         "); the archive is cut short or damaged and extracting " + (outside == 1 ? "it" : "them") +
         " will fail.";
}

// Step 1: an empty list, count, status line and pane, repainted.
void clearForLoad(CommandContext& context) {
  auto& window = context.window();
  window.clearList();
  context.shell.setItemCount(0);
  window.setText("Text1", "");
  window.setLogPane("", true);
  window.repaint("Form1");
  window.yield();
  context.session.archive.catalogue = Catalogue{};
  context.session.filter.on = false;
}

// The three block positions, straight into the pane and the log text.
void logPositions(CommandContext& context, const mpak::ArchiveHeader& header) {
  std::string pane;
  pane += "TOC = x" + util::hexUpper(header.tocPosition) + ", " +
          std::to_string(header.entryCount) + " entries\r\n";
  pane += "STOC = x" + util::hexUpper(header.stocPosition) + ", " +
          std::to_string(header.stocCount) + " entries\r\n";
  pane += "RAWD = x" + util::hexUpper(header.rawdPosition) + "\r\n\r\n";
  context.window().setLogPane(pane, true);
  context.state().logText = pane;
}

// The index, within what the list can show; a file truncated under the read says so.
mpak::ArchiveIndex readListableIndex(std::span<const std::uint8_t> file) {
  const platform::MappingWatch mapping;
  mpak::ArchiveIndex index;
  try {
    index = mpak::readArchiveIndex(file);
  } catch (const mpak::FormatError&) {
    mapping.check();
    throw;
  }
  mapping.check();
  if (index.entries.size() > kMaxListedEntries)
    subscriptOutOfRange();
  return index;
}

// "STOC Data:" and one line per STOC record.
void logStoc(Shell& shell, const mpak::ArchiveIndex& index) {
  if (index.stoc.empty())
    return;
  shell.appendLog("STOC Data:");
  for (const auto& record : index.stoc) {
    if (record.tocIndex >= kMaxListedEntries)
      subscriptOutOfRange();
    shell.appendLog(util::decimalPadded(record.tocIndex, 3) + " " +
                    util::cp1252ToUtf8(record.path));
  }
  shell.ShowLog();
}

// One item per entry, added in batches of 100 with the count shown after each batch.
void fillList(Shell& shell, const mpak::ArchiveIndex& index) {
  auto& window = shell.window();
  auto& state = shell.state();
  std::vector<std::string> batch;
  batch.reserve(kRepaintEvery);
  std::size_t listed = 0;
  auto flush = [&] {
    window.addItems(batch);
    listed += batch.size();
    batch.clear();
    shell.setItemCount(static_cast<int>(listed));
    window.setHorizontalExtent(state.longestItemLength * 90 / 15 + 130);
    if (listed % kRepaintEvery == 0) {
      window.repaint("Label2");
      window.repaint("List1");
    }
  };
  for (const auto& entry : index.entries) {
    std::string item = mpak::fileListItem(entry);
    // Paths are one byte per character, so the byte length is the length on screen.
    if (static_cast<std::int64_t>(item.size()) > state.longestItemLength)
      state.longestItemLength = static_cast<std::int32_t>(item.size());
    batch.push_back(util::cp1252ToUtf8(item));
    if (batch.size() == kRepaintEvery)
      flush();
  }
  if (!batch.empty())
    flush();
}

void loadArchive(CommandContext& context) {
  auto& shell = context.shell;
  auto& window = shell.window();
  auto& archive = context.session.archive;
  clearForLoad(context);
  platform::MappedFile file(platform::pathFromUtf8(archive.path));
  logPositions(context, mpak::readArchiveHeader(file.bytes()));

  BusyPointer busy(window);
  window.repaint("butSelectMPAKfile");
  window.yield();
  window.yield();
  mpak::ArchiveIndex index = readListableIndex(file.bytes());
  shell.setProgress(1.0);
  logStoc(shell, index);
  file = platform::MappedFile();
  window.yield();

  fillList(shell, index);
  util::writeFileIfAbsent(platform::pathFromUtf8(shell.state().folders.library) /
                              platform::pathFromUtf8(archive.fileName + ".toc"),
                          mpak::libraryTocText(index.entries));
  if (const auto warning = damageWarning(index); !warning.empty()) {
    shell.appendLog(warning);
    shell.ShowLog();
  }
  archive.catalogue.index = std::move(index);
  // A filter typed earlier applies to the new archive too.
  if (!context.session.filter.text.empty())
    filterList(context, context.session.filter.text);
}

}  // namespace

void butSelectMPAKfile_Click(CommandContext& context) {
  chooseFileThen(context, "SelectMPAKfile error.", "Select File [.mpak]",
                 ".mpak type files (*.mpak)|*.mpak",
                 [&](const std::string& path) { beginArchive(context, path); });
}

void openArchive(CommandContext& context, const std::string& path) {
  runTrapped(context.shell, "SelectMPAKfile error.", [&] {
    beginArchive(
        context,
        platform::utf8(std::filesystem::absolute(platform::pathFromUtf8(path)).lexically_normal()));
  });
}

void ProcessLibrary(CommandContext& context) {
  auto& window = context.window();
  runTrapped(
      context.shell, "ProcessLibrary error.", [&] { loadArchive(context); },
      [&] {
        window.yield();
        window.yield();
        context.forgetArchive();
        window.clearList();
        context.shell.setItemCount(0);
      });
}

}  // namespace app
