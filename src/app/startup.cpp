#include "app/startup.h"

#include <filesystem>
#include <system_error>

#include "app/form_design.h"
#include "platform/files.h"
#include "platform/process.h"
#include "util/error_text.h"
#include "util/version.h"

namespace app {

WorkingFolders workingFoldersOf(const std::string& programFolder) {
  // Joined with the system's own separator ("/", or "\\" on Windows), as the system
  // names them back.
  auto base = programFolder == "/" ? std::string() : programFolder;
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  auto folder = [&](const char* name) { return base + separator + name; };
  return {folder("ExtractedFiles"), folder("Temp"), folder("NewMPAKs"), folder("Library"),
          folder("Sounds")};
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
    util::clearFolder(platform::pathFromUtf8(f.temp), [&] { window.yield(); });
  } catch (...) {
  }
  return true;
}

}  // namespace app
