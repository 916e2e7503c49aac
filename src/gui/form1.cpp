#include "gui/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/commands/command_table.h"
#include "app/commands/load.h"
#include "app/form_design.h"
#include "app/startup.h"
#include "gui/file_list_model.h"
#include "gui/progress_label.h"
#include "platform/temporary.h"
#include "util/text.h"
#include "util/version.h"

namespace gui {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

QFont fixedPitchFont() {
  if (QFontDatabase::families().contains("Lucida Console"))
    return QFont("Lucida Console", 9);
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSize(9);
  return f;
}

// The 32 x 32 picture beside the title: an archive box.
QPixmap decorationPicture() {
  QPixmap pix(32, 32);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 40, 20), 1.5));
  p.setBrush(QColor(196, 150, 90));
  p.drawRect(QRectF(4, 10, 24, 18));
  p.setBrush(QColor(220, 180, 120));
  p.drawPolygon(QPolygonF({QPointF(4, 10), QPointF(9, 4), QPointF(23, 4), QPointF(28, 10)}));
  p.setPen(QPen(QColor(60, 40, 20), 2));
  p.drawLine(QPointF(16, 10), QPointF(16, 28));
  return pix;
}

}  // namespace

Form1::Form1(app::Settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_shell(*this, m_state) {
  setObjectName("Form1");
  setAcceptDrops(true);
  if (auto* screen = QGuiApplication::primaryScreen())
    m_dpi = screen->logicalDotsPerInchX();
  if (m_dpi <= 0)
    m_dpi = 96;
  buildControls();
  buildAddedControls();
  connectCommands();
  connectKeys();
  m_frameTimer.setSingleShot(true);
  connect(&m_frameTimer, &QTimer::timeout, this, &Form1::paintDirty);
  resize(toPixels(app::kDesignClientWidth), toPixels(app::kDesignClientHeight));
}

Form1::~Form1() {
  if (!m_privateFolder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_privateFolder, ignored);
  }
}

int Form1::toPixels(double twips) const {
  return static_cast<int>(std::lround(twips * m_dpi / app::kTwipsPerInch));
}
double Form1::toTwips(int pixels) const {
  return pixels * app::kTwipsPerInch / m_dpi;
}

QWidget* Form1::makeControl(const app::ControlDesign& d, QWidget* parentWidget) {
  switch (d.kind) {
    case app::ControlKind::Label: {
      auto* label = new QLabel(q(std::string(d.caption)), parentWidget);
      label->setTextFormat(Qt::PlainText);
      return label;
    }
    case app::ControlKind::Button:
      return new QPushButton(q(std::string(d.caption)), parentWidget);
    case app::ControlKind::CheckBox:
      return new QCheckBox(q(std::string(d.caption)), parentWidget);
    case app::ControlKind::ListBox:
      m_list = new FileListView(parentWidget);
      m_list->setDragEnabled(true);
      m_list->setDragDropMode(QAbstractItemView::DragOnly);
      m_model = new FileListModel(m_list);
      m_delegate = new ExtentDelegate(m_list);
      m_list->setModel(m_model);
      m_list->setItemDelegate(m_delegate);
      m_list->setUniformItemSizes(true);
      m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
      m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      m_list->setTextElideMode(Qt::ElideNone);
      return m_list;
    case app::ControlKind::TextBox:
      m_status = new QLineEdit(parentWidget);
      return m_status;
    case app::ControlKind::LogPane:
      m_logPane = new QPlainTextEdit(parentWidget);
      m_logPane->setReadOnly(true);
      m_logPane->setLineWrapMode(QPlainTextEdit::NoWrap);
      return m_logPane;
    case app::ControlKind::Frame: {
      // The caption sits on the frame's top line, as small as it must be to stay clear
      // of the progress bar that is placed just below the line.
      auto* frame = new QGroupBox(q(std::string(d.caption)), parentWidget);
      frame->setStyleSheet(
          "QGroupBox { border: 1px solid palette(mid); margin-top: 4px; font-size: 7pt; }"
          "QGroupBox::title { subcontrol-origin: border; left: 8px; top: -5px; padding: 0 2px; "
          "}");
      return frame;
    }
    case app::ControlKind::Shape: {
      auto* shape = new QFrame(parentWidget);
      shape->setFrameShape(QFrame::Box);
      shape->setFrameShadow(QFrame::Plain);
      return shape;
    }
    case app::ControlKind::Image: {
      auto* image = new QLabel(parentWidget);
      image->setPixmap(decorationPicture());
      return image;
    }
    case app::ControlKind::ProgressBar:
      m_progress = new ProgressLabel(parentWidget);
      return m_progress;
  }
  return new QWidget(parentWidget);
}

