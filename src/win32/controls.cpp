#include "win32/controls.h"

#include <commctrl.h>

#include <map>
#include <vector>

namespace win32 {

namespace {

constexpr wchar_t kFrameClass[] = L"TarnwickFrame";

// The frame's border with its caption on the top line, as a group box draws it.
void paintFrame(HWND frame) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(frame, &paint);
  RECT box;
  ::GetClientRect(frame, &box);
  wchar_t caption[256] = {};
  const int length = ::GetWindowTextW(frame, caption, 256);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::GetWindowLongPtrW(frame, GWLP_USERDATA)));
  SIZE text{};
  ::GetTextExtentPoint32W(dc, caption, length, &text);
  RECT border = box;
  border.top = text.cy / 2;
  ::DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
  if (length > 0) {
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    // As high as it goes: the frame's first control lies just below the top line.
    RECT place{8, 0, 8 + text.cx + 4, text.cy};
    ::ExtTextOutW(dc, 10, -1, ETO_OPAQUE, &place, caption, static_cast<UINT>(length), nullptr);
  }
  ::SelectObject(dc, old);
  ::EndPaint(frame, &paint);
}

LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_SETCURSOR:
      // The window decides for the controls inside the frame as for its own.
      return ::SendMessageW(::GetParent(hwnd), message, wParam, lParam);
    case WM_PAINT:
      paintFrame(hwnd);
      return 0;
    case WM_SETTEXT: {
      const LRESULT done = ::DefWindowProcW(hwnd, message, wParam, lParam);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return done;
    }
    default:
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Fonts made smaller to fit captions, by point size in tenths; they live as long as the
// program.
HFONT smallerFont(int dpi, int tenths) {
  static std::map<int, HFONT> made;
  auto& font = made[tenths];
  if (!font)
    font = ::CreateFontW(-::MulDiv(tenths, dpi, 720), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  return font;
}

SIZE textSize(HWND control, HFONT font) {
  const int length = ::GetWindowTextLengthW(control);
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
  ::GetWindowTextW(control, text.data(), length + 1);
  HDC dc = ::GetDC(control);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.data(), length, &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size;
}

}  // namespace

void registerFrameClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = frameProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  ::RegisterClassExW(&wc);
}

HWND makeFrame(HWND parent, const std::wstring& caption, HMENU id, HINSTANCE instance, HFONT font) {
  HWND frame = ::CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, caption.c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0,
                                 0, parent, id, instance, nullptr);
  ::SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(font));
  return frame;
}

HFONT designFont(int dpi, int points, bool fixedPitch) {
  return ::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       fixedPitch ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH | FF_SWISS,
                       fixedPitch ? L"Lucida Console" : L"MS Sans Serif");
}

void fitCaption(HWND control, int dpi) {
  RECT box;
  ::GetClientRect(control, &box);
  // A check box's mark and a button's edges take this much of the box.
  const bool checkBox = (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
  const int room = box.right - (checkBox ? 18 : 6);
  auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  for (int tenths = 75; tenths >= 60 && textSize(control, font).cx > room; tenths -= 5) {
    font = smallerFont(dpi, tenths);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

int averageCharWidth(HWND control, HFONT font) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{};
  ::GetTextExtentPoint32W(dc, L"0", 1, &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size.cx;
}

void paintBorder(const DRAWITEMSTRUCT& item) {
  ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
  ::FrameRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
}

void paintHeading(const DRAWITEMSTRUCT& item, HWND border) {
  HDC dc = item.hDC;
  ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
  // The border's box in the heading's own coordinates; the heading shows its part.
  RECT box;
  ::GetWindowRect(border, &box);
  ::MapWindowPoints(HWND_DESKTOP, item.hwndItem, reinterpret_cast<POINT*>(&box), 2);
  ::FrameRect(dc, &box, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  wchar_t text[256] = {};
  const int length = ::GetWindowTextW(item.hwndItem, text, 256);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  RECT place = item.rcItem;
  place.top += 1;
  ::DrawTextW(dc, text, length, &place, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
}

void paintDecoration(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
  const int x = item.rcItem.left, y = item.rcItem.top;
  HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(60, 40, 20));
  HBRUSH body = ::CreateSolidBrush(RGB(196, 150, 90));
  HBRUSH lid = ::CreateSolidBrush(RGB(220, 180, 120));
  HGDIOBJ oldPen = ::SelectObject(dc, pen);
  HGDIOBJ oldBrush = ::SelectObject(dc, body);
  ::Rectangle(dc, x + 4, y + 10, x + 28, y + 28);
  ::SelectObject(dc, lid);
  const POINT top[] = {{x + 4, y + 10}, {x + 9, y + 4}, {x + 23, y + 4}, {x + 28, y + 10}};
  ::Polygon(dc, top, 4);
  ::MoveToEx(dc, x + 16, y + 10, nullptr);
  ::LineTo(dc, x + 16, y + 28);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(lid);
  ::DeleteObject(body);
  ::DeleteObject(pen);
}

}  // namespace win32
