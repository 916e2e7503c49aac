#include "app/shell.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "util/text.h"
#include "util/version.h"

namespace app {

namespace {

std::string withoutTrailingSeparator(std::string text) {
  const char native = static_cast<char>(std::filesystem::path::preferred_separator);
  while (text.size() > 1 && (text.back() == '/' || text.back() == native))
    text.pop_back();
  return text;
}

// True when a file can be made in `folder` (it is made and removed again).
bool canWriteIn(const std::filesystem::path& folder) {
  platform::Folder open;
  if (platform::Folder::open(folder, open) != 0)
    return false;
  const std::string probe = platform::temporaryName("write-test");
  platform::File file;
  if (open.createFile(probe, file) != 0)
    return false;
  file.close();
  open.remove(probe);
  return true;
}

}  // namespace

std::string programFolder() {
  namespace fs = std::filesystem;
  if (auto home = platform::environment("TARNWICK_HOME"))
    return withoutTrailingSeparator(
        platform::utf8(fs::absolute(platform::pathFromUtf8(*home)).lexically_normal()));
  // An installed program (its help texts in ../share/tarnwick), or one unpacked where the
  // user may not write, keeps its working folders in the user's own data folder; any other
  // (a build, a portable unzip) keeps them beside the executable.
  const fs::path exe = platform::executableFolder();
  std::error_code ec;
  const bool installed =
      fs::exists(exe / ".." / "share" / "tarnwick" / "extracting_files.txt", ec) &&
      !fs::exists(exe / "extracting_files.txt", ec);
  if (!installed && canWriteIn(exe))
    return withoutTrailingSeparator(platform::utf8(exe));
  const fs::path data = platform::userProgramFolder();
  fs::create_directories(data, ec);
  return withoutTrailingSeparator(platform::utf8(data));
}

std::string installedHelpFolder() {
  const auto exe = platform::executableFolder();
  for (const auto& folder : {exe, exe / ".." / "share" / "tarnwick"}) {
    std::error_code ec;
    if (std::filesystem::exists(folder / "extracting_files.txt", ec))
      return platform::utf8(folder.lexically_normal());
  }
  return {};
}

std::string installedConverter() {
  return platform::utf8(platform::programFile(platform::executableFolder(), "fsbext"));
}

void Shell::appendLog(std::string_view line) {
  m_state.logText.append(line);
  m_state.logText.append(util::kCrLf);
}

void Shell::ShowLog() {
  m_window.setLogPane(m_state.logText, true);
  m_window.repaint("RichTextBox1");
}

void Shell::setStatus(const std::string& text) {
  m_window.setText("Text1", text);
  m_window.repaint("Text1");
}

void Shell::setItemCount(int count) {
  m_window.setText("Label2", std::to_string(count) + " Items");
}

void Shell::setProgress(double fraction) {
  m_window.setProgressWidth(fraction * m_state.progressFullWidth);
  m_window.repaint("Label9");
}

void ShellProgress::step(std::uint64_t done, std::string_view) {
  m_shell.setProgress(m_total == 0 ? 1.0
                                   : static_cast<double>(done) / static_cast<double>(m_total));
  m_shell.window().yield();
}

bool ShellProgress::cancelled() {
  return m_shell.state().cancelRequested;
}

void Shell::beginCommand() {
  m_state.cancelRequested = false;
  m_state.stopped.reset();
}

void Shell::endCommand() {
  if (m_state.stopped) {
    setStatus("");
    appendLog(cancelledLine(*m_state.stopped));
    ShowLog();
  }
  m_state.cancelRequested = false;
  m_state.stopped.reset();
}

std::string cancelledLine(const AppState::Stop& stop) {
  const std::string far = std::to_string(stop.done) + " of " + std::to_string(stop.total);
  if (stop.operation == "Extract error.")
    return "Extraction cancelled after " + far + " entries.";
  if (stop.operation == "PackIt error.")
    return "Pack cancelled after " + far + " files: no archive was written.";
  if (stop.operation == "processMPKG error.")
    return "Unpacking cancelled after " + far + " bytes read: nothing was written.";
  if (stop.operation == "ProcessFSB error.")
    return "Conversion cancelled after " + far + " sounds.";
  return "Cancelled after " + far + " steps.";
}

void Shell::showTrap(std::string_view message, std::string_view description) {
  std::string text(message);
  text += "\r\n\r\n";
  text += description;
  m_window.messageBox(Icon::Exclamation, text);
}

std::string rememberedFolderOf(std::string_view path) {
  auto folder = util::folderPart(path);
  if (folder.empty() && !path.empty() && (path.front() == '/' || path.front() == '\\'))
    return std::string(1, path.front());
  return std::string(folder);
}

std::optional<std::string> ChooseInputFile(Window& window, Settings& settings,
                                           const AppState& state, const std::string& title,
                                           const std::string& filter) {
  const std::string app(util::kProductName);
  auto initial = settings.get(app, "Preferences", "OpenFilePath", state.programFolder);
  auto chosen = window.chooseFile(title, filter, initial);
  if (!chosen || chosen->empty())
    return std::nullopt;
  settings.set(app, "Preferences", "OpenFilePath", rememberedFolderOf(*chosen));
  return chosen;
}

}  // namespace app
