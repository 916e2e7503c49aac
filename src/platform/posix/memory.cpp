#include "platform/memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace platform {

namespace {

// The size of a large page on the systems that have them (x86-64 and most others).
constexpr std::size_t kLargePage = std::size_t{2} << 20;

}  // namespace

void PageBuffer::release() noexcept {
  if (m_block)
    ::munmap(m_block, m_blockSize);
  m_data = nullptr;
  m_block = nullptr;
  m_size = m_blockSize = 0;
}

std::span<std::uint8_t> PageBuffer::room(std::size_t size) {
  if (size <= m_size)
    return {m_data, m_size};
  const std::size_t want = std::max(size, 2 * m_size);
  if (want > SIZE_MAX - 2 * kLargePage)
    throw std::bad_alloc();
  // Whole large pages, starting on one: the block is a large page longer than the buffer.
  const std::size_t rounded = (want + kLargePage - 1) / kLargePage * kLargePage;
  const std::size_t blockSize = rounded + kLargePage;
  void* block =
      ::mmap(nullptr, blockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED)
    throw std::bad_alloc();
  release();
  m_block = block;
  m_blockSize = blockSize;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  m_data = reinterpret_cast<std::uint8_t*>((start + kLargePage - 1) / kLargePage * kLargePage);
  m_size = rounded;
#ifdef MADV_HUGEPAGE
  ::madvise(m_data, m_size, MADV_HUGEPAGE);  // a hint: without it the buffer works the same
#endif
  return {m_data, m_size};
}

}  // namespace platform
