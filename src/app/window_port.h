// The Window port: every operation a command needs of the window, named after the
// controls they act on (List1, Text1, Label5, RichTextBox1, ...). The Qt window
// implements it with real controls; tests use a recording fake. All texts are UTF-8.
//
// Threads: every call happens on the window's thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

enum class Icon { None, Information, Exclamation, Critical, Question };

class Window {
 public:
  virtual ~Window() = default;

  // Caption or text of a label, text box, button or check box, by control name.
  virtual void setText(std::string_view control, const std::string& text) = 0;
  // Repaints one control at once (no yield), or the whole window for "Form1".
  virtual void repaint(std::string_view control) = 0;

  // File list List1.
  virtual void clearList() = 0;
  // Appends items at the end in order. The window adds them as one batch.
  virtual void addItems(const std::vector<std::string>& items) = 0;
  virtual int itemCount() const = 0;
  virtual bool isSelected(int index) const = 0;
  virtual int selectedCount() const = 0;
  virtual void selectAll() = 0;
  virtual void setHorizontalExtent(int pixels) = 0;

  // Progress bar Label9, in twips; its designed width is the full bar.
  virtual void setProgressWidth(double twips) = 0;

  // Busy pointer (arrow with hourglass) on or off.
  virtual void setBusy(bool busy) = 0;

  // Log pane RichTextBox1: whole text, caret at the end or at the start.
  virtual void setLogPane(const std::string& text, bool caretAtEnd) = 0;

  // A modal message box titled "Tarnwick". Texts use CR LF line ends.
  virtual void messageBox(Icon icon, const std::string& text) = 0;
  // A modal question titled "Tarnwick" with one button per answer, in order. The first
  // is the default (Enter); closing the box (Escape) picks the last. Returns the index of
  // the answer picked.
  virtual std::size_t ask(Icon icon, const std::string& text,
                          const std::vector<std::string>& answers) = 0;

  // File-open dialog: title, filter ("desc (*.ext)|*.ext"), initial folder. Returns the
  // chosen file's full path, or nothing when the user cancels.
  virtual std::optional<std::string> chooseFile(const std::string& title, const std::string& filter,
                                                const std::string& initialFolder) = 0;
  // Folder browser; nothing when cancelled.
  virtual std::optional<std::string> browseFolder(const std::string& title) = 0;

  virtual bool isChecked(std::string_view control) const = 0;

  // Opens a folder in the desktop's file manager without waiting; false when no file
  // manager could be started.
  virtual bool openFolder(const std::string& path) = 0;

  // Processes pending window events (repaints, clicks on other controls).
  virtual void yield() = 0;
};

// Per-user settings addressed by application, section and key. Failures are the
// implementation's to swallow: get returns `fallback`, set does nothing.
class Settings {
 public:
  virtual ~Settings() = default;
  virtual std::string get(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& fallback) = 0;
  virtual void set(const std::string& app, const std::string& section, const std::string& key,
                   const std::string& value) = 0;
};

}  // namespace app
