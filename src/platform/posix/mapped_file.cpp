#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/files.h"

namespace platform {

namespace {

// The live mappings, in a fixed table the SIGBUS handler reads without locks. A slot is
// free (0), being filled (1) or live (2).
constexpr int kMappingSlots = 64;
struct MappingSlot {
  std::atomic<int> state{0};
  std::uintptr_t start = 0;
  std::size_t size = 0;
};
MappingSlot g_mappings[kMappingSlots];
std::atomic<std::uint64_t> g_replaced{0};
std::uintptr_t g_pageSize = 4096;
struct sigaction g_previousBusHandler {};

void onBusError(int, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (auto& slot : g_mappings) {
    if (slot.state.load(std::memory_order_acquire) != 2 || address < slot.start ||
        address - slot.start >= slot.size)
      continue;
    void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
    if (::mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      g_replaced.fetch_add(1, std::memory_order_seq_cst);
      return;  // the read is retried and finds zeros
    }
  }
  // Not a page of ours: the fault repeats under the handler that was there before.
  ::sigaction(SIGBUS, &g_previousBusHandler, nullptr);
}

void installBusHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    ::sigaction(SIGBUS, &action, &g_previousBusHandler);
  });
}

int registerMapping(const void* start, std::size_t size) {
  for (int i = 0; i < kMappingSlots; ++i) {
    int expected = 0;
    if (g_mappings[i].state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
      g_mappings[i].start = reinterpret_cast<std::uintptr_t>(start);
      g_mappings[i].size = size;
      g_mappings[i].state.store(2, std::memory_order_release);
      return i;
    }
  }
  return -1;  // more live mappings than slots: this one goes unguarded
}

}  // namespace

std::uint64_t mappedPagesReplaced() noexcept {
  return g_replaced.load(std::memory_order_seq_cst);
}

MappedFile::MappedFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw std::system_error(errno, std::generic_category(), "cannot open " + utf8(path));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    throw std::system_error(err, std::generic_category(), "cannot read the size of " + utf8(path));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw std::system_error(EISDIR, std::generic_category(), utf8(path) + " is not a file");
  }
  m_size = static_cast<std::size_t>(st.st_size);
  if (m_size > 0) {
    void* p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      int err = errno;
      ::close(fd);
      m_size = 0;
      throw std::system_error(err, std::generic_category(), "cannot map " + utf8(path));
    }
    m_data = static_cast<const std::uint8_t*>(p);
    installBusHandler();
    m_slot = registerMapping(p, m_size);
  }
  ::close(fd);
}

void MappedFile::release() noexcept {
  if (m_slot >= 0)
    g_mappings[m_slot].state.store(0, std::memory_order_release);
  m_slot = -1;
  if (m_data)
    ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
  m_data = nullptr;
  m_size = 0;
}

}  // namespace platform
