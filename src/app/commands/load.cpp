#include "app/commands/load.h"

#include <filesystem>
#include <stdexcept>

#include "mpak/file_list_item.h"
#include "mpak/library_toc.h"
#include "util/cp1252.h"
#include "util/error_text.h"
#include "util/file_io.h"
#include "util/mapped_file.h"
#include "util/text.h"

namespace app {
namespace {

constexpr int kRepaintEvery = 100;

// The failure of a slot index beyond the catalogue, worded as the window always has.
[[noreturn]] void subscriptOutOfRange() {
  throw std::out_of_range("Subscript out of range");
}

void beginArchive(CommandContext& context, const std::string& path) {
  auto& archive = context.session.archive;
  archive.path = path;
  archive.fileName = std::string(util::fileNamePart(path));
  context.window().setText("Label5", archive.fileName);
  ProcessLibrary(context);
}

}  // namespace

void butSelectMPAKfile_Click(CommandContext& context) {
  chooseFileThen(context, "SelectMPAKfile error.", "Select File [.mpak]",
                 ".mpak type files (*.mpak)|*.mpak",
                 [&](const std::string& path) { beginArchive(context, path); });
}

void openArchive(CommandContext& context, const std::string& path) {
  runTrapped(context.shell, "SelectMPAKfile error.", [&] {
    beginArchive(context, std::filesystem::absolute(path).lexically_normal().string());
  });
}

void clearView(CommandContext& context, bool caretAtEnd) {
  auto& window = context.window();
  window.clearList();
  context.shell.setItemCount(0);
  window.setText("Text1", "");
  forgetArchive(context);
  window.setLogPane("", caretAtEnd);
}

void forgetArchive(CommandContext& context) {
  context.session.archive = LoadedArchive{};
  context.window().setText("Label5", "");
}

void ProcessLibrary(CommandContext& context) {
  auto& shell = context.shell;
  auto& window = shell.window();
  auto& state = shell.state();
  auto& archive = context.session.archive;
  auto& catalogue = archive.catalogue;
  try {
    window.clearList();
    shell.setItemCount(0);
    window.setText("Text1", "");
    window.setLogPane("", true);
    window.repaint("Form1");
    window.yield();
    catalogue = mpak::Catalogue{};

    util::MappedFile file(archive.path);
    const mpak::ArchiveHeader header = mpak::readArchiveHeader(file.bytes());
    std::string pane;
    pane += "TOC = x" + util::hexUpper(header.tocPosition) + ", " +
            std::to_string(header.entryCount) + " entries\r\n";
    pane += "STOC = x" + util::hexUpper(header.stocPosition) + ", " +
            std::to_string(header.stocCount) + " entries\r\n";
    pane += "RAWD = x" + util::hexUpper(header.rawdPosition) + "\r\n\r\n";
    window.setLogPane(pane, true);
    state.logText = pane;

    BusyPointer busy(window);
    window.repaint("butSelectMPAKfile");
    window.yield();
    window.yield();

    const util::MappingWatch mapping;
    mpak::ArchiveIndex index;
    try {
      index = mpak::readArchiveIndex(file.bytes());
    } catch (const mpak::FormatError&) {
      mapping.check();
      throw;
    }
    mapping.check();
    if (index.entries.size() > kMaxListedEntries)
      subscriptOutOfRange();
    shell.setProgress(1.0);

    if (!index.stoc.empty()) {
      shell.appendLog("STOC Data:");
      for (const auto& record : index.stoc) {
        if (record.tocIndex >= kMaxListedEntries)
          subscriptOutOfRange();
        shell.appendLog(util::decimalPadded(record.tocIndex, 3) + " " +
                        util::cp1252ToUtf8(record.path));
      }
      shell.ShowLog();
    }
    file = util::MappedFile();
    window.yield();

    // The list is filled in batches of 100 with the count shown after each batch.
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

    const std::string tocText = mpak::libraryTocText(index.entries);
    util::writeFileIfAbsent(state.folders.library + "/" + archive.fileName + ".toc", tocText);

    catalogue.index = std::move(index);
  } catch (...) {
    auto description = util::describeException(std::current_exception());
    window.yield();
    window.yield();
    window.setBusy(false);
    forgetArchive(context);
    window.clearList();
    shell.setItemCount(0);
    shell.showTrap("ProcessLibrary error.", description);
  }
}

}  // namespace app
