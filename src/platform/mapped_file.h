// A whole file mapped read-only into memory. Archives are read through this: the
// readers see the real file size and never allocate for data that is not there.
//
// Another program may truncate the file while it is mapped, or the disk holding it may go
// away. Reading a mapped page that is gone raises a fault (SIGBUS, or an in-page error on
// Windows) that would end the process; instead, the faulting part of a live mapping is
// replaced by zeros and mappedPagesReplaced() counts it. Whoever read through a mapping
// checks that count before trusting what it read (and a write straight from such a page
// may fail): the data changed while it was being read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// "the archive changed while it was being read" (or the bank, naming what was read).
class MappingChanged : public std::runtime_error {
 public:
  explicit MappingChanged(std::string_view file = "archive")
      : std::runtime_error("the " + std::string(file) + " changed while it was being read") {}
};

// How many mapped pages had to be replaced by zeros since the program started.
std::uint64_t mappedPagesReplaced() noexcept;

// Made before reading through mappings; says whether a page was replaced since, so that
// whatever was read is not trusted. `file` names what was read in the message.
class MappingWatch {
 public:
  bool changed() const noexcept { return mappedPagesReplaced() != m_before; }
  void check(std::string_view file = "archive") const {
    if (changed())
      throw MappingChanged(file);
  }

 private:
  std::uint64_t m_before = mappedPagesReplaced();
};

class MappedFile {
 public:
  MappedFile() = default;
  // Throws std::system_error (with the path in its text) when the file cannot be
  // opened or mapped. An empty file maps to an empty span.
  explicit MappedFile(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const std::uint8_t> bytes() const { return {m_data, m_size}; }
  std::size_t size() const { return m_size; }

 private:
  void release() noexcept;
  const std::uint8_t* m_data = nullptr;
  std::size_t m_size = 0;
  int m_slot = -1;  // in the table of live mappings the fault handler knows
};

}  // namespace platform
