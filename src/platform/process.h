// The running program, the programs it starts and the place it lives in.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The program's arguments as UTF-8, whatever the system handed over (argv[0] first).
std::vector<std::string> arguments(int argc, char** argv);

// Readies the standard streams for UTF-8 text (a no-op where they already take it).
void prepareConsole();

// True when standard error is a terminal (a person watching), not a file or pipe.
bool errorIsTerminal();

// The value of the environment variable `name` as UTF-8; none when unset or empty.
std::optional<std::string> environment(const char* name);

// The folder holding the running executable; the current folder when it cannot be told.
std::filesystem::path executableFolder();

// The program `name` in `folder` as this system names programs ("fsbext", "fsbext.exe").
std::filesystem::path programFile(const std::filesystem::path& folder, const std::string& name);

// This program's folder among the user's program data, named as the system's programs
// name theirs: $XDG_DATA_HOME/tarnwick or ~/.local/share/tarnwick, or
// %LOCALAPPDATA%\Tarnwick; below the system's temporary folder when none can be told.
// Not made here.
std::filesystem::path userProgramFolder();

// True while the process numbered `pid` runs (on this machine, as far as this user can
// tell).
bool processRunning(unsigned pid);

// A new, empty folder under the system's temporary folder whose name starts with
// `prefix`. Throws std::system_error when it cannot be made.
std::filesystem::path makeTemporaryFolder(const std::string& prefix);

// Starts argv[0] (a path; no search, no shell, so blanks and quotes in the arguments
// reach the program as they are) with argv[1..] as its arguments, the caller's
// environment and working folder, and no terminal input. Blocks without a time limit
// until it ends and returns its exit code; a program ended by a signal gives 128 plus
// the signal number. Returns -1 when the program cannot be started (missing, not
// executable, empty argv).
// With `errorOutput` not empty, the program's standard error goes to that file (created or
// emptied) instead of the caller's.
int runAndWait(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput = {});

// What runAndWait returns when `keepWaiting` stopped the program.
inline constexpr int kStoppedExitCode = -2;

// runAndWait that asks `keepWaiting` about every 20 ms while the program runs (a window
// processes its events there). When it answers false, the program is asked to end (on
// POSIX systems SIGTERM, so it can remove its temporary files; on Windows it is
// terminated) and, once it has ended, kStoppedExitCode is returned.
int runAndWait(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput,
               const std::function<bool()>& keepWaiting);

// Buffers allocated on worker threads and freed on another go back to the system instead
// of growing a pool per thread (where the allocator can be told).
void returnLargeBuffersToTheSystem();

}  // namespace platform
