// Files and folders, reached through one interface on every system.
//
// Errors are errno values (std::generic_category) on every system; the Windows side maps
// its own codes onto them, so callers name the same faults the same way everywhere.
// Names passed to a Folder are single UTF-8 names, never paths: the caller checks them
// (no separators, no "." or ".."). Nothing here follows a symbolic link or any other
// redirection below a folder that was opened: a link where a folder or file is expected
// is refused with ELOOP.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// "No such file or directory" for ENOENT, the same words on every system.
std::string errorText(int err);

// A full or read-only disk, a quota or file-size limit or an I/O error: every later write
// would fail the same way.
bool isDiskFailure(int err);

// "<what> <path>" as a std::system_error carrying `err` ("cannot write /x/a.bin: ...").
[[noreturn]] void throwFileError(int err, std::string_view what, const std::filesystem::path& path);

// A path from UTF-8 text and back, without passing through a local code page.
std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8(const std::filesystem::path& path);

// An open file. Moves, never copies; closes on destruction.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading (follows links: the caller named it).
  static int openForReading(const std::filesystem::path& path, File& out) noexcept;
  // Creates a new file for writing; EEXIST when anything is at that path.
  static int createNew(const std::filesystem::path& path, File& out) noexcept;

  bool isOpen() const { return m_handle != kClosed; }
  // Reads up to bytes.size() bytes at `offset`; the count read (0 at the end), or -errno.
  std::int64_t readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) noexcept;
  // Writes every byte at `offset`, retrying short writes. 0 or the errno that stopped it.
  int writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) noexcept;
  // Writes `size` bytes of `source` from `from` into this file at `at`, within the system
  // where it can (no pass through the program's memory). 0, the errno that stopped it, or
  // ENODATA when `source` ends before `size` bytes.
  int copyFrom(File& source, std::uint64_t from, std::uint64_t size, std::uint64_t at) noexcept;
  // The same through a buffer of the program: every system can do this.
  int copyThroughMemory(File& source, std::uint64_t from, std::uint64_t size,
                        std::uint64_t at) noexcept;
  // The size in bytes, or -errno.
  std::int64_t size() noexcept;
  // Waits until the written bytes are on the disk. 0 or errno.
  int flush() noexcept;
  // Asks the system to start writing `size` bytes at `offset` to the disk without waiting,
  // so that a later flush() has less left to wait for. A hint: where the system has no
  // such request it does nothing, and failures show at flush().
  void startWriting(std::uint64_t offset, std::uint64_t size) noexcept;
  // 0 or the errno of a failure the system reported only at closing.
  int close() noexcept;

  static constexpr std::intptr_t kClosed = -1;
  explicit File(std::intptr_t handle) : m_handle(handle) {}
  std::intptr_t handle() const { return m_handle; }

 private:
  std::intptr_t m_handle = kClosed;
};

enum class Kind { Missing, File, Folder, Link, LinkedFolder, Other };

struct FolderItem {
  std::string name;  // UTF-8
  Kind kind = Kind::Other;
  std::uint64_t size = 0;  // of a file
};

// An open folder; files and folders below it are reached name by name from it.
class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // Opens the folder at `path` (which may itself be a link: the user's choice).
  static int open(const std::filesystem::path& path, Folder& out) noexcept;

  bool isOpen() const { return m_handle != File::kClosed; }
  const std::filesystem::path& path() const { return m_path; }
  std::intptr_t handle() const { return m_handle; }

  // The sub-folder `name`, made first when `create` and missing. ENOENT when missing and
  // not `create`, ELOOP for a link, ENOTDIR when something else is in the way.
  int openFolder(std::string_view name, bool create, Folder& out) const noexcept;
  // A new file `name` for writing; EEXIST when anything is there.
  int createFile(std::string_view name, File& out) const noexcept;
  // The file at `relative` ("a/b/c.txt", "/" between names) for reading; ELOOP when the
  // file itself is a link.
  int openFile(std::string_view relative, File& out) const noexcept;
  // What is at `name`, without following a link (a link to a folder is LinkedFolder).
  Kind kindOf(std::string_view name) const noexcept;
  // Renames `from` to `to` in this folder. With `replace` whatever file was at `to` is
  // replaced in one step; without it EEXIST when `to` is taken.
  int rename(std::string_view from, std::string_view to, bool replace) const noexcept;
  // Deletes the file `name`. 0 or errno.
  int remove(std::string_view name) const noexcept;
  // The items in this folder but "." and "..", unsorted.
  int list(std::vector<FolderItem>& out) const noexcept;

 private:
  void release() noexcept;
  std::intptr_t m_handle = File::kClosed;
  std::filesystem::path m_path;
};

// Replaces `to` by `from` in one step (both full paths in one folder). 0 or errno.
int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;

// Why this system's file systems cannot hold the file or folder name `name` (UTF-8), or
// empty when they can.
std::string nameProblem(std::string_view name);

// True when names that differ only in letter case name the same file here.
bool namesIgnoreCase();

// Why Windows cannot hold the name `name` (UTF-8), or empty when it can: a device name
// ("CON", "aux.txt", "LPT9"), a character Windows refuses (":" opens another stream of
// the file, "<>\"|?*" and control characters), or a trailing dot or blank (dropped).
// The rule of the Windows file systems, kept here so every system can check it.
std::string windowsNameProblem(std::string_view name);

}  // namespace platform
