// The parts of the platform layer that are the same on every system.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/mapping_table.h"
#include "platform/memory.h"
#include "platform/temporary.h"

namespace platform {

namespace {

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string errorText(int err) {
  // The C libraries word a few of these differently or not at all; one table keeps the
  // messages the same on every system.
  switch (err) {
    case ENOENT:
      return "No such file or directory";
    case EACCES:
      return "Permission denied";
    case EEXIST:
      return "File exists";
    case ENOTDIR:
      return "Not a directory";
    case EISDIR:
      return "Is a directory";
    case ENOSPC:
      return "No space left on device";
    case EROFS:
      return "Read-only file system";
    case EFBIG:
      return "File too large";
    case EIO:
      return "Input/output error";
    case ELOOP:
      return "Too many levels of symbolic links";
    case ENAMETOOLONG:
      return "File name too long";
    default:
      return std::strerror(err);
  }
}

int File::copyThroughMemory(File& source, std::uint64_t from, std::uint64_t size,
                            std::uint64_t at) noexcept {
  if (size == 0)
    return 0;
  // One piece per thread, kept: a copy per entry must not cost an allocation each.
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  thread_local std::unique_ptr<std::uint8_t[]> piece;
  if (!piece)
    piece.reset(new (std::nothrow) std::uint8_t[kPiece]);
  if (!piece)
    return ENOMEM;
  while (size > 0) {
    const std::int64_t n = source.readAt(
        from, {piece.get(), static_cast<std::size_t>(std::min<std::uint64_t>(size, kPiece))});
    if (n <= 0)
      return n == 0 ? ENODATA : static_cast<int>(-n);
    if (int err = writeAt(at, {piece.get(), static_cast<std::size_t>(n)}))
      return err;
    from += static_cast<std::uint64_t>(n);
    at += static_cast<std::uint64_t>(n);
    size -= static_cast<std::uint64_t>(n);
  }
  return 0;
}

PageBuffer::~PageBuffer() {
  release();
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_block(std::exchange(other.m_block, nullptr)),
      m_blockSize(std::exchange(other.m_blockSize, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_block = std::exchange(other.m_block, nullptr);
    m_blockSize = std::exchange(other.m_blockSize, 0);
  }
  return *this;
}

void throwFileError(int err, std::string_view what, const std::filesystem::path& path) {
  std::string text(what);
  text += ' ';
  text += utf8(path);
  throw std::system_error(err, std::generic_category(), text);
}

std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string utf8(const std::filesystem::path& path) {
  auto text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string temporaryName(std::string_view fileName) {
  static std::atomic<unsigned> counter{0};
  std::string name(1, '.');
  if (!fileName.empty()) {
    name += fileName.substr(0, 200);
    name += '.';
  }
  name += "tw";
  name += std::to_string(processId());
  name += '-';
  name += std::to_string(counter++);
  name += ".tmp";
  return name;
}

bool isTemporaryName(std::string_view name) {
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() < 1 + 2 + 1 + 1 + 1 + kEnd.size() || name.front() != '.' || !name.ends_with(kEnd))
    return false;
  name.remove_suffix(kEnd.size());
  auto tw = name.rfind("tw");
  if (tw == std::string_view::npos || (tw != 1 && name[tw - 1] != '.'))
    return false;
  auto numbers = name.substr(tw + 2);
  auto dash = numbers.find('-');
  return dash != std::string_view::npos && allDigits(numbers.substr(0, dash)) &&
         allDigits(numbers.substr(dash + 1));
}

File::File(File&& other) noexcept : m_handle(other.m_handle) {
  other.m_handle = kClosed;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    m_handle = other.m_handle;
    other.m_handle = kClosed;
  }
  return *this;
}

File::~File() {
  close();
}

namespace mappings {

Slot table[kSlots];
std::atomic<std::uint64_t> replaced{0};

int add(const void* start, std::size_t size) {
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (table[i].state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
      table[i].start = reinterpret_cast<std::uintptr_t>(start);
      table[i].size = size;
      table[i].state.store(2, std::memory_order_release);
      return i;
    }
  }
  return -1;
}

void countReplaced() {
  replaced.fetch_add(1, std::memory_order_seq_cst);
}

}  // namespace mappings

std::uint64_t mappedPagesReplaced() noexcept {
  return mappings::replaced.load(std::memory_order_seq_cst);
}

MappedFile::~MappedFile() {
  release();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_slot(std::exchange(other.m_slot, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_slot = std::exchange(other.m_slot, -1);
  }
  return *this;
}

Folder::Folder(Folder&& other) noexcept
    : m_handle(other.m_handle), m_path(std::move(other.m_path)) {
  other.m_handle = File::kClosed;
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    release();
    m_handle = other.m_handle;
    m_path = std::move(other.m_path);
    other.m_handle = File::kClosed;
  }
  return *this;
}

Folder::~Folder() {
  release();
}

}  // namespace platform
