#include "win32/single_instance.h"

#include <cstdint>
#include <cwctype>

#include "platform/windows/windows_text.h"

namespace win32 {

using platform::windows::narrow;
using platform::windows::wide;

namespace {

constexpr wchar_t kReceiverClass[] = L"TarnwickInstance";
constexpr ULONG_PTR kArchiveData = 0x54574B31;  // marks the data a later instance sends

// One name per program folder, whatever the letter case of its path.
std::wstring nameOf(const std::string& programFolder) {
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : wide(programFolder)) {
    hash ^= static_cast<std::uint64_t>(std::towlower(c));
    hash *= 1099511628211ull;
  }
  wchar_t text[32];
  ::wsprintfW(text, L"%08lX%08lX", static_cast<unsigned long>(hash >> 32),
              static_cast<unsigned long>(hash & 0xFFFFFFFFu));
  return L"Tarnwick-" + std::wstring(text);
}

}  // namespace

SingleInstance::SingleInstance(const std::string& programFolder) : m_name(nameOf(programFolder)) {
  m_mutex = ::CreateMutexW(nullptr, FALSE, (L"Local\\" + m_name).c_str());
  m_first = m_mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
}

SingleInstance::~SingleInstance() {
  if (m_receiver)
    ::DestroyWindow(m_receiver);
  if (m_mutex)
    ::CloseHandle(m_mutex);
}

void SingleInstance::listen(HINSTANCE instance, std::function<void(const std::string&)> receive) {
  m_receive = std::move(receive);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &SingleInstance::receiverProc;
  wc.hInstance = instance;
  wc.lpszClassName = kReceiverClass;
  ::RegisterClassExW(&wc);
  m_receiver = ::CreateWindowExW(0, kReceiverClass, m_name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, instance, nullptr);
  ::SetWindowLongPtrW(m_receiver, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK SingleInstance::receiverProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = reinterpret_cast<SingleInstance*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message != WM_COPYDATA || !self)
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (data.dwData != kArchiveData || data.cbData % sizeof(wchar_t) != 0)
    return FALSE;
  // Copied before the sender goes on; the receiver opens it from the message loop.
  const std::wstring path(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
  if (self->m_receive)
    self->m_receive(narrow(path));
  return TRUE;
}

void SingleInstance::forward(const std::string& archive) const {
  HWND receiver = nullptr;
  for (int tries = 0; tries < 40 && !receiver; ++tries) {
    receiver = ::FindWindowExW(HWND_MESSAGE, nullptr, kReceiverClass, m_name.c_str());
    if (!receiver)
      ::Sleep(50);
  }
  if (!receiver)
    return;
  DWORD process = 0;
  ::GetWindowThreadProcessId(receiver, &process);
  ::AllowSetForegroundWindow(process);
  const std::wstring path = wide(archive);
  COPYDATASTRUCT data{kArchiveData, static_cast<DWORD>(path.size() * sizeof(wchar_t)),
                      const_cast<wchar_t*>(path.data())};
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                        15000, &answer);
}

}  // namespace win32
