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
#include "platform/mapping_table.h"

namespace platform {

namespace {

std::uintptr_t g_pageSize = 4096;
struct sigaction g_previousBusHandler {};

void onBusError(int, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (auto& slot : mappings::table) {
    if (slot.state.load(std::memory_order_acquire) != 2 || address < slot.start ||
        address - slot.start >= slot.size)
      continue;
    void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
    if (::mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      mappings::countReplaced();
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

}  // namespace

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
    m_slot = mappings::add(p, m_size);
  }
  ::close(fd);
}

void MappedFile::release() noexcept {
  if (m_slot >= 0)
    mappings::table[m_slot].state.store(0, std::memory_order_release);
  m_slot = -1;
  if (m_data)
    ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
  m_data = nullptr;
  m_size = 0;
}

}  // namespace platform
