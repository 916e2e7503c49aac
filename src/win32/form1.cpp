#include "win32/form1.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "app/commands/command_table.h"
#include "app/commands/load.h"
#include "app/startup.h"
#include "platform/temporary.h"
#include "platform/windows/windows_text.h"
#include "util/version.h"
#include "win32/controls.h"

namespace win32 {

using platform::windows::narrow;
using platform::windows::wide;

namespace {

constexpr wchar_t kWindowClass[] = L"TarnwickForm1";
constexpr UINT_PTR kFrameTimer = 1;
constexpr DWORD kRepaintFrameMs = 20;
constexpr int kFirstControlId = 100;

Form1* formOf(HWND hwnd) {
  return reinterpret_cast<Form1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Text for an edit control: every line ended by CR LF.
std::wstring withCrLf(const std::string& text) {
  std::wstring w = wide(text), out;
  out.reserve(w.size() + w.size() / 16);
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (w[i] == L'\n' && (i == 0 || w[i - 1] != L'\r'))
      out.push_back(L'\r');
    out.push_back(w[i]);
  }
  return out;
}

bool overlaps(const app::ControlDesign& a, const app::ControlDesign& b) {
  return a.parent == b.parent && a.left < b.left + b.width && b.left < a.left + a.width &&
         a.top < b.top + b.height && b.top < a.top + a.height;
}

// A label that lies on a border: a group's heading.
bool onBorder(const app::ControlDesign& label) {
  const auto design = app::formDesign();
  return label.kind == app::ControlKind::Label &&
         std::any_of(design.begin(), design.end(), [&](const app::ControlDesign& other) {
           return other.kind == app::ControlKind::Shape && overlaps(label, other);
         });
}

}  // namespace

Form1::Form1(app::Settings& settings) : m_settings(settings), m_shell(*this, m_state) {}

Form1::~Form1() {
  if (m_font)
    ::DeleteObject(m_font);
  if (m_fixedFont)
    ::DeleteObject(m_fixedFont);
  if (m_captionFont)
    ::DeleteObject(m_captionFont);
}

int Form1::toPixels(double twips) const {
  return static_cast<int>(std::lround(twips * m_dpi / app::kTwipsPerInch));
}
double Form1::toTwips(int pixels) const {
  return pixels * static_cast<double>(app::kTwipsPerInch) / m_dpi;
}

bool Form1::create(HINSTANCE instance, const std::string& programFolder,
                   const std::string& helpFolder) {
  registerFrameClass(instance);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Form1::windowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  wc.hIcon = ::LoadIconW(instance, L"APPICON");
  ::RegisterClassExW(&wc);

  HDC screen = ::GetDC(nullptr);
  m_dpi = std::max(1, ::GetDeviceCaps(screen, LOGPIXELSY));
  ::ReleaseDC(nullptr, screen);
  m_font = designFont(m_dpi, 8, false);
  m_captionFont = designFont(m_dpi, 6, false);
  m_fixedFont = designFont(m_dpi, 9, true);

  RECT outer{0, 0, toPixels(app::kDesignClientWidth), toPixels(app::kDesignClientHeight)};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  ::AdjustWindowRectEx(&outer, style, FALSE, WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT);
  m_hwnd = ::CreateWindowExW(WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kWindowClass, L"", style,
                             CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                             outer.bottom - outer.top, nullptr, nullptr, instance, this);
  if (!m_hwnd)
    return false;
  buildControls();
  m_state.helpFolder = helpFolder;
  return app::Startup(*this, m_state, programFolder);
}

void Form1::buildControls() {
  int id = kFirstControlId;
  for (const auto& d : app::formDesign()) {
    HWND parent = d.parent == "Frame1" ? m_controls.at("Frame1") : m_hwnd;
    HWND w = makeControl(d, parent, id);
    ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(d.fixedPitch ? m_fixedFont : m_font),
                   FALSE);
    ::SetWindowPos(w, nullptr, toPixels(d.left), toPixels(d.top), toPixels(d.width),
                   toPixels(d.height), SWP_NOZORDER | SWP_NOACTIVATE);
    m_controls.emplace(std::string(d.name), w);
    if (d.kind == app::ControlKind::Button)
      m_buttonNames.emplace(id, std::string(d.name));
    if (d.kind == app::ControlKind::Button || d.kind == app::ControlKind::CheckBox)
      fitCaption(w, m_dpi);
    ++id;
  }
  stackControls();
  buildAddedControls(id);
  ::SetWindowTextW(control("Text1"), L"Text1");
}

