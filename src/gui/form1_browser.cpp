// What a modder who lives in the window needs beyond the designed controls: the filter
// line, the Cancel button and the keys.
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include <QDesktopServices>
#include <QDrag>
#include <QMimeData>
#include <QUrl>

#include "app/commands/filter.h"
#include "app/commands/open_entry.h"
#include "gui/entry_viewers.h"
#include "gui/file_list_model.h"
#include "gui/form1.h"
#include "model/tga_image.h"
#include "platform/files.h"
#include "platform/process.h"
#include "util/cp1252.h"
#include "util/error_text.h"
#include "util/progress.h"
#include "util/text.h"

namespace gui {

namespace {

QString q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The picture in `bytes`; a null image when it is none. TGA files are read here (Qt reads
// only those with the footer of version 2.0), the other formats by Qt.
QImage imageOf(const QString& extension, const std::vector<std::uint8_t>& bytes) {
  if (extension.compare("tga", Qt::CaseInsensitive) == 0) {
    try {
      const auto tga = model::readTga(bytes);
      return QImage(reinterpret_cast<const uchar*>(tga.pixels.data()), tga.width, tga.height,
                    QImage::Format_ARGB32)
          .copy();
    } catch (const model::TgaError&) {
      return {};
    }
  }
  QImage image;
  image.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
  return image;
}

}  // namespace

void Form1::buildAddedControls() {
  for (const auto& d : app::addedControls()) {
    QWidget* parentWidget =
        d.parent == "Frame1" ? m_controls.at("Frame1") : static_cast<QWidget*>(this);
    QWidget* w = nullptr;
    if (d.kind == app::ControlKind::TextBox) {
      m_filter = new QLineEdit(parentWidget);
      m_filter->setPlaceholderText(q(d.caption));
      m_filter->setClearButtonEnabled(true);
      w = m_filter;
    } else {
      m_cancel = new QPushButton(q(d.caption), parentWidget);
      m_cancel->setEnabled(false);
      w = m_cancel;
    }
    w->setObjectName(q(d.name));
    w->setGeometry(toPixels(d.left), toPixels(d.top), toPixels(d.width), toPixels(d.height));
    m_controls.emplace(std::string(d.name), w);
  }
  connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!m_running)
      app::filterList(m_context, text.toStdString());
  });
  m_list->dragOut = [this] { dragEntriesOut(); };
  connect(m_list, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { openItem(index.row()); });
  for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this, [this] {
      if (m_list->currentIndex().isValid())
        openItem(m_list->currentIndex().row());
    });
  }
  // Enter in the filter line goes on to the list, at the first entry it shows.
  connect(m_filter, &QLineEdit::returnPressed, this, [this] {
    m_list->setFocus(Qt::TabFocusReason);
    if (!m_list->currentIndex().isValid() && m_model->rowCount() > 0)
      m_list->setCurrentIndex(m_model->index(0, 0));
  });
  setTabOrder(m_filter, m_list);
  connect(m_cancel, &QPushButton::clicked, this, [this] { m_state.cancelRequested = true; });
  m_cancel->setToolTip("Stops the running command after the file it is on (Escape)");
}

void Form1::connectKeys() {
  struct Key {
    QKeySequence keys;
    const char* button;  // clicked by the key
    const char* tip;
  };
  const Key keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_O), "butSelectMPAKfile", "Opens an archive (Ctrl+O)"},
      {QKeySequence(Qt::CTRL | Qt::Key_E), "butMassExtract",
       "Extracts the selected entries (Ctrl+E)"},
      {QKeySequence(Qt::CTRL | Qt::Key_A), "butSelectAll",
       "Selects every entry the list shows (Ctrl+A)"},
  };
  for (const auto& key : keys) {
    auto* button = qobject_cast<QPushButton*>(control(key.button));
    button->setToolTip(key.tip);
    auto* shortcut = new QShortcut(key.keys, this);
    // Ctrl+A in a text box (the filter line, the status line, the log pane) selects its
    // text, as in any text box; elsewhere it selects the entries the list shows.
    connect(shortcut, &QShortcut::activated, this, [this, button] {
      if (button->objectName() == "butSelectAll") {
        if (auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget())) {
          line->selectAll();
          return;
        }
        if (QApplication::focusWidget() == m_logPane) {
          m_logPane->selectAll();
          return;
        }
      }
      if (button->isEnabled())
        button->click();
    });
  }
  auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
  connect(find, &QShortcut::activated, this, [this] {
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
  });
  m_filter->setToolTip(
      "Shows the entries whose path holds this text; * and ? are wildcards (Ctrl+F; Escape "
      "clears it)");
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &Form1::escape);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
          &Form1::helpUnderMouse);
  for (auto name :
       {"butFileExtractorQuestion", "butFilePackerQuestion", "butSoundConversionQuestion"})
    control(name)->setToolTip("How to (F1 over this group)");
}

