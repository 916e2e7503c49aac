#include "util/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace util {
namespace {

[[noreturn]] void fail(int err, const std::string& what, const std::filesystem::path& path) {
  throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

void writeAll(int fd, const std::uint8_t* data, std::size_t size,
              const std::filesystem::path& path) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      fail(errno, "cannot write", path);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

std::filesystem::path temporaryBeside(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  std::string name(1, '.');
  name += path.filename().string();
  name += ".tw";
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(counter++);
  name += ".tmp";
  return path.parent_path() / name;
}

}  // namespace

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
  auto tmp = temporaryBeside(path);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    fail(errno, "cannot create", path);
  try {
    writeAll(fd, bytes.data(), bytes.size(), path);
  } catch (...) {
    ::close(fd);
    ::unlink(tmp.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    fail(err, "cannot write", path);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    fail(err, "cannot replace", path);
  }
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
