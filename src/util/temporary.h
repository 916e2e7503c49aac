// Temporary files that do not outlive the process.
//
// Every file the program writes is written under a temporary name beside its target and
// renamed into place when complete. While a file exists under such a name it is
// registered here: removeLiveTemporaries() deletes every registered one and may be called
// from a signal handler or just before a hard exit, and installTemporaryCleanup() makes
// SIGINT, SIGTERM and SIGHUP call it before they end the process as they would have. Only
// SIGKILL (or a power cut) can leave a temporary behind, and its name is one that
// isTemporaryName() recognises, so nothing reading a folder tree takes it for a user's file.
#pragma once

#include <string>
#include <string_view>

namespace util {

// A name for a temporary file beside the file `fileName` (may be empty), unique among
// this machine's processes: ".<fileName>.tw<pid>-<n>.tmp", the file's name cut to 200 bytes.
std::string temporaryName(std::string_view fileName);

// True for every name temporaryName() gives, in this process or any other.
bool isTemporaryName(std::string_view name);

// Registers the temporary `name` in the folder `dirFd` (AT_FDCWD when `name` is a path)
// for its lifetime. Create it before the file: then no moment exists in which the file is
// there but unregistered. Destroying it deletes the file unless release() was called after
// the file was renamed into place. The folder handle must stay open meanwhile.
class TemporaryFile {
 public:
  TemporaryFile(int dirFd, std::string name);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& name() const { return m_name; }
  // The file now lives under its final name (or is gone): forget it.
  void release() noexcept;

 private:
  int m_dirFd;
  std::string m_name;
  int m_slot = -1;
  bool m_released = false;
};

// Deletes every registered temporary. Async-signal-safe.
void removeLiveTemporaries() noexcept;

// SIGINT, SIGTERM and SIGHUP first delete the registered temporaries, then take their
// default course. A signal the process was told to ignore stays ignored. SIGXFSZ is
// ignored, so a write past the file-size limit fails (EFBIG) instead of ending the process.
void installTemporaryCleanup();

}  // namespace util
