// Running an external program and waiting for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace util {

// Starts argv[0] (a path; no search, no shell, so blanks and quotes in the arguments
// reach the program as they are) with argv[1..] as its arguments, the caller's
// environment and working folder, and no terminal input. Blocks without a time limit
// until it ends and returns its exit code; a program ended by a signal gives 128 plus
// the signal number. Returns -1 when the program cannot be started (missing, not
// executable, empty argv).
// With `errorOutput` not empty, the program's standard error goes to that file (created or
// emptied) instead of the caller's.
int RunAndWait(const std::vector<std::string>& argv, const std::string& errorOutput = {});

// Deletes every file lying directly in `folder`; sub-folders and their contents stay.
// After each deleted file it calls `afterEach` (the window yields there). The first
// failure (a missing folder, a file that cannot be deleted) throws
// std::filesystem::filesystem_error; the files not reached yet stay.
void ClearFolder(const std::string& folder, const std::function<void()>& afterEach = {});

}  // namespace util
