// One window per program folder. The first instance holds a named mutex and a hidden
// message window named after the program folder; a later instance hands the archive it was
// started with to that window (WM_COPYDATA) and ends at once. Both go with the first
// instance, however it ends.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace win32 {

class SingleInstance {
 public:
  explicit SingleInstance(const std::string& programFolder);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  bool isFirst() const { return m_first; }
  // For the first instance: from here on `receive` gets every archive a later instance
  // hands over, from the message loop.
  void listen(HINSTANCE instance, std::function<void(const std::string&)> receive);
  // For a later instance: hands `archive` (a full path; empty only raises the window) to
  // the first one. Waits two seconds at most for it to listen, and 15 s for it to take the
  // archive (a command that runs a tool takes messages only when the tool has ended).
  void forward(const std::string& archive) const;

 private:
  static LRESULT CALLBACK receiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  std::wstring m_name;
  HANDLE m_mutex = nullptr;
  HWND m_receiver = nullptr;
  std::function<void(const std::string&)> m_receive;
  bool m_first = false;
};

}  // namespace win32
