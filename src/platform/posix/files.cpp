#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/files.h"

namespace platform {

namespace {

int fdOf(std::intptr_t handle) {
  return static_cast<int>(handle);
}

std::string nameText(std::string_view name) {
  return std::string(name);
}

}  // namespace

bool isDiskFailure(int err) {
  return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EROFS || err == EIO;
}

int File::openForReading(const std::filesystem::path& path, File& out) noexcept {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  out = File(fd);
  return 0;
}

int File::createNew(const std::filesystem::path& path, File& out) noexcept {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return errno;
  out = File(fd);
  return 0;
}

std::int64_t File::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) noexcept {
  for (;;) {
    ssize_t n = ::pread(fdOf(m_handle), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n >= 0)
      return n;
    if (errno != EINTR)
      return -errno;
  }
}

int File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) noexcept {
  const std::uint8_t* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::pwrite(fdOf(m_handle), data, left, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return 0;
}

int File::copyFrom(File& source, std::uint64_t from, std::uint64_t size,
                   std::uint64_t at) noexcept {
#ifdef __linux__
  // Files on two kinds of file system refuse it: the same two are not asked each time (a
  // pair remembered wrongly after its handles were reused only costs the copy through
  // memory).
  thread_local std::pair<std::intptr_t, std::intptr_t> refused{kClosed, kClosed};
  while (size > 0 && refused != std::pair{source.m_handle, m_handle}) {
    loff_t in = static_cast<loff_t>(from), out = static_cast<loff_t>(at);
    const ssize_t n = ::copy_file_range(fdOf(source.m_handle), &in, fdOf(m_handle), &out,
                                        static_cast<std::size_t>(size), 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      refused = {source.m_handle, m_handle};  // not between these two files: through memory
      break;
    }
    if (n <= 0)
      return n == 0 ? ENODATA : errno;
    from += static_cast<std::uint64_t>(n);
    at += static_cast<std::uint64_t>(n);
    size -= static_cast<std::uint64_t>(n);
  }
#endif
  return copyThroughMemory(source, from, size, at);
}

std::int64_t File::size() noexcept {
  struct stat st {};
  if (::fstat(fdOf(m_handle), &st) != 0)
    return -errno;
  return st.st_size;
}

int File::flush() noexcept {
  return ::fsync(fdOf(m_handle)) == 0 ? 0 : errno;
}

void File::startWriting(std::uint64_t offset, std::uint64_t size) noexcept {
#ifdef __linux__
  ::sync_file_range(fdOf(m_handle), static_cast<off_t>(offset), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
  (void)size;
#endif
}

int File::close() noexcept {
  if (m_handle == kClosed)
    return 0;
  int fd = fdOf(m_handle);
  m_handle = kClosed;
  return ::close(fd) == 0 ? 0 : errno;
}

int Folder::open(const std::filesystem::path& path, Folder& out) noexcept {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  out.release();
  out.m_handle = fd;
  out.m_path = path;
  return 0;
}

void Folder::release() noexcept {
  if (m_handle != File::kClosed)
    ::close(fdOf(m_handle));
  m_handle = File::kClosed;
}

int Folder::openFolder(std::string_view name, bool create, Folder& out) const noexcept {
  const std::string text = nameText(name);
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(fdOf(m_handle), text.c_str(), flags);
  if (fd < 0 && errno == ENOENT && create) {
    if (::mkdirat(fdOf(m_handle), text.c_str(), 0777) != 0 && errno != EEXIST)
      return errno;
    fd = ::openat(fdOf(m_handle), text.c_str(), flags);
  }
  if (fd < 0) {
    int err = errno;
    // O_NOFOLLOW on a link says ELOOP, O_DIRECTORY on one says ENOTDIR: tell them apart.
    Kind kind = kindOf(name);
    return kind == Kind::Link || kind == Kind::LinkedFolder ? ELOOP : err;
  }
  out.release();
  out.m_handle = fd;
  out.m_path = m_path / text;
  return 0;
}

int Folder::createFile(std::string_view name, File& out) const noexcept {
  int fd = ::openat(fdOf(m_handle), nameText(name).c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0)
    return errno;
  out = File(fd);
  return 0;
}

int Folder::openFile(std::string_view name, File& out) const noexcept {
  int fd = ::openat(fdOf(m_handle), nameText(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return errno;
  out = File(fd);
  return 0;
}

Kind Folder::kindOf(std::string_view name) const noexcept {
  const std::string text = nameText(name);
  struct stat st {};
  if (::fstatat(fdOf(m_handle), text.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return Kind::Missing;
  if (S_ISLNK(st.st_mode))
    return ::fstatat(fdOf(m_handle), text.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode)
               ? Kind::LinkedFolder
               : Kind::Link;
  if (S_ISDIR(st.st_mode))
    return Kind::Folder;
  return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

int Folder::rename(std::string_view from, std::string_view to, bool replace) const noexcept {
  const int fd = fdOf(m_handle);
  const std::string a = nameText(from), b = nameText(to);
  if (replace)
    return ::renameat(fd, a.c_str(), fd, b.c_str()) == 0 ? 0 : errno;
  if (::renameat2(fd, a.c_str(), fd, b.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL)
    return errno;
  // A file system without RENAME_NOREPLACE: a hard link fails the same way when the name
  // is taken.
  if (::linkat(fd, a.c_str(), fd, b.c_str(), 0) != 0)
    return errno;
  ::unlinkat(fd, a.c_str(), 0);
  return 0;
}

int Folder::remove(std::string_view name) const noexcept {
  return ::unlinkat(fdOf(m_handle), nameText(name).c_str(), 0) == 0 ? 0 : errno;
}

int Folder::list(std::vector<FolderItem>& out) const noexcept {
  int fd = ::openat(fdOf(m_handle), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    int err = errno;
    ::close(fd);
    return err;
  }
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = ::readdir(dir)) {
    std::string_view name = e->d_name;
    if (name != "." && name != "..")
      names.emplace_back(name);
    errno = 0;
  }
  int err = errno;
  ::closedir(dir);
  if (err != 0)
    return err;
  for (auto& name : names) {
    FolderItem item{std::move(name), Kind::Missing, 0};
    struct stat st {};
    if (::fstatat(fdOf(m_handle), item.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return errno;
    // One look at the item; a link is looked through once more to tell a folder's.
    item.kind = S_ISLNK(st.st_mode)   ? kindOf(item.name)
                : S_ISDIR(st.st_mode) ? Kind::Folder
                : S_ISREG(st.st_mode) ? Kind::File
                                      : Kind::Other;
    if (item.kind == Kind::File)
      item.size = static_cast<std::uint64_t>(st.st_size);
    out.push_back(std::move(item));
  }
  return 0;
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string nameProblem(std::string_view name) {
  if (name.find('\0') != std::string_view::npos)
    return "the name holds a NUL byte";
  return {};
}

bool namesIgnoreCase() {
  return false;
}

}  // namespace platform
