// Form1 on the Windows API: the main window as real Windows controls (a list box, an edit
// box as status line, a read-only multi-line edit box as log pane, buttons, check boxes,
// a frame), placed from the designed-control table and laid out by the shared resize
// rules. Implements the Window port the commands talk to, and runs one command at a time
// on the window's thread, yielding to pending messages as the commands ask.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/commands/command_table.h"
#include "app/commands/context.h"
#include "app/form_design.h"
#include "app/layout.h"
#include "app/shell.h"
#include "app/window_port.h"

namespace win32 {

// Posted to the window: open the next archive waiting in the queue.
inline constexpr UINT kOpenQueuedArchive = WM_APP + 1;

class Form1 : public app::Window, public app::LayoutPort {
 public:
  explicit Form1(app::Settings& settings);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window and its controls and runs start-up; false when start-up failed
  // and the program must end.
  bool create(HINSTANCE instance, const std::string& programFolder, const std::string& helpFolder);
  HWND handle() const { return m_hwnd; }
  // Opens an archive as if it were chosen in the chooser (command line, drops, a second
  // start). While a command runs the archive waits and opens when it has ended.
  void openArchive(const std::string& path);
  // Keys the window itself handles (Ctrl+O, Ctrl+E, Ctrl+A, Ctrl+F, Escape, Enter in the
  // filter line, F1); true when `message` was one of them.
  bool handleKey(const MSG& message);

  // app::Window
  void setText(std::string_view control, const std::string& text) override;
  void repaint(std::string_view control) override;
  void clearList() override;
  void addItems(const std::vector<std::string>& items) override;
  int itemCount() const override;
  bool isSelected(int index) const override;
  int selectedCount() const override;
  void selectAll() override;
  void setHorizontalExtent(int pixels) override;
  void setProgressWidth(double twips) override;
  void setBusy(bool busy) override;
  void setLogPane(const std::string& text, bool caretAtEnd) override;
  void messageBox(app::Icon icon, const std::string& text) override;
  std::size_t ask(app::Icon icon, const std::string& text,
                  const std::vector<std::string>& answers) override;
  std::optional<std::string> chooseFile(const std::string& title, const std::string& filter,
                                        const std::string& initialFolder) override;
  std::optional<std::string> browseFolder(const std::string& title) override;
  bool isChecked(std::string_view control) const override;
  bool openFolder(const std::string& path) override;
  void yield() override;

  // app::LayoutPort
  app::WindowState windowState() const override;
  double outerWidth() const override;
  double outerHeight() const override;
  double clientWidth() const override;
  double clientHeight() const override;
  void setOuterWidth(double twips) override;
  void setOuterHeight(double twips) override;
  app::Rect rect(std::string_view control) const override;
  void setRect(std::string_view control, const app::Rect& rect) override;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void buildControls();
  // The filter line and the Cancel button, in space the design leaves free.
  void buildAddedControls(int firstId);
  void onFilterChanged();
  // Clicks `button` as the mouse would, when it is enabled.
  void clickIfEnabled(std::string_view button);
  // F1: the help of the group under the mouse.
  void helpUnderMouse();
  // The controls' stacking (which lies over which where they overlap) and tab order.
  void stackControls();
  HWND makeControl(const app::ControlDesign& design, HWND parent, int id);
  // WM_COMMAND: the filter line changed, Cancel or a command button was clicked.
  void onCommand(HWND from, int notification, int id);
  void runButton(int id);
  // Runs one command; clicks on command buttons are ignored while it runs.
  void runCommand(const std::function<void(app::CommandContext&)>& command);
  void openWaitingArchive();
  // Texts set within a frame of the last repaint, applied and painted at the frame's end.
  void paintPending();
  void setCommandsEnabled(bool enabled);
  void paintProgress(const DRAWITEMSTRUCT& item) const;
  // Owner-drawn controls: the progress bar, the groups' borders and headings, the picture.
  void paintItem(const DRAWITEMSTRUCT& item);
  void onDrop(HDROP drop);
  HWND control(std::string_view name) const;
  int toPixels(double twips) const;
  double toTwips(int pixels) const;

  app::Settings& m_settings;
  app::AppState m_state;
  app::Shell m_shell;
  app::Session m_session;
  app::CommandContext m_context{m_shell, m_settings, m_session};
  HWND m_hwnd = nullptr;
  HWND m_list = nullptr;
  HWND m_logPane = nullptr;
  HWND m_filter = nullptr;
  HWND m_cancel = nullptr;
  HFONT m_font = nullptr;
  HFONT m_fixedFont = nullptr;
  HFONT m_captionFont = nullptr;
  std::map<std::string, HWND, std::less<>> m_controls;
  std::map<int, std::string> m_buttonNames;
  std::map<HWND, HWND>
      m_headings;  // a label on a border -> the border  // control id -> name, for WM_COMMAND
  std::map<HWND, std::string> m_pendingTexts;
  std::string m_logText;
  std::deque<std::string> m_waitingArchives;
  int m_progressFill = 0;  // pixels of the progress bar painted dark
  int m_dpi = 96;
  bool m_busy = false;
  bool m_running = false;
  bool m_inLayout = false;
  DWORD m_lastPaint = 0;  // tick of the last immediate repaint
};

}  // namespace win32
