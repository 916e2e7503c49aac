// The load command: choose an archive, read its TOC and STOC into the catalogue, fill
// the file list, log the block positions and STOC members, and write the archive's
// library table into Library unless one exists.
#pragma once

#include <string>

#include "app/commands/context.h"

namespace app {

// "Open Game .MPAK File": the chooser with remembered folder, then ProcessLibrary.
void butSelectMPAKfile_Click(CommandContext& context);

// Opens `path` as if it had been chosen in the chooser (command line, drops).
void openArchive(CommandContext& context, const std::string& path);

// Loads the archive at session.archive.path; Label5 already names it. Failures end in
// the "ProcessLibrary error." trap, which leaves no archive loaded.
void ProcessLibrary(CommandContext& context);

}  // namespace app
