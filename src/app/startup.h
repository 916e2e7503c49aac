// Start-up of the window, in order: title, working-folder paths, the progress bar's full
// width, cleared status line and log pane, then (with failures ignored) the five working
// folders and an empty Temp.
#pragma once

#include <string>

#include "app/shell.h"

namespace app {

// Returns false when a step before the working folders failed: the critical
// "Initialization error." message has been shown and the program must end.
bool Startup(Window& window, AppState& state, const std::string& programFolder);

// The five working folders below `programFolder`.
WorkingFolders workingFoldersOf(const std::string& programFolder);

}  // namespace app
