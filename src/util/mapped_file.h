// A whole file mapped read-only into memory. Archives are read through this: the
// readers see the real file size and never allocate for data that is not there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace util {

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
};

}  // namespace util
