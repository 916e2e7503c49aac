#include "platform/mapped_file.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/files.h"
#include "platform/mapping_table.h"
#include "platform/windows/windows_text.h"

namespace platform {

namespace {

// Beyond the table's states, a slot here is being replaced (3) or replaced by zeros (4).

// A page of a mapped file that cannot be read (the file shrank, the network or the disk
// went away) raises an in-page error. The whole view is given up for zeros at the same
// address, and the read is retried there. A thread that touches the view while another
// replaces it sees an access violation at that address and waits for the zeros.
LONG CALLBACK onPageFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if ((record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR &&
       record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) ||
      record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  const auto address = static_cast<std::uintptr_t>(record->ExceptionInformation[1]);
  for (auto& slot : mappings::table) {
    int state = slot.state.load(std::memory_order_acquire);
    if (state < 2 || address < slot.start || address - slot.start >= slot.size)
      continue;
    // A read (never a write) of a live view that faults: the page is gone. Wine reports a
    // page cut off by a shorter file as an access violation, Windows as an in-page error.
    const bool read = record->ExceptionInformation[0] == 0;
    if (state == 2 && read &&
        slot.state.compare_exchange_strong(state, 3, std::memory_order_acq_rel)) {
      void* base = reinterpret_cast<void*>(slot.start);
      ::UnmapViewOfFile(base);
      if (::VirtualAlloc(base, slot.size, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) != base) {
        slot.state.store(0, std::memory_order_release);  // lost: the fault ends the process
        return EXCEPTION_CONTINUE_SEARCH;
      }
      mappings::countReplaced();
      slot.state.store(4, std::memory_order_release);
      return EXCEPTION_CONTINUE_EXECUTION;
    }
    while (slot.state.load(std::memory_order_acquire) == 3)
      ::SwitchToThread();
    return read && slot.state.load(std::memory_order_acquire) == 4 ? EXCEPTION_CONTINUE_EXECUTION
                                                                   : EXCEPTION_CONTINUE_SEARCH;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void installFaultHandler() {
  static std::once_flag once;
  std::call_once(once, [] { ::AddVectoredExceptionHandler(1, onPageFault); });
}

[[noreturn]] void fail(int err, const std::string& what) {
  throw std::system_error(err, std::generic_category(), what);
}

}  // namespace

MappedFile::MappedFile(const std::filesystem::path& path) {
  HANDLE file = ::CreateFileW(windows::longPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const int err = windows::lastErrno();
    // A folder cannot be opened as a file at all; say what it is, as everywhere.
    const DWORD attributes = ::GetFileAttributesW(windows::longPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      fail(EISDIR, utf8(path) + " is not a file");
    fail(err, "cannot open " + utf8(path));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) {
    int err = windows::lastErrno();
    ::CloseHandle(file);
    fail(err, "cannot read the size of " + utf8(path));
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::CloseHandle(file);
    fail(EISDIR, utf8(path) + " is not a file");
  }
  const std::uint64_t size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > 0) {
    HANDLE section = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = section ? ::MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0) : nullptr;
    int err = view ? 0 : windows::lastErrno();
    if (section)
      ::CloseHandle(section);
    if (!view) {
      ::CloseHandle(file);
      fail(err, "cannot map " + utf8(path));
    }
    m_data = static_cast<const std::uint8_t*>(view);
    m_size = static_cast<std::size_t>(size);
    installFaultHandler();
    m_slot = mappings::add(view, m_size);
  }
  ::CloseHandle(file);
}

void MappedFile::release() noexcept {
  bool zeros = false;
  if (m_slot >= 0) {
    zeros = mappings::table[m_slot].state.load(std::memory_order_acquire) == 4;
    mappings::table[m_slot].state.store(0, std::memory_order_release);
  }
  m_slot = -1;
  if (m_data) {
    void* base = const_cast<std::uint8_t*>(m_data);
    if (zeros)
      ::VirtualFree(base, 0, MEM_RELEASE);
    else
      ::UnmapViewOfFile(base);
  }
  m_data = nullptr;
  m_size = 0;
}

}  // namespace platform
