#include "util/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "util/temporary.h"

namespace util {
namespace {

[[noreturn]] void fail(int err, const std::string& what, const std::filesystem::path& path) {
  throwFileError(err, what, path);
}

void writeAll(int fd, const std::uint8_t* data, std::size_t size,
              const std::filesystem::path& path) {
  if (int err = writeAllAt(fd, 0, {data, size}))
    fail(err, "cannot write", path);
}

}  // namespace

void throwFileError(int err, std::string_view what, const std::filesystem::path& path) {
  std::string text(what);
  text += ' ';
  text += path.string();
  throw std::system_error(err, std::generic_category(), text);
}

int writeAllAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) noexcept {
  const std::uint8_t* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::pwrite(fd, data, left, static_cast<off_t>(offset));
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

std::string readWholeFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    fail(errno, "cannot open", path);
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      int err = errno;
      ::close(fd);
      fail(err, "cannot read", path);
    }
    if (n == 0)
      break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  TemporaryFile tmp(AT_FDCWD,
                    (path.parent_path() / temporaryName(path.filename().string())).string());
  int fd = ::open(tmp.name().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    fail(errno, "cannot create", path);
  int err = writeAllAt(fd, 0, bytes);
  if (::close(fd) != 0 && err == 0)
    err = errno;
  if (err != 0)
    fail(err, "cannot write", path);
  if (::rename(tmp.name().c_str(), path.c_str()) != 0)
    fail(errno, "cannot replace", path);
  tmp.release();
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  writeFileAtomically(path,
                      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool writeFileIfAbsent(const std::filesystem::path& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST)
      return false;
    fail(errno, "cannot create", path);
  }
  try {
    writeAll(fd, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path);
  } catch (...) {
    ::close(fd);
    ::unlink(path.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(path.c_str());
    fail(err, "cannot write", path);
  }
  return true;
}

}  // namespace util
