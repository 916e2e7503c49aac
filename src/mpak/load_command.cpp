#include "mpak/load_command.h"

#include <filesystem>
#include <stdexcept>

#include "mpak/file_list_item.h"
#include "mpak/library_toc.h"
#include "util/byte_reader.h"
#include "util/cp1252.h"
#include "util/file_io.h"
#include "util/mapped_file.h"
#include "util/text.h"

namespace mpak {
namespace {

constexpr int kRepaintEvery = 100;

// The failure of a slot index beyond the catalogue, worded as the window always has.
[[noreturn]] void subscriptOutOfRange() {
  throw std::out_of_range("Subscript out of range");
}

void beginArchive(app::Shell& shell, Catalogue& catalogue, const std::string& path) {
  auto& window = shell.window();
  window.setText("Label5", std::string(util::fileNamePart(path)));
  shell.state().currentArchivePath = path;
  ProcessLibrary(shell, catalogue);
}

}  // namespace

void butSelectMPAKfile_Click(app::Shell& shell, app::Settings& settings, Catalogue& catalogue) {
  app::runTrapped(shell, "SelectMPAKfile error.", [&] {
    auto chosen = app::ChooseInputFile(shell.window(), settings, shell.state(),
                                       "Select File [.mpak]", ".mpak type files (*.mpak)|*.mpak");
    if (!chosen)
      return;
    beginArchive(shell, catalogue, *chosen);
  });
}

void openArchive(app::Shell& shell, Catalogue& catalogue, const std::string& path) {
  app::runTrapped(shell, "SelectMPAKfile error.", [&] {
    beginArchive(shell, catalogue, std::filesystem::absolute(path).lexically_normal().string());
  });
}

void ProcessLibrary(app::Shell& shell, Catalogue& catalogue) {
  auto& window = shell.window();
  auto& state = shell.state();
  try {
    window.clearList();
    shell.setItemCount(0);
    window.setText("Text1", "");
    window.setLogPane("", true);
    window.repaint("Form1");
    window.yield();
    catalogue = Catalogue{};

    util::MappedFile file(state.currentArchivePath);
    util::ByteReader header(file.bytes());
    const auto tocBlockSize = header.u32(layout::kTocBlockSize, "header: TOC block size");
    const auto stocBlockSize = header.u32(layout::kStocBlockSize, "header: STOC block size");
    const auto entryCount = header.u16(layout::kEntryCount, "header: entry count");
    const auto stocCount = header.u16(layout::kStocCount, "header: STOC count");
    const std::uint64_t tocPosition = layout::kTocPosition;
    const std::uint64_t stocPosition = tocPosition + tocBlockSize;
    const std::uint64_t rawdPosition = stocPosition + stocBlockSize;

    std::string pane;
    pane += "TOC = x" + util::hexUpper(tocPosition) + ", " + std::to_string(entryCount) +
            " entries\r\n";
    pane += "STOC = x" + util::hexUpper(stocPosition) + ", " + std::to_string(stocCount) +
            " entries\r\n";
    pane += "RAWD = x" + util::hexUpper(rawdPosition) + "\r\n\r\n";
    window.setLogPane(pane, true);
    state.logText = pane;

    app::BusyPointer busy(window);
    window.repaint("butSelectMPAKfile");
    window.yield();
    window.yield();

    ArchiveIndex index = readArchiveIndex(file.bytes());
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
      std::string item = fileListItem(entry);
      // Paths are one byte per character, so the byte length is the length on screen.
      if (static_cast<std::int64_t>(item.size()) > state.longestItemLength)
        state.longestItemLength = static_cast<std::int32_t>(item.size());
      batch.push_back(util::cp1252ToUtf8(item));
      if (batch.size() == kRepaintEvery)
        flush();
    }
    if (!batch.empty())
      flush();

    const std::string tocText = libraryTocText(index.entries);
    const std::string label5 = window.text("Label5");
    util::writeFileIfAbsent(state.folders.library + "/" + label5 + ".toc", tocText);

    catalogue.index = std::move(index);
  } catch (...) {
    auto description = app::describeException(std::current_exception());
    catalogue = Catalogue{};
    window.yield();
    window.yield();
    window.setBusy(false);
    window.setText("Label5", "");
    window.clearList();
    shell.setItemCount(0);
    shell.showTrap("ProcessLibrary error.", description);
  }
}

}  // namespace mpak
