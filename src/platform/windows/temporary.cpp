#include "platform/temporary.h"

#include <atomic>
#include <cwchar>

#include "platform/windows/windows_text.h"

namespace platform {

namespace {

// A fixed table, so the console handler reads it without locks or allocation. A slot is
// free (0), being filled (1) or live (2).
constexpr int kSlots = 64;
constexpr std::size_t kMaxPath = 4096;
struct Slot {
  std::atomic<int> state{0};
  wchar_t path[kMaxPath] = {};
};
Slot g_slots[kSlots];
// Set when an interrupt ends the process: no new temporary may start after it.
std::atomic<bool> g_closing{false};

// A thread that would start a temporary while the process is being ended waits for the end.
void stopIfClosing() {
  if (g_closing.load(std::memory_order_seq_cst))
    ::Sleep(INFINITE);
}

int claimSlot(const std::wstring& path) {
  stopIfClosing();
  if (path.size() >= kMaxPath)
    return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (g_slots[i].state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
      std::wmemcpy(g_slots[i].path, path.c_str(), path.size() + 1);
      g_slots[i].state.store(2, std::memory_order_seq_cst);
      stopIfClosing();  // registered, its file not made: the sweep has it or it waits
      return i;
    }
  }
  return -1;  // more live temporaries than slots: this one goes unguarded
}

// Ctrl+C, Ctrl+Break, a closed console, a log-off or a shutdown: the temporaries go and the
// process ends at once, as the system's own handler would end it and with its exit status
// (Wine's would report success), before another thread starts a new temporary.
BOOL WINAPI onConsoleEvent(DWORD) {
  g_closing.store(true, std::memory_order_seq_cst);
  removeLiveTemporaries();
  // A thread registered just before may still be making its file: give it a moment and
  // sweep again (the file, open or not, is deleted at the latest when the process ends).
  ::Sleep(50);
  removeLiveTemporaries();
  ::TerminateProcess(::GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

}  // namespace

unsigned processId() {
  return static_cast<unsigned>(::GetCurrentProcessId());
}

TemporaryFile::TemporaryFile(const Folder& folder, std::string name)
    : m_folder(folder.handle()),
      m_path(folder.path() / pathFromUtf8(name)),
      m_name(std::move(name)) {
  remember();
}

TemporaryFile::TemporaryFile(const std::filesystem::path& path)
    : m_folder(File::kClosed), m_path(path), m_name(utf8(path)) {
  remember();
}

void TemporaryFile::remember() noexcept {
  try {
    m_slot = claimSlot(windows::longPath(m_path));
  } catch (...) {
    m_slot = -1;
  }
}

TemporaryFile::~TemporaryFile() {
  if (!m_released)
    ::DeleteFileW(windows::longPath(m_path).c_str());
  release();
}

void TemporaryFile::release() noexcept {
  m_released = true;
  if (m_slot >= 0)
    g_slots[m_slot].state.store(0, std::memory_order_release);
  m_slot = -1;
}

void removeLiveTemporaries() noexcept {
  // A file still open is deleted when its last handle closes, at the latest as the
  // process ends.
  for (auto& slot : g_slots)
    if (slot.state.load(std::memory_order_acquire) == 2)
      ::DeleteFileW(slot.path);
}

void installInterruptCleanup() {
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace platform
