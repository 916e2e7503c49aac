#include "platform/process.h"

// windows.h first: shellapi.h needs its definitions.
#include "platform/windows/windows_text.h"

#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/files.h"
#include "platform/temporary.h"

namespace platform {

namespace {

using windows::narrow;
using windows::wide;

// One argument quoted so that the C runtime of the program started reads it back as it is.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  for (std::size_t i = 0;; ++i) {
    std::size_t slashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++slashes;
    }
    if (i == arg.size()) {
      line.append(slashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"')
      line.append(slashes * 2 + 1, L'\\');
    else
      line.append(slashes, L'\\');
    line += arg[i];
  }
  line += L'"';
}

HANDLE inheritable(HANDLE h) {
  if (h != INVALID_HANDLE_VALUE && h != nullptr)
    ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return h;
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!words)
    return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i)
    out.push_back(narrow(words[i]));
  ::LocalFree(words);
  return out;
}

void prepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
}

bool errorIsTerminal() {
  return ::_isatty(::_fileno(stderr)) != 0;
}

std::optional<std::string> environment(const char* name) {
  const wchar_t* value = ::_wgetenv(wide(name).c_str());
  if (!value || !*value)
    return std::nullopt;
  return narrow(value);
}

std::filesystem::path executableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0)
      return std::filesystem::current_path();
    if (n < buffer.size()) {
      buffer.resize(n);
      return std::filesystem::path(buffer).parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path programFile(const std::filesystem::path& folder, const std::string& name) {
  return folder / pathFromUtf8(name + ".exe");
}

std::filesystem::path userProgramFolder() {
  if (auto local = environment("LOCALAPPDATA"))
    return pathFromUtf8(*local) / "Tarnwick";
  return std::filesystem::temp_directory_path() / "Tarnwick";
}

bool processRunning(unsigned pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process)
    return ::GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const BOOL known = ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  return known && code == STILL_ACTIVE;
}

std::filesystem::path makeTemporaryFolder(const std::string& prefix) {
  const auto base = std::filesystem::temp_directory_path();
  for (unsigned attempt = 0;; ++attempt) {
    const auto folder = base / pathFromUtf8(prefix + std::to_string(processId()) + "-" +
                                            std::to_string(::GetTickCount64() % 1000000) + "-" +
                                            std::to_string(attempt));
    if (::CreateDirectoryW(windows::longPath(folder).c_str(), nullptr))
      return folder;
    if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt == 100)
      throw std::system_error(windows::lastErrno(), std::generic_category(),
                              "cannot make a temporary folder in " + utf8(base));
  }
}

namespace {

// Starts the program as runAndWait says; the process handle, or nullptr when it cannot be
// started.
HANDLE startProgram(const std::vector<std::string>& argv,
                    const std::filesystem::path& errorOutput) {
  if (argv.empty() || argv[0].empty())
    return nullptr;
  std::wstring line;
  for (const auto& arg : argv) {
    if (!line.empty())
      line += L' ';
    appendQuoted(line, wide(arg));
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  HANDLE error = errorOutput.empty()
                     ? inheritable(::GetStdHandle(STD_ERROR_HANDLE))
                     : ::CreateFileW(windows::longPath(errorOutput).c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = inheritable(::GetStdHandle(STD_OUTPUT_HANDLE));
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  const std::wstring program = wide(argv[0]);
  const BOOL started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
  if (input != INVALID_HANDLE_VALUE)
    ::CloseHandle(input);
  if (!errorOutput.empty() && error != INVALID_HANDLE_VALUE)
    ::CloseHandle(error);
  if (!started)
    return nullptr;
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

// The exit code of an ended process, whose handle it closes.
int exitCodeOf(HANDLE process) {
  DWORD code = 0;
  const BOOL known = ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  return known ? static_cast<int>(code) : -1;
}

}  // namespace

int runAndWait(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput) {
  HANDLE process = startProgram(argv, errorOutput);
  if (!process)
    return -1;
  ::WaitForSingleObject(process, INFINITE);
  return exitCodeOf(process);
}

int runAndWait(const std::vector<std::string>& argv, const std::filesystem::path& errorOutput,
               const std::function<bool()>& keepWaiting) {
  HANDLE process = startProgram(argv, errorOutput);
  if (!process)
    return -1;
  while (::WaitForSingleObject(process, 20) == WAIT_TIMEOUT) {
    if (!keepWaiting()) {
      ::TerminateProcess(process, 1);
      ::WaitForSingleObject(process, INFINITE);
      ::CloseHandle(process);
      return kStoppedExitCode;
    }
  }
  return exitCodeOf(process);
}

void returnLargeBuffersToTheSystem() {}

}  // namespace platform
