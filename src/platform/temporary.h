// Temporary files that do not outlive the process.
//
// Every file the program writes is written under a temporary name beside its target and
// renamed into place when complete. While a file exists under such a name it is
// registered here: removeLiveTemporaries() deletes every registered one and may be called
// from a signal handler or just before a hard exit, and installInterruptCleanup() makes an
// interrupt (Ctrl+C, a hang-up, a termination request, a closed console) call it before
// the process ends as it would have. Only a hard kill (or a power cut) can leave a
// temporary behind, and its name is one that isTemporaryName() recognises, so nothing
// reading a folder tree takes it for a user's file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform {

// A name for a temporary file beside the file `fileName` (may be empty), unique among
// this machine's processes: ".<fileName>.tw<pid>-<n>.tmp", the file's name cut to 200 bytes.
std::string temporaryName(std::string_view fileName);

// True for every name temporaryName() gives, in this process or any other.
bool isTemporaryName(std::string_view name);

// This process's number, as the system counts them.
unsigned processId();

// Registers the temporary `name` in `folder` (or the temporary at `path`) for its
// lifetime. Create it before the file: then no moment exists in which the file is there
// but unregistered. Destroying it deletes the file unless release() was called after the
// file was renamed into place. The folder must stay open meanwhile.
class TemporaryFile {
 public:
  TemporaryFile(const Folder& folder, std::string name);
  explicit TemporaryFile(const std::filesystem::path& path);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The name in its folder, or the path as given (UTF-8).
  const std::string& name() const { return m_name; }
  // The file now lives under its final name (or is gone): forget it.
  void release() noexcept;

 private:
  void remember() noexcept;
  std::intptr_t m_folder;        // the folder's handle where the system deletes by handle
  std::filesystem::path m_path;  // the full path where it deletes by path
  std::string m_name;
  int m_slot = -1;
  bool m_released = false;
};

// Deletes every registered temporary. Safe in a signal handler.
void removeLiveTemporaries() noexcept;

// Interrupts first delete the registered temporaries, then take their usual course. An
// interrupt the process was told to ignore stays ignored. A write past the file-size
// limit fails (EFBIG) instead of ending the process.
void installInterruptCleanup();

}  // namespace platform
