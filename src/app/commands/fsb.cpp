#include "app/commands/fsb.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>

#include "fsb/bank.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "util/cp1252.h"
#include "util/file_io.h"
#include "util/progress.h"
#include "util/text.h"

namespace app {

namespace {

namespace fs = std::filesystem;

// The first sample's name field, up to its first NUL (all 30 bytes when there is none);
// "" for a bank too short to hold the whole field. Throws when the bank cannot be read.
std::string firstSampleName(const std::string& bankPath) {
  std::ifstream bank(platform::pathFromUtf8(bankPath), std::ios::binary);
  if (!bank)
    platform::throwFileError(errno, "cannot open", bankPath);
  std::string field(fsb::kNameBytes, '\0');
  bank.seekg(fsb::layout::kFirstSampleName);
  if (!bank.read(field.data(), static_cast<std::streamsize>(field.size())))
    return {};
  field.resize(std::min(field.find('\0'), field.size()));
  return util::cp1252ToUtf8(field);
}

// Deletes Sounds/<name> when `name` is one plain file name naming a file there; a name
// that could reach anywhere else deletes nothing.
void deleteFirstSampleFile(const std::string& sounds, const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
    return;
  const fs::path folder = platform::pathFromUtf8(sounds);
  const fs::path target = folder / platform::pathFromUtf8(name);
  if (target.parent_path() != folder)
    return;
  std::error_code ec;
  const auto status = fs::symlink_status(target, ec);
  if (!ec && !fs::is_directory(status) && fs::exists(status))
    fs::remove(target);
}

std::set<std::string> filesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(platform::pathFromUtf8(folder), ec))
    names.insert(platform::utf8(entry.path().filename()));
  return names;
}

// The last lines the converter wrote to its standard error, at most 8.
std::string converterMessages(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      lines.push_back(line);
  if (lines.size() > 8)
    lines.erase(lines.begin(), lines.end() - 8);
  std::string out;
  for (const auto& line : lines)
    out += line + std::string(util::kCrLf);
  return out;
}

struct Converted {
  std::string converter;  // the program that ran
  int code = 0;           // its exit code; -1 when it could not be started
  std::string said;       // the last lines it wrote to its standard error
};

// Runs the converter on session.bankPath, writing into Sounds, with the busy pointer.
Converted runConverter(CommandContext& context) {
  auto& state = context.state();
  Converted run;
  run.converter = state.converterPath.empty() ? installedConverter() : state.converterPath;
  const fs::path errorFile = platform::pathFromUtf8(state.folders.temp) /
                             platform::pathFromUtf8(platform::temporaryName("fsbext"));
  platform::TemporaryFile errorTemporary(errorFile);
  // Without a Temp folder to keep them in, the converter's messages are not shown.
  const bool captured = std::ofstream(errorFile).is_open();
  {
    BusyPointer busy(context.window());
    // The window repaints while the converter runs, and Cancel or Escape stops it.
    run.code = platform::runAndWait(
        {run.converter, "-d", state.folders.sounds, "-a", context.session.bankPath},
        captured ? errorFile : fs::path(), [&] {
          context.window().yield();
          return !state.cancelRequested;
        });
  }
  run.said = converterMessages(errorFile);
  return run;
}

// An empty pane and the box that says why the conversion ended.
void conversionFailed(CommandContext& context, const Converted& run) {
  auto& window = context.window();
  window.setLogPane("", false);
  std::string why;
  std::error_code ignored;
  if (run.code == -1)
    why = fs::exists(platform::pathFromUtf8(run.converter), ignored)
              ? "The converter at " + run.converter + " could not be started.\r\n"
              : "The converter was not found at " + run.converter + ".\r\n";
  window.messageBox(Icon::None, "Conversion error (" + std::to_string(run.code) + ").\r\n" + why +
                                    run.said + "\r\nOperation terminated.\r\n");
}

// The number of samples in the bank; 0 when it cannot be read.
std::uint64_t sampleCount(const std::string& bankPath) {
  try {
    const platform::MappedFile file(platform::pathFromUtf8(bankPath));
    return fsb::readBank(file.bytes()).samples.size();
  } catch (const std::exception&) {
    return 0;
  }
}

// A converter stopped by a cancel: the sounds it finished stay and are logged; what it
// left half-written (a temporary file, where it could not remove its own) goes.
[[noreturn]] void conversionStopped(CommandContext& context, const std::set<std::string>& before) {
  const std::string& sounds = context.state().folders.sounds;
  std::uint64_t written = 0;
  for (const auto& name : filesIn(sounds)) {
    if (before.count(name))
      continue;
    if (platform::isTemporaryName(name)) {
      std::error_code ignored;
      fs::remove(platform::pathFromUtf8(sounds) / platform::pathFromUtf8(name), ignored);
    } else {
      context.shell.appendLog(name);
      ++written;
    }
  }
  throw util::Cancelled(written, sampleCount(context.session.bankPath));
}

}  // namespace

void butConvertFSB_Click(CommandContext& context) {
  chooseFileThen(context, "ConvertFSB error.", "Select File [.fsb]",
                 ".fsb type files (*.fsb)|*.fsb", [&](const std::string& path) {
                   context.session.bankPath = path;
                   processFSB(context);
                 });
}

void processFSB(CommandContext& context) {
  auto& shell = context.shell;
  auto& window = shell.window();
  auto& state = shell.state();
  const std::string& bank = context.session.bankPath;
  const std::string& sounds = state.folders.sounds;
  auto convert = [&] {
    context.clearView(false);
    window.repaint("Form1");
    window.yield();
    shell.appendLog("Converting: " + std::string(util::fileNamePart(bank)));
    window.setLogPane(state.logText, false);
    const std::string firstName = firstSampleName(bank);
    window.yield();
    deleteFirstSampleFile(sounds, firstName);
    window.yield();

    const auto before = filesIn(sounds);
    const Converted run = runConverter(context);
    window.yield();
    if (run.code == platform::kStoppedExitCode)
      conversionStopped(context, before);
    if (run.code != 0) {
      conversionFailed(context, run);
      return;
    }
    for (const auto& name : filesIn(sounds))
      if (!before.count(name) && !platform::isTemporaryName(name))
        shell.appendLog(name);
    shell.appendLog("Operation complete.");
    shell.appendLog("");
    window.setLogPane(state.logText, false);
  };
  runTrapped(shell, "ProcessFSB error.", convert, [&] {
    window.yield();
    window.setLogPane("", false);
  });
}

}  // namespace app
