#include "platform/temporary.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace platform {

namespace {

// A fixed table, so the signal handler reads it without locks or allocation. A slot is
// free (0), being filled (1) or live (2).
constexpr int kSlots = 64;
struct Slot {
  std::atomic<int> state{0};
  int dirFd = AT_FDCWD;
  char name[PATH_MAX] = {};
};
Slot g_slots[kSlots];

static_assert(std::atomic<int>::is_always_lock_free);

int claimSlot(int dirFd, const std::string& name) {
  if (name.size() >= PATH_MAX)
    return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (g_slots[i].state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
      g_slots[i].dirFd = dirFd;
      std::memcpy(g_slots[i].name, name.c_str(), name.size() + 1);
      g_slots[i].state.store(2, std::memory_order_release);
      return i;
    }
  }
  return -1;  // more live temporaries than slots: this one goes unguarded
}

void onSignal(int signal) {
  removeLiveTemporaries();
  // The handler was reset on entry (SA_RESETHAND); the raised signal is delivered with its
  // default action as soon as this handler returns.
  ::raise(signal);
}

}  // namespace

unsigned processId() {
  return static_cast<unsigned>(::getpid());
}

TemporaryFile::TemporaryFile(const Folder& folder, std::string name)
    : m_folder(folder.handle()), m_name(std::move(name)) {
  remember();
}

TemporaryFile::TemporaryFile(const std::filesystem::path& path)
    : m_folder(AT_FDCWD), m_path(path), m_name(path.string()) {
  remember();
}

void TemporaryFile::remember() noexcept {
  m_slot = claimSlot(static_cast<int>(m_folder), m_name);
}

TemporaryFile::~TemporaryFile() {
  if (!m_released)
    ::unlinkat(static_cast<int>(m_folder), m_name.c_str(), 0);
  release();
}

void TemporaryFile::release() noexcept {
  m_released = true;
  if (m_slot >= 0)
    g_slots[m_slot].state.store(0, std::memory_order_release);
  m_slot = -1;
}

void removeLiveTemporaries() noexcept {
  for (auto& slot : g_slots)
    if (slot.state.load(std::memory_order_acquire) == 2)
      ::unlinkat(slot.dirFd, slot.name, 0);
}

void installInterruptCleanup() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
      continue;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &action, nullptr);
  }
  // A write past the file-size limit (ulimit -f) would otherwise end the process at once,
  // leaving its temporaries; ignored, the write fails with EFBIG and is reported like a
  // full disk.
  ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace platform