void Form1::buildControls() {
  for (const auto& d : app::formDesign()) {
    QWidget* parentWidget =
        d.parent == "Frame1" ? m_controls.at("Frame1") : static_cast<QWidget*>(this);
    QWidget* w = makeControl(d, parentWidget);
    w->setObjectName(q(std::string(d.name)));
    if (d.fixedPitch)
      w->setFont(fixedPitchFont());
    w->setGeometry(toPixels(d.left), toPixels(d.top), toPixels(d.width), toPixels(d.height));
    m_controls.emplace(std::string(d.name), w);
  }
  // Captions keep their designed boxes: where this platform's font runs wider than the
  // box, the caption's font is made smaller until it fits.
  for (const auto& d : app::formDesign()) {
    if (d.kind != app::ControlKind::Button && d.kind != app::ControlKind::CheckBox)
      continue;
    QWidget* w = m_controls.at(std::string(d.name));
    QFont f = w->font();
    while (w->sizeHint().width() > w->width() && f.pointSizeF() > 6) {
      f.setPointSizeF(f.pointSizeF() - 0.5);
      w->setFont(f);
    }
  }
  // Group borders lie behind their headings and buttons.
  for (auto name : {"Shape1", "Shape2", "Shape4"})
    m_controls.at(name)->lower();
  if (m_status)
    m_status->setText("Text1");
}

void Form1::connectCommands() {
  for (const auto& row : app::commandTable()) {
    auto* button = qobject_cast<QPushButton*>(control(row.button));
    connect(button, &QPushButton::clicked, this,
            [this, command = row.command] { runCommand(command); });
  }
}

void Form1::runCommand(const std::function<void(app::CommandContext&)>& command) {
  app::runOneCommand(
      m_context, m_running, [this](bool on) { setCommandsEnabled(on); }, command);
}

bool Form1::start(const std::string& programFolder, const std::string& helpFolder) {
  m_state.helpFolder = helpFolder;
  return app::Startup(*this, m_state, programFolder);
}

void Form1::openArchive(const std::string& path) {
  // An archive handed over while a command runs opens when the command has ended.
  if (m_running) {
    QTimer::singleShot(200, this, [this, path] { openArchive(path); });
    return;
  }
  runCommand([path](app::CommandContext& context) { app::openArchive(context, path); });
}

QWidget* Form1::control(std::string_view name) const {
  auto it = m_controls.find(name);
  return it == m_controls.end() ? nullptr : it->second;
}

void Form1::setText(std::string_view name, const std::string& text) {
  if (name == "Form1") {
    setWindowTitle(q(text));
    return;
  }
  QWidget* w = control(name);
  // Within a frame of the last repaint the new text waits for the frame's end, so a
  // status line changed for every extracted file is laid out and painted once a frame.
  if (m_frame.isValid() && m_frame.elapsed() < kRepaintFrameMs) {
    m_pendingTexts[w] = q(text);
    markDirty(w);
    return;
  }
  m_pendingTexts.erase(w);
  applyText(w, q(text));
}

void Form1::applyText(QWidget* w, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
    // The item count keeps its designed box: "1234 of 4000 Items" is set smaller to fit.
    if (w == control("Label2")) {
      QFont f = font();
      while (QFontMetrics(f).horizontalAdvance(text) > label->width() && f.pointSizeF() > 5)
        f.setPointSizeF(f.pointSizeF() - 0.5);
      label->setFont(f);
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(w))
    button->setText(text);
  else if (auto* line = qobject_cast<QLineEdit*>(w))
    line->setText(text);
  else if (auto* group = qobject_cast<QGroupBox*>(w))
    group->setTitle(text);
}

std::string Form1::text(std::string_view name) const {
  if (name == "Form1")
    return windowTitle().toStdString();
  QWidget* w = control(name);
  if (auto pending = m_pendingTexts.find(w); pending != m_pendingTexts.end())
    return pending->second.toStdString();
  if (auto* label = qobject_cast<QLabel*>(w))
    return label->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(w))
    return button->text().toStdString();
  if (auto* line = qobject_cast<QLineEdit*>(w))
    return line->text().toStdString();
  if (auto* group = qobject_cast<QGroupBox*>(w))
    return group->title().toStdString();
  return {};
}

