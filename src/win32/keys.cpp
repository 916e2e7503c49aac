// What the window adds to the design: the filter line over the file list, the Cancel
// button, and the keys (Ctrl+O, Ctrl+E, Ctrl+A, Ctrl+F, Escape, F1).
#include <windows.h>

#include <commctrl.h>

#include "app/commands/filter.h"
#include "platform/windows/windows_text.h"
#include "win32/form1.h"

namespace win32 {

using platform::windows::narrow;
using platform::windows::wide;

void Form1::buildAddedControls(int firstId) {
  int id = firstId;
  for (const auto& d : app::addedControls()) {
    HWND parent = d.parent == "Frame1" ? m_controls.at("Frame1") : m_hwnd;
    const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_hwnd, GWLP_HINSTANCE));
    HWND w = nullptr;
    if (d.kind == app::ControlKind::TextBox) {
      w = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL,
                            0, 0, 0, 0, parent, menu, instance, nullptr);
      // The caption is the hint the line shows while it is empty.
      ::SendMessageW(w, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(wide(d.caption).c_str()));
      m_filter = w;
    } else {
      w = ::CreateWindowExW(
          0, WC_BUTTONW, wide(d.caption).c_str(),
          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, 0,
          0, 0, parent, menu, instance, nullptr);
      m_cancel = w;
    }
    ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    ::SetWindowPos(w, HWND_TOP, toPixels(d.left), toPixels(d.top), toPixels(d.width),
                   toPixels(d.height), SWP_NOACTIVATE);
    m_controls.emplace(std::string(d.name), w);
    ++id;
  }
}

void Form1::onFilterChanged() {
  // The list must not change under a command; the filter line is disabled while one runs.
  if (m_running)
    return;
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(m_filter)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(m_filter, text.data(), static_cast<int>(text.size()))));
  app::filterList(m_context, narrow(text));
}

void Form1::clickIfEnabled(std::string_view button) {
  HWND w = control(button);
  if (w && ::IsWindowEnabled(w))
    ::SendMessageW(::GetParent(w), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(w), BN_CLICKED),
                   reinterpret_cast<LPARAM>(w));
}

void Form1::helpUnderMouse() {
  POINT mouse;
  ::GetCursorPos(&mouse);
  for (const auto& group : app::helpAreas()) {
    RECT area;
    ::GetWindowRect(control(group.area), &area);
    if (::PtInRect(&area, mouse)) {
      clickIfEnabled(group.help);
      return;
    }
  }
}

bool Form1::handleKey(const MSG& message) {
  if (message.message != WM_KEYDOWN)
    return false;
  const bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const HWND focus = message.hwnd;
  switch (message.wParam) {
    case 'A':
      // Ctrl+A selects the text of the box it is typed in, and the list's entries elsewhere.
      if (!ctrl)
        return false;
      if (focus == m_logPane || focus == m_filter || focus == control("Text1"))
        ::SendMessageW(focus, EM_SETSEL, 0, -1);
      else
        clickIfEnabled("butSelectAll");
      return true;
    case 'O':
    case 'E':
      if (!ctrl)
        return false;
      clickIfEnabled(message.wParam == 'O' ? "butSelectMPAKfile" : "butMassExtract");
      return true;
    case 'F':
      if (!ctrl || !::IsWindowEnabled(m_filter))
        return false;
      ::SetFocus(m_filter);
      ::SendMessageW(m_filter, EM_SETSEL, 0, -1);
      return true;
    case VK_ESCAPE:
      if (m_running)
        m_state.cancelRequested = true;
      else if (focus == m_filter)
        ::SetWindowTextW(m_filter, L"");
      return m_running || focus == m_filter;
    case VK_RETURN:
      // Enter in the filter line goes on to the list.
      if (focus != m_filter)
        return false;
      ::SetFocus(m_list);
      return true;
    case VK_F1:
      helpUnderMouse();
      return true;
    default:
      return false;
  }
}

}  // namespace win32
