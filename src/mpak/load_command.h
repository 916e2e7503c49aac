// The load command: choose an archive, read its TOC and STOC into the catalogue, fill
// the file list, log the block positions and STOC members, and write the archive's
// library table into Library unless one exists.
#pragma once

#include <string>

#include "app/shell.h"
#include "mpak/catalogue.h"

namespace mpak {

// The file list shows at most this many entries; one more fails the load.
inline constexpr std::size_t kMaxListedEntries = kCatalogueSlots;

// "Open Game .MPAK File": the chooser with remembered folder, then ProcessLibrary.
void butSelectMPAKfile_Click(app::Shell& shell, app::Settings& settings, Catalogue& catalogue);

// Opens `path` as if it had been chosen in the chooser (command line, drops).
void openArchive(app::Shell& shell, Catalogue& catalogue, const std::string& path);

// Loads the archive at the current archive path; Label5 already names it. Failures end
// in the "ProcessLibrary error." trap, which leaves no archive loaded.
void ProcessLibrary(app::Shell& shell, Catalogue& catalogue);

}  // namespace mpak