void Form1::repaint(std::string_view name) {
  QWidget* w = name == "Form1" ? this : control(name);
  if (!w)
    return;
  // An immediate repaint costs milliseconds. A command that asks for one after every
  // hundred list items or every extracted file would spend most of its time painting, so
  // within one frame of the last immediate repaint the control is only marked, and one
  // timer at the end of the frame paints everything marked meanwhile.
  if (m_frame.isValid() && m_frame.elapsed() < kRepaintFrameMs) {
    markDirty(w);
    return;
  }
  if (auto pending = m_pendingTexts.find(w); pending != m_pendingTexts.end()) {
    applyText(w, pending->second);
    m_pendingTexts.erase(pending);
  }
  w->repaint();
  m_frame.start();
}

void Form1::markDirty(QWidget* w) {
  m_dirty.insert(w);
  if (!m_frameTimer.isActive())
    m_frameTimer.start(std::max(0, kRepaintFrameMs - static_cast<int>(m_frame.elapsed())));
}

void Form1::paintDirty() {
  for (auto& [w, text] : std::exchange(m_pendingTexts, {}))
    applyText(w, text);
  for (QWidget* w : std::exchange(m_dirty, {}))
    w->repaint();
  m_frame.start();
}

void Form1::clearList() {
  m_model->clear();
}

void Form1::addItems(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const auto& item : items)
    list.push_back(q(item));
  m_model->append(list);
}

int Form1::itemCount() const {
  return m_model->rowCount();
}

bool Form1::isSelected(int index) const {
  return m_list->selectionModel()->isSelected(m_model->index(index, 0));
}

int Form1::selectedCount() const {
  return static_cast<int>(m_list->selectionModel()->selectedIndexes().size());
}

void Form1::selectAll() {
  if (itemCount() > 0)
    m_list->selectAll();
}

void Form1::setHorizontalExtent(int pixels) {
  // The extent counts 6 pixels a character; this list's fixed-pitch font may be wider.
  const double charWidth = m_list->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  m_delegate->setExtent(static_cast<int>(std::ceil(pixels * std::max(charWidth, 6.0) / 6.0)));
}

void Form1::setProgressWidth(double twips) {
  m_progress->setFillWidth(toPixels(twips));
}

void Form1::setBusy(bool busy) {
  if (busy == m_busy)
    return;
  m_busy = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::BusyCursor);
  else
    QApplication::restoreOverrideCursor();
}

void Form1::setLogPane(const std::string& text, bool caretAtEnd) {
  m_logText = text;
  m_logPane->setPlainText(q(util::crLfToLf(text)));
  QTextCursor cursor = m_logPane->textCursor();
  cursor.movePosition(caretAtEnd ? QTextCursor::End : QTextCursor::Start);
  m_logPane->setTextCursor(cursor);
  m_logPane->ensureCursorVisible();
}

std::string Form1::logPane() const {
  return m_logText;
}