void Form1::stackControls() {
  // From the top down: the buttons, boxes and panes in the order of the design, the labels
  // (which have no background to hide what they lie on), the groups' borders.
  const auto design = app::formDesign();
  auto raise = [&](auto&& wanted) {
    for (auto d = design.rbegin(); d != design.rend(); ++d)
      if (wanted(*d))
        ::SetWindowPos(m_controls.at(std::string(d->name)), HWND_TOP, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  };
  using K = app::ControlKind;
  raise([](const app::ControlDesign& d) { return d.kind == K::Shape; });
  raise([](const app::ControlDesign& d) { return d.kind == K::Label; });
  raise([](const app::ControlDesign& d) { return d.kind != K::Shape && d.kind != K::Label; });
  // A label on a border is its group's heading, drawn with the border's line.
  for (const auto& label : design)
    for (const auto& border : design)
      if (label.kind == K::Label && border.kind == K::Shape && overlaps(label, border))
        m_headings[m_controls.at(std::string(label.name))] =
            m_controls.at(std::string(border.name));
}

HWND Form1::makeControl(const app::ControlDesign& d, HWND parent, int id) {
  const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_hwnd, GWLP_HINSTANCE));
  const std::wstring caption = wide(d.caption);
  auto make = [&](DWORD exStyle, const wchar_t* cls, DWORD style) {
    return ::CreateWindowExW(exStyle, cls, caption.c_str(),
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent,
                             menu, instance, nullptr);
  };
  switch (d.kind) {
    case app::ControlKind::Label:
      // A heading on a border draws itself with the border's line (stackControls).
      return make(0, WC_STATICW, onBorder(d) ? SS_OWNERDRAW : SS_LEFT | SS_NOPREFIX);
    case app::ControlKind::Button:
      return make(0, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP);
    case app::ControlKind::CheckBox:
      return make(0, WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP);
    case app::ControlKind::ListBox:
      m_list = make(WS_EX_CLIENTEDGE, WC_LISTBOXW,
                    LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_HSCROLL |
                        WS_TABSTOP);
      return m_list;
    case app::ControlKind::TextBox:
      return make(WS_EX_CLIENTEDGE, WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP);
    case app::ControlKind::LogPane:
      m_logPane = make(WS_EX_CLIENTEDGE, WC_EDITW,
                       ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL |
                           WS_HSCROLL | WS_TABSTOP);
      ::SendMessageW(m_logPane, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
      return m_logPane;
    case app::ControlKind::Frame:
      // The caption sits on the frame's top line, small enough to stay clear of the
      // progress bar just below the line.
      return makeFrame(parent, caption, menu, instance, m_captionFont);
    case app::ControlKind::Shape:
      return make(0, WC_STATICW, SS_OWNERDRAW);
    case app::ControlKind::Image:
    case app::ControlKind::ProgressBar:
      return make(0, WC_STATICW, SS_OWNERDRAW);
  }
  return make(0, WC_STATICW, 0);
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->m_hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  if (Form1* form = formOf(hwnd))
    return form->handle(message, wParam, lParam);
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam), LOWORD(wParam));
      return 0;
    case WM_DRAWITEM:
      paintItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      // The read-only log pane keeps the white of a text box.
      if (reinterpret_cast<HWND>(lParam) == m_logPane) {
        ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_SETCURSOR:
      if (m_busy) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      break;
    case WM_SIZE:
      if (!m_inLayout && !m_controls.empty()) {
        m_inLayout = true;
        app::Form_Resize(*this);
        m_inLayout = false;
      }
      return 0;
    case WM_TIMER:
      if (wParam == kFrameTimer) {
        ::KillTimer(m_hwnd, kFrameTimer);
        paintPending();
      }
      return 0;
    case WM_DROPFILES:
      onDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kOpenQueuedArchive:
      openWaitingArchive();
      return 0;
    case WM_CLOSE:
      // A close request ends the program at once, even in the middle of a command: files
      // are written through temporary names, which go before the program does, so nothing
      // half-written is left behind.
      if (m_running) {
        platform::removeLiveTemporaries();
        std::_Exit(0);
      }
      ::DestroyWindow(m_hwnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void Form1::paintItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem == control("Label9"))
    paintProgress(item);
  else if (auto heading = m_headings.find(item.hwndItem); heading != m_headings.end())
    paintHeading(item, heading->second);
  else if (item.hwndItem == control("Image1"))
    paintDecoration(item);
  else
    paintBorder(item);
}

void Form1::onDrop(HDROP drop) {
  // The first file dropped opens as if it were chosen in the chooser.
  std::vector<wchar_t> path(32768, L'\0');
  const bool got = ::DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())) > 0;
  ::DragFinish(drop);
  if (got)
    openArchive(narrow(path.data()));
}

