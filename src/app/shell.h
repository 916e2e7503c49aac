// The shell every command shares: window-level state, the log text and ShowLog, the
// status line, item count, progress bar, busy pointer, error traps and the file chooser
// with its remembered folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/window_port.h"
#include "util/error_text.h"
#include "util/progress.h"

namespace app {

struct WorkingFolders {
  std::string extractedFiles, temp, newMpaks, library, sounds;
};

// Window-level state that lives as long as the window. What the commands share (the
// loaded archive and its catalogue) is in app/commands/context.h.
struct AppState {
  std::string programFolder;  // no trailing separator
  std::string helpFolder;     // where the help texts were installed, when not in programFolder
  std::string converterPath;  // the sound bank converter; "" means fsbext beside the executable
  WorkingFolders folders;
  std::string logText;                 // the whole log, lines ended by CR LF
  double progressFullWidth = 0;        // Label9's designed width in twips
  std::int32_t longestItemLength = 0;  // longest file-list item since start-up
  bool cancelRequested = false;        // the running command is to stop after its step
  // Where the running command stopped when it was cancelled: the trap it ran in ("Extract
  // error.") and how many of its steps it had finished.
  struct Stop {
    std::string operation;
    std::uint64_t done = 0, total = 0;
  };
  std::optional<Stop> stopped;
};

// The program folder: $TARNWICK_HOME when set and not empty; for an installed program
// (its help texts in ../share/tarnwick from the executable) the user's data folder,
// $XDG_DATA_HOME/tarnwick or ~/.local/share/tarnwick; otherwise the folder of the running
// executable. Never ends with a separator (but "/" stays "/").
std::string programFolder();

// Where the help texts were installed: beside the executable, or in ../share/tarnwick
// from it; "" when neither holds them.
std::string installedHelpFolder();

// The sound bank converter installed with the program: fsbext beside the executable.
std::string installedConverter();

class Shell;

// The window's side of an engine's progress: after every step the bar at done / total,
// repainted, and a yield; the engine stops when AppState::cancelRequested is set.
class ShellProgress : public util::Progress {
 public:
  explicit ShellProgress(Shell& shell) : m_shell(shell) {}
  void begin(std::uint64_t total) override { m_total = total; }
  void step(std::uint64_t done, std::string_view name) override;
  bool cancelled() override;

 private:
  Shell& m_shell;
  std::uint64_t m_total = 0;
};

class Shell {
 public:
  Shell(Window& window, AppState& state) : m_window(window), m_state(state), m_progress(*this) {}
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  Window& window() { return m_window; }
  AppState& state() { return m_state; }

  // Appends one line and CR LF to the log text (the pane is not touched).
  void appendLog(std::string_view line);
  // Puts the log text into the pane, caret at the end, and repaints it.
  void ShowLog();
  // Replaces the status line Text1 and repaints it.
  void setStatus(const std::string& text);
  // Label2: "<n> Items".
  void setItemCount(int count);
  // Label9 at `fraction` (0..1) of its designed width, repainted at once.
  void setProgress(double fraction);

  // The message box of a command's error trap: exclamation icon,
  // "<message>" CR LF CR LF "<description>". `message` is e.g. "Extract error.".
  void showTrap(std::string_view message, std::string_view description);

  // What every engine call of a command reports its progress to.
  util::Progress& progress() { return m_progress; }

  // What a front end calls around every command it runs: before it, no cancel asked for;
  // after it, a command stopped by Cancel or Escape ends the log with the line that says
  // so and how far it got (cancelledLine), and the pane shows it.
  void beginCommand();
  void endCommand();

 private:
  Window& m_window;
  AppState& m_state;
  ShellProgress m_progress;
};

// Busy pointer for the lifetime of the object: every exit path restores the default.
class BusyPointer {
 public:
  explicit BusyPointer(Window& window) : m_window(window) { m_window.setBusy(true); }
  ~BusyPointer() { m_window.setBusy(false); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  Window& m_window;
};

// The last log line of a command that was cancelled, by the trap it ran in:
// "Extraction cancelled after 12 of 400 entries." and the like.
std::string cancelledLine(const AppState::Stop& stop);

// Runs `body` inside the error trap named `message` ("Extract error."): any exception
// restores the default pointer, runs `cleanup` (what the command resets after a failure)
// and shows the trap's message box. An engine stopped by a cancel is no failure: the
// pointer is restored, where it stopped is kept for Shell::endCommand, and nothing is shown
// or reset. Returns true when the body ran to its end.
template <class Body, class Cleanup = void (*)()>
bool runTrapped(
    Shell& shell, std::string_view message, Body&& body, Cleanup&& cleanup = [] {}) {
  try {
    body();
    return true;
  } catch (const util::Cancelled& stop) {
    shell.window().setBusy(false);
    shell.state().stopped = AppState::Stop{std::string(message), stop.done(), stop.total()};
    return false;
  } catch (...) {
    const auto description = util::describeException(std::current_exception());
    shell.window().setBusy(false);
    cleanup();
    shell.showTrap(message, description);
    return false;
  }
}

// The file chooser with remembered folder: opens in the remembered folder ("Tarnwick",
// "Preferences", "OpenFilePath"; the program folder at first), stores back the chosen
// file's folder and returns the full path. Nothing changes when the user cancels.
std::optional<std::string> ChooseInputFile(Window& window, Settings& settings,
                                           const AppState& state, const std::string& title,
                                           const std::string& filter);

// The folder of a chosen path as it is remembered: the text before the last separator;
// a file at a drive or file-system root gives the drive ("C:") or "/".
std::string rememberedFolderOf(std::string_view path);

}  // namespace app