namespace {

QMessageBox::Icon messageIcon(app::Icon icon) {
  switch (icon) {
    case app::Icon::None:
      return QMessageBox::NoIcon;
    case app::Icon::Information:
      return QMessageBox::Information;
    case app::Icon::Exclamation:
      return QMessageBox::Warning;
    case app::Icon::Critical:
      return QMessageBox::Critical;
    case app::Icon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void Form1::messageBox(app::Icon icon, const std::string& text) {
  QMessageBox box(messageIcon(icon), q(std::string(util::kProductName)), q(util::crLfToLf(text)),
                  QMessageBox::Ok, this);
  box.setObjectName("messageBox");
  box.exec();
}

std::size_t Form1::ask(app::Icon icon, const std::string& text,
                       const std::vector<std::string>& answers) {
  QMessageBox box(messageIcon(icon), q(std::string(util::kProductName)), q(util::crLfToLf(text)),
                  QMessageBox::NoButton, this);
  box.setObjectName("messageBox");
  std::vector<QAbstractButton*> buttons;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const auto role = i == 0                   ? QMessageBox::AcceptRole
                      : i + 1 < answers.size() ? QMessageBox::DestructiveRole
                                               : QMessageBox::RejectRole;
    buttons.push_back(box.addButton(q(answers[i]), role));
  }
  if (buttons.empty())
    return 0;
  box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
  box.setEscapeButton(buttons.back());
  box.exec();
  const auto picked = std::find(buttons.begin(), buttons.end(), box.clickedButton());
  return picked == buttons.end() ? answers.size() - 1
                                 : static_cast<std::size_t>(picked - buttons.begin());
}

std::optional<std::string> Form1::runChooser(bool folders, const std::string& title,
                                             const std::string& nameFilter,
                                             const std::string& initialFolder) {
  // A new dialog for every use: nothing typed into an earlier one (its file name, its
  // completion list) is carried into the next, and the completion list goes with it.
  QFileDialog dialog(this);
  dialog.setObjectName("CommonDialog1");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setWindowTitle(q(title));
  if (folders) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(q(nameFilter));
  }
  dialog.setDirectory(q(initialFolder));
  const bool accepted = dialog.exec() == QDialog::Accepted;
  const auto chosen = dialog.selectedFiles();
  if (!accepted || chosen.isEmpty() || chosen.front().isEmpty())
    return std::nullopt;
  return chosen.front().toStdString();
}

std::optional<std::string> Form1::chooseFile(const std::string& title, const std::string& filter,
                                             const std::string& initialFolder) {
  // "desc (*.ext)|*.ext": the part before "|" names the filter and holds its pattern.
  return runChooser(false, title, filter.substr(0, filter.find('|')), initialFolder);
}

std::optional<std::string> Form1::browseFolder(const std::string& title) {
  return runChooser(true, title, {}, m_state.folders.extractedFiles);
}

bool Form1::isChecked(std::string_view name) const {
  auto* box = qobject_cast<QCheckBox*>(control(name));
  return box && box->isChecked();
}

bool Form1::openFolder(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(q(path)));
}

void Form1::yield() {
  QCoreApplication::processEvents();
}

void Form1::setCommandsEnabled(bool enabled) {
  for (const auto& row : app::commandTable())
    if (QWidget* w = control(row.button))
      w->setEnabled(enabled);
  // The list must not change under a command; only Cancel works while one runs.
  m_filter->setEnabled(enabled);
  m_cancel->setEnabled(!enabled);
}

app::WindowState Form1::windowState() const {
  if (isMinimized())
    return app::WindowState::Minimized;
  if (isMaximized())
    return app::WindowState::Maximized;
  return app::WindowState::Normal;
}

double Form1::outerWidth() const {
  return toTwips(frameGeometry().width());
}
double Form1::outerHeight() const {
  return toTwips(frameGeometry().height());
}
double Form1::clientWidth() const {
  return toTwips(width());
}
double Form1::clientHeight() const {
  return toTwips(height());
}

void Form1::setOuterWidth(double twips) {
  int frame = frameGeometry().width() - width();
  resize(toPixels(twips) - frame, height());
}

void Form1::setOuterHeight(double twips) {
  int frame = frameGeometry().height() - height();
  resize(width(), toPixels(twips) - frame);
}

app::Rect Form1::rect(std::string_view name) const {
  QWidget* w = control(name);
  if (!w)
    throw std::out_of_range("no control named " + std::string(name));
  auto g = w->geometry();
  return {toTwips(g.x()), toTwips(g.y()), toTwips(g.width()), toTwips(g.height())};
}

void Form1::setRect(std::string_view name, const app::Rect& r) {
  QWidget* w = control(name);
  if (!w)
    throw std::out_of_range("no control named " + std::string(name));
  w->setGeometry(toPixels(r.left), toPixels(r.top), std::max(0, toPixels(r.width)),
                 std::max(0, toPixels(r.height)));
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  app::Form_Resize(*this);
}

void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange)
    app::Form_Resize(*this);
}

void Form1::closeEvent(QCloseEvent* event) {
  event->accept();
  // A close request ends the program at once, even in the middle of a command: files
  // are written through temporary names, which go before the program does, so nothing
  // half-written is left behind.
  if (m_running) {
    platform::removeLiveTemporaries();
    if (!m_privateFolder.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(m_privateFolder, ignored);
    }
    std::_Exit(0);
  }
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  const auto urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile())
    return;
  event->acceptProposedAction();
  openArchive(urls.front().toLocalFile().toStdString());
}

}  // namespace gui