void Form1::onCommand(HWND from, int notification, int id) {
  if (from == m_filter && notification == EN_CHANGE)
    onFilterChanged();
  else if (from == m_cancel && notification == BN_CLICKED)
    m_state.cancelRequested = true;
  else if (notification == BN_CLICKED)
    runButton(id);
}

void Form1::runButton(int id) {
  auto name = m_buttonNames.find(id);
  if (name == m_buttonNames.end())
    return;
  for (const auto& row : app::commandTable())
    if (row.button == name->second)
      runCommand([command = row.command](app::CommandContext& c) { command(c); });
}

void Form1::runCommand(const std::function<void(app::CommandContext&)>& command) {
  const bool ran = app::runOneCommand(
      m_context, m_running, [this](bool on) { setCommandsEnabled(on); }, command);
  if (ran && !m_waitingArchives.empty())
    ::PostMessageW(m_hwnd, kOpenQueuedArchive, 0, 0);
}

void Form1::openArchive(const std::string& path) {
  m_waitingArchives.push_back(path);
  ::PostMessageW(m_hwnd, kOpenQueuedArchive, 0, 0);
}

void Form1::openWaitingArchive() {
  // An archive handed over while a command runs opens when the command has ended.
  if (m_running || m_waitingArchives.empty())
    return;
  const std::string path = m_waitingArchives.front();
  m_waitingArchives.pop_front();
  if (::IsIconic(m_hwnd))
    ::ShowWindow(m_hwnd, SW_RESTORE);
  ::SetForegroundWindow(m_hwnd);
  runCommand([path](app::CommandContext& context) { app::openArchive(context, path); });
}

void Form1::setCommandsEnabled(bool enabled) {
  for (const auto& row : app::commandTable())
    if (HWND w = control(row.button))
      ::EnableWindow(w, enabled);
  // The list must not change under a command; only Cancel works while one runs.
  ::EnableWindow(m_filter, enabled);
  ::EnableWindow(m_cancel, !enabled);
  // A disabled control loses the keyboard, and with nothing holding it Escape would not
  // reach the window as a key: the list takes it.
  if (!enabled && (::GetFocus() == nullptr || !::IsWindowEnabled(::GetFocus())))
    ::SetFocus(m_list);
}

HWND Form1::control(std::string_view name) const {
  auto it = m_controls.find(name);
  return it == m_controls.end() ? nullptr : it->second;
}

// --- the Window port ---

void Form1::setText(std::string_view name, const std::string& text) {
  if (name == "Form1") {
    ::SetWindowTextW(m_hwnd, wide(text).c_str());
    return;
  }
  HWND w = control(name);
  if (!w)
    return;
  // Within a frame of the last repaint the new text waits for the frame's end, so a status
  // line changed for every extracted file is drawn once a frame.
  if (::GetTickCount() - m_lastPaint < kRepaintFrameMs) {
    m_pendingTexts[w] = text;
    ::SetTimer(m_hwnd, kFrameTimer, kRepaintFrameMs, nullptr);
    return;
  }
  m_pendingTexts.erase(w);
  ::SetWindowTextW(w, wide(text).c_str());
}

