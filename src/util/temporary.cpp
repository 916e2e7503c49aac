#include "util/temporary.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace util {

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

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string temporaryName(std::string_view fileName) {
  static std::atomic<unsigned> counter{0};
  std::string name(1, '.');
  if (!fileName.empty()) {
    name += fileName.substr(0, 200);
    name += '.';
  }
  name += "tw";
  name += std::to_string(::getpid());
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

TemporaryFile::TemporaryFile(int dirFd, std::string name)
    : m_dirFd(dirFd), m_name(std::move(name)), m_slot(claimSlot(dirFd, m_name)) {}

TemporaryFile::~TemporaryFile() {
  if (!m_released)
    ::unlinkat(m_dirFd, m_name.c_str(), 0);
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

void installTemporaryCleanup() {
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

}  // namespace util
