// Form1: the main window. Implements the Window port with real controls whose object
// names are the control names, and the layout port for Form_Resize. It owns the state
// every command shares for the window's whole life, forwards each click through the
// command table and runs one command at a time.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/commands/context.h"
#include "app/form_design.h"
#include "app/layout.h"
#include "app/shell.h"
#include "app/window_port.h"

class QListView;
class QMimeData;
class QLineEdit;
class QPlainTextEdit;
class QLabel;
class QGroupBox;
class QPushButton;

namespace gui {

class FileListModel;
class FileListView;
class ExtentDelegate;
class ProgressLabel;

class Form1 : public QWidget, public app::Window, public app::LayoutPort {
  Q_OBJECT
 public:
  Form1(app::Settings& settings, QWidget* parent = nullptr);
  ~Form1() override;

  // Start-up; false when it failed and the program must end. The help texts are looked
  // for in the program folder, then in `helpFolder`.
  bool start(const std::string& programFolder, const std::string& helpFolder = {});
  // Opens an archive as if it were chosen in the chooser (command line, drops).
  void openArchive(const std::string& path);

  app::AppState& state() { return m_state; }
  app::Session& session() { return m_session; }
  app::Shell& shell() { return m_shell; }
  QWidget* control(std::string_view name) const;
  // Twips <-> pixels at the screen's logical DPI.
  int toPixels(double twips) const;
  double toTwips(int pixels) const;
  bool commandRunning() const { return m_running; }
  // What runs a drag of files out of the list: by default a QDrag to the desktop; the
  // tests put a file manager's part in its place.
  std::function<void(QMimeData*)> runDrag;
  // A control's caption or text, and the log pane's whole text.
  std::string text(std::string_view control) const;
  std::string logPane() const;

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

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  // The filter line and the Cancel button (app::addedControls), the keys and their tooltips.
  void buildAddedControls();
  void connectKeys();
  // F1: the "?" button of the group under the mouse (the file list counts as the
  // extractor's); nothing elsewhere.
  void helpUnderMouse();
  // Escape: stops the running command; otherwise, in the filter line, clears it.
  void escape();
  // Double-click or Enter on item `row` of List1: the entry in a viewer, or in the
  // desktop's program for it through a private copy.
  void openItem(int row);
  // The folder for private copies and dragged entries, made at first use and removed
  // with the window.
  const std::filesystem::path& privateFolder();
  // A drag of selected entries: they are extracted below the private folder (the window
  // repainting, Escape stopping it), then handed to the drag as files; nothing is
  // dragged when one cannot be written.
  void dragEntriesOut();
  QWidget* makeControl(const app::ControlDesign& design, QWidget* parent);
  // While a command runs, the command buttons ignore clicks.
  void setCommandsEnabled(bool enabled);
  void connectCommands();
  // Runs one command; clicks on command buttons are ignored while it runs.
  void runCommand(const std::function<void(app::CommandContext&)>& command);
  void paintDirty();
  void markDirty(QWidget* w);
  void applyText(QWidget* w, const QString& text);
  // The file chooser (folders false) or the folder browser, as a modal dialog made for
  // this one use; nothing when the user cancels.
  std::optional<std::string> runChooser(bool folders, const std::string& title,
                                        const std::string& nameFilter,
                                        const std::string& initialFolder);

  app::Settings& m_settings;
  app::AppState m_state;
  app::Shell m_shell;
  app::Session m_session;
  app::CommandContext m_context{m_shell, m_settings, m_session};
  std::map<std::string, QWidget*, std::less<>> m_controls;
  FileListView* m_list = nullptr;
  FileListModel* m_model = nullptr;
  ExtentDelegate* m_delegate = nullptr;
  QLineEdit* m_status = nullptr;
  QPlainTextEdit* m_logPane = nullptr;
  ProgressLabel* m_progress = nullptr;
  std::filesystem::path m_privateFolder;
  QLineEdit* m_filter = nullptr;
  QPushButton* m_cancel = nullptr;
  std::string m_logText;
  bool m_busy = false;
  bool m_running = false;
  double m_dpi = 96;
  static constexpr int kRepaintFrameMs = 20;
  QElapsedTimer m_frame;  // since the last immediate repaint
  QTimer m_frameTimer;    // paints m_dirty at the end of the frame
  std::set<QWidget*> m_dirty;
  std::map<QWidget*, QString> m_pendingTexts;  // texts waiting for the frame's end
};

}  // namespace gui
