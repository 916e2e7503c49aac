// Large buffers that are filled again and again: inflating a whole entry, reading one in.
// Where the system has large pages the buffer asks for them, so that filling it for the
// first time takes a handful of page faults rather than one per 4 KiB (which in a virtual
// machine can cost more than the inflating).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

class PageBuffer {
 public:
  PageBuffer() = default;
  ~PageBuffer();
  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  // At least `size` bytes, their content undefined; a smaller buffer is replaced by a new
  // one of at least twice its size. Throws std::bad_alloc.
  std::span<std::uint8_t> room(std::size_t size);

 private:
  void release() noexcept;
  std::uint8_t* m_data = nullptr;
  std::size_t m_size = 0;
  void* m_block = nullptr;  // what the system gave, around m_data
  std::size_t m_blockSize = 0;
};

}  // namespace platform
