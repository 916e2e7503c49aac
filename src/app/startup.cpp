#include "app/startup.h"

#include <filesystem>
#include <system_error>

#include "app/form_design.h"
#include "platform/process.h"
#include "util/error_text.h"
#include "util/version.h"

namespace app {

WorkingFolders workingFoldersOf(const std::string& programFolder) {
  auto base = programFolder == "/" ? std::string() : programFolder;
  return {base + "/ExtractedFiles", base + "/Temp", base + "/NewMPAKs", base + "/Library",
          base + "/Sounds"};
}

bool Startup(Window& window, AppState& state, const std::string& programFolder) {
  try {
    window.setText("Form1", std::string(util::kWindowTitle));
    state.programFolder = programFolder;
    state.folders = workingFoldersOf(programFolder);
    state.progressFullWidth = findControl("Label9")->width;
    window.setText("Text1", "");
    window.setLogPane("", true);
  } catch (...) {
    window.messageBox(Icon::Critical, "Initialization error.\r\n\r\n" +
                                          util::describeException(std::current_exception()) +
                                          "\r\n\r\nTerminating.");
    return false;
  }

  // From here on each failure is ignored: a folder that cannot be made, a Temp file that
  // cannot be deleted.
  const auto& f = state.folders;
  for (const auto* folder : {&f.extractedFiles, &f.temp, &f.newMpaks, &f.library, &f.sounds}) {
    std::error_code ec;
    std::filesystem::create_directories(*folder, ec);
  }
  try {
    util::clearFolder(f.temp, [&] { window.yield(); });
  } catch (...) {
  }
  return true;
}

}  // namespace app