void Form1::escape() {
  if (m_running)
    m_state.cancelRequested = true;
  else if (m_filter->hasFocus())
    m_filter->clear();
}

void Form1::helpUnderMouse() {
  const QPoint mouse = mapFromGlobal(QCursor::pos());
  for (const auto& group : app::helpAreas()) {
    QWidget* area = control(group.area);
    if (QRect(area->mapTo(this, QPoint(0, 0)), area->size()).contains(mouse)) {
      if (auto* button = qobject_cast<QPushButton*>(control(group.help)); button->isEnabled())
        button->click();
      return;
    }
  }
}

const std::filesystem::path& Form1::privateFolder() {
  if (m_privateFolder.empty())
    m_privateFolder = app::makePrivateFolder();
  return m_privateFolder;
}

void Form1::openItem(int row) {
  if (m_running || !m_session.archive.loaded() || row < 0)
    return;
  const std::size_t entry = app::entryOfItem(m_session, static_cast<std::size_t>(row));
  const std::string& path = m_session.archive.catalogue.entries().at(entry).path;
  const QString title = q(util::cp1252ToUtf8(path));
  try {
    auto bytes = app::entryContent(m_session.archive, entry);
    switch (app::viewFor(path, bytes)) {
      case app::EntryView::Text: {
        const std::string text(bytes.begin(), bytes.end());
        openTextViewer(this, title, q(util::cp1252ToUtf8(util::crLfToLf(text))));
        return;
      }
      case app::EntryView::Image:
        if (const QImage image = imageOf(title.section('.', -1), bytes); !image.isNull()) {
          openImageViewer(this, title, image);
          return;
        }
        break;  // not an image after all: the desktop's program may know it
      case app::EntryView::SoundBank:
        new SoundBankViewer(this, title, std::move(bytes), privateFolder());
        return;
      case app::EntryView::Other:
        break;
    }
    const auto copy = app::writePrivateCopy(privateFolder(), util::cp1252ToUtf8(path), bytes);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(q(platform::utf8(copy)))))
      messageBox(app::Icon::Information,
                 "No program on this desktop opens " + util::cp1252ToUtf8(path) + ".");
  } catch (...) {
    messageBox(app::Icon::Exclamation, "Cannot open " + util::cp1252ToUtf8(path) + ".\r\n\r\n" +
                                           util::describeException(std::current_exception()));
  }
}

void Form1::dragEntriesOut() {
  if (m_running || !m_session.archive.loaded())
    return;
  std::vector<std::size_t> entries;
  for (int row = 0, rows = itemCount(); row < rows; ++row)
    if (isSelected(row))
      entries.push_back(app::entryOfItem(m_session, static_cast<std::size_t>(row)));
  if (entries.empty())
    return;
  std::vector<std::filesystem::path> files;
  m_running = true;
  m_shell.beginCommand();
  setCommandsEnabled(false);
  try {
    app::BusyPointer busy(*this);
    files = app::extractForDrag(m_session.archive, entries, privateFolder(), m_shell.progress());
  } catch (const util::Cancelled&) {
  } catch (...) {
    setBusy(false);
    messageBox(app::Icon::Exclamation, "The entries cannot be dragged out.\r\n\r\n" +
                                           util::describeException(std::current_exception()));
  }
  m_shell.setProgress(0);
  setCommandsEnabled(true);
  m_running = false;
  if (files.empty())
    return;
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  for (const auto& file : files)
    urls << QUrl::fromLocalFile(q(platform::utf8(file)));
  mime->setUrls(urls);
  if (runDrag) {
    runDrag(mime);
    delete mime;
    return;
  }
  auto* drag = new QDrag(m_list);
  drag->setMimeData(mime);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

}  // namespace gui