void Form1::paintPending() {
  for (auto& [w, text] : std::exchange(m_pendingTexts, {}))
    ::SetWindowTextW(w, wide(text).c_str());
  ::RedrawWindow(m_hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  m_lastPaint = ::GetTickCount();
}

void Form1::repaint(std::string_view name) {
  HWND w = name == "Form1" ? m_hwnd : control(name);
  if (!w)
    return;
  ::InvalidateRect(w, nullptr, TRUE);
  // An immediate repaint costs time; within one frame of the last one the control is only
  // marked, and the frame timer paints what was marked meanwhile.
  if (::GetTickCount() - m_lastPaint < kRepaintFrameMs) {
    ::SetTimer(m_hwnd, kFrameTimer, kRepaintFrameMs, nullptr);
    return;
  }
  if (auto pending = m_pendingTexts.find(w); pending != m_pendingTexts.end()) {
    ::SetWindowTextW(w, wide(pending->second).c_str());
    m_pendingTexts.erase(pending);
  }
  ::RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  m_lastPaint = ::GetTickCount();
}

void Form1::clearList() {
  ::SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
}

void Form1::addItems(const std::vector<std::string>& items) {
  ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(m_list, LB_INITSTORAGE, items.size(), items.size() * 64);
  for (const auto& item : items)
    ::SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
  ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(m_list, nullptr, TRUE);
}

int Form1::itemCount() const {
  return static_cast<int>(::SendMessageW(m_list, LB_GETCOUNT, 0, 0));
}

bool Form1::isSelected(int index) const {
  return ::SendMessageW(m_list, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

int Form1::selectedCount() const {
  return std::max(0, static_cast<int>(::SendMessageW(m_list, LB_GETSELCOUNT, 0, 0)));
}

void Form1::selectAll() {
  if (itemCount() > 0)
    ::SendMessageW(m_list, LB_SETSEL, TRUE, -1);
}

void Form1::setHorizontalExtent(int pixels) {
  // The extent counts 6 pixels a character; this list's fixed-pitch font may be wider.
  const int charWidth = std::max(6, averageCharWidth(m_list, m_fixedFont));
  ::SendMessageW(m_list, LB_SETHORIZONTALEXTENT,
                 static_cast<WPARAM>((static_cast<long long>(pixels) * charWidth + 5) / 6), 0);
}

void Form1::setProgressWidth(double twips) {
  const int fill = std::max(0, toPixels(twips));
  if (fill != m_progressFill) {
    m_progressFill = fill;
    ::InvalidateRect(control("Label9"), nullptr, FALSE);
  }
}

void Form1::paintProgress(const DRAWITEMSTRUCT& item) const {
  RECT done = item.rcItem, rest = item.rcItem;
  done.right = std::min(item.rcItem.right, item.rcItem.left + m_progressFill);
  rest.left = done.right;
  HBRUSH dark = ::CreateSolidBrush(RGB(0, 0, 160));
  ::FillRect(item.hDC, &done, dark);
  ::DeleteObject(dark);
  ::FillRect(item.hDC, &rest, ::GetSysColorBrush(COLOR_BTNFACE));
}

void Form1::setBusy(bool busy) {
  m_busy = busy;
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_APPSTARTING : IDC_ARROW));
}

void Form1::setLogPane(const std::string& text, bool caretAtEnd) {
  m_logText = text;
  ::SetWindowTextW(m_logPane, withCrLf(text).c_str());
  const auto end = caretAtEnd ? ::GetWindowTextLengthW(m_logPane) : 0;
  ::SendMessageW(m_logPane, EM_SETSEL, static_cast<WPARAM>(end), end);
  ::SendMessageW(m_logPane, EM_SCROLLCARET, 0, 0);
}

bool Form1::isChecked(std::string_view name) const {
  HWND w = control(name);
  return w && ::SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1::yield() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!handleKey(message) && !::IsDialogMessageW(m_hwnd, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

// --- the layout port ---

app::WindowState Form1::windowState() const {
  if (::IsIconic(m_hwnd))
    return app::WindowState::Minimized;
  if (::IsZoomed(m_hwnd))
    return app::WindowState::Maximized;
  return app::WindowState::Normal;
}

double Form1::outerWidth() const {
  RECT r;
  ::GetWindowRect(m_hwnd, &r);
  return toTwips(r.right - r.left);
}
double Form1::outerHeight() const {
  RECT r;
  ::GetWindowRect(m_hwnd, &r);
  return toTwips(r.bottom - r.top);
}
double Form1::clientWidth() const {
  RECT r;
  ::GetClientRect(m_hwnd, &r);
  return toTwips(r.right);
}
double Form1::clientHeight() const {
  RECT r;
  ::GetClientRect(m_hwnd, &r);
  return toTwips(r.bottom);
}

void Form1::setOuterWidth(double twips) {
  RECT r;
  ::GetWindowRect(m_hwnd, &r);
  ::SetWindowPos(m_hwnd, nullptr, 0, 0, toPixels(twips), r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::setOuterHeight(double twips) {
  RECT r;
  ::GetWindowRect(m_hwnd, &r);
  ::SetWindowPos(m_hwnd, nullptr, 0, 0, r.right - r.left, toPixels(twips),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

app::Rect Form1::rect(std::string_view name) const {
  HWND w = control(name);
  if (!w)
    throw std::out_of_range("no control named " + std::string(name));
  RECT r;
  ::GetWindowRect(w, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return {toTwips(r.left), toTwips(r.top), toTwips(r.right - r.left), toTwips(r.bottom - r.top)};
}

void Form1::setRect(std::string_view name, const app::Rect& r) {
  HWND w = control(name);
  if (!w)
    throw std::out_of_range("no control named " + std::string(name));
  ::MoveWindow(w, toPixels(r.left), toPixels(r.top), std::max(0, toPixels(r.width)),
               std::max(0, toPixels(r.height)), TRUE);
}

}  // namespace win32
