// Text and errors at the Windows API's edge: UTF-8 inside the program, UTF-16 outside.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::windows {

std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The errno value that names the same fault as the Windows error `code`.
int errnoOf(DWORD code);
inline int lastErrno() {
  return errnoOf(::GetLastError());
}

// `path` made absolute and normal, in the "\\?\" form that has no 260-character limit.
std::wstring longPath(const std::filesystem::path& path);

}  // namespace platform::windows
