#include "util/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace util {

MappedFile::MappedFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    throw std::system_error(err, std::generic_category(),
                            "cannot read the size of " + path.string());
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw std::system_error(EISDIR, std::generic_category(), path.string() + " is not a file");
  }
  m_size = static_cast<std::size_t>(st.st_size);
  if (m_size > 0) {
    void* p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      int err = errno;
      ::close(fd);
      m_size = 0;
      throw std::system_error(err, std::generic_category(), "cannot map " + path.string());
    }
    m_data = static_cast<const std::uint8_t*>(p);
  }
  ::close(fd);
}

MappedFile::~MappedFile() {
  release();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
  }
  return *this;
}

void MappedFile::release() noexcept {
  if (m_data)
    ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
  m_data = nullptr;
  m_size = 0;
}

}  // namespace util
