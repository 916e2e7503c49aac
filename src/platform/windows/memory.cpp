#include "platform/memory.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace platform {

// Large pages on Windows need a privilege users do not hold; committed pages from the
// system still spare the heap's bookkeeping for buffers of this size.

void PageBuffer::release() noexcept {
  if (m_block)
    ::VirtualFree(m_block, 0, MEM_RELEASE);
  m_data = nullptr;
  m_block = nullptr;
  m_size = m_blockSize = 0;
}

std::span<std::uint8_t> PageBuffer::room(std::size_t size) {
  if (size <= m_size)
    return {m_data, m_size};
  const std::size_t want = std::max<std::size_t>(std::max(size, 2 * m_size), 1);
  void* block = ::VirtualAlloc(nullptr, want, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!block)
    throw std::bad_alloc();
  release();
  m_block = block;
  m_blockSize = want;
  m_data = static_cast<std::uint8_t*>(block);
  m_size = want;
  return {m_data, m_size};
}

}  // namespace platform
