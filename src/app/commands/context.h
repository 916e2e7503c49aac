// What every window command works with: the shell (window, log, status, traps), the
// settings store, and the state the commands share. The window owns all three for its
// lifetime; labels show the state, nothing is read back from a label.
#pragma once

#include <string>

#include "app/commands/filter.h"
#include "app/shell.h"
#include "mpak/archive.h"
#include "util/text.h"

namespace app {

// The file list shows at most this many entries; one more fails the load.
inline constexpr std::size_t kMaxListedEntries = 10001;

// The index of the loaded archive (block positions, counts, entries in TOC order, STOC
// records). Item i of the file list is entry i.
struct Catalogue {
  mpak::ArchiveIndex index;
  const std::vector<mpak::ArchiveEntry>& entries() const { return index.entries; }
};

// The archive in the file list. Label5 shows fileName; an empty fileName (and so an empty
// Label5) means no archive is loaded.
struct LoadedArchive {
  std::string path;      // full path, as chosen
  std::string fileName;  // the file name part of `path`
  Catalogue catalogue;

  bool loaded() const { return !fileName.empty(); }
};

struct Session {
  LoadedArchive archive;
  // The folder chosen for packing as the browser gave it (a bare name lies in
  // ExtractedFiles); empty until one is chosen. That folder is packed, wherever it lies.
  std::string packFolderPath;
  // Its name, shown in Label13: it names the archive and its library table.
  std::string packFolder() const { return std::string(util::fileNamePart(packFolderPath)); }
  // The model last chosen for its texture list.
  std::string modelPath;
  // The package last chosen for unpacking.
  std::string packagePath;
  // The sound bank last chosen for conversion.
  std::string bankPath;
  // What the filter line holds and which entries List1 shows.
  ListFilter filter;
};

struct CommandContext {
  Shell& shell;
  Settings& settings;
  Session& session;

  Window& window() { return shell.window(); }
  AppState& state() { return shell.state(); }

  // No archive loaded any more: empty Label5, file name and catalogue.
  void forgetArchive();
  // What the package and sound bank commands start with: an empty file list ("0 Items"),
  // an empty status line, no archive loaded and an empty log pane (caret at its end or not).
  void clearView(bool caretAtEnd);
};

// What every file-choosing button does: inside the trap `trapMessage`, the chooser with
// remembered folder, then `use(path)` with the chosen file; a cancel ends it silently.
template <class Use>
void chooseFileThen(CommandContext& context, std::string_view trapMessage, const std::string& title,
                    const std::string& filter, Use&& use) {
  runTrapped(context.shell, trapMessage, [&] {
    if (auto chosen =
            ChooseInputFile(context.window(), context.settings, context.state(), title, filter))
      use(*chosen);
  });
}

}  // namespace app
