// Bounds-checked little-endian reading from a byte span.
//
// Every read names the position it reads; a read that would run past the end of the
// span throws util::RangeError whose text says what was read, where, and how far the
// data goes, so callers can wrap it with the record they were walking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace util {

class RangeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "0x1F4": upper-case hexadecimal with a 0x prefix, for positions in messages.
std::string hexOffset(std::uint64_t offset);

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  std::size_t size() const { return m_bytes.size(); }

  // True when count bytes starting at offset lie inside the data (no overflow).
  bool fits(std::uint64_t offset, std::uint64_t count) const {
    return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
  }

  // Throws RangeError naming `what` when [offset, offset + count) is not inside the data.
  void require(std::uint64_t offset, std::uint64_t count, std::string_view what) const;

  std::uint8_t u8(std::uint64_t offset, std::string_view what) const {
    require(offset, 1, what);
    return m_bytes[offset];
  }
  std::uint16_t u16(std::uint64_t offset, std::string_view what) const {
    require(offset, 2, what);
    return static_cast<std::uint16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
  }
  std::uint32_t u32(std::uint64_t offset, std::string_view what) const {
    require(offset, 4, what);
    return static_cast<std::uint32_t>(m_bytes[offset]) |
           (static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24);
  }
  std::span<const std::uint8_t> bytes(std::uint64_t offset, std::uint64_t count,
                                      std::string_view what) const {
    require(offset, count, what);
    return m_bytes.subspan(offset, count);
  }
  std::string text(std::uint64_t offset, std::uint64_t count, std::string_view what) const {
    auto b = bytes(offset, count, what);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
  }

 private:
  std::span<const std::uint8_t> m_bytes;
};

}  // namespace util
