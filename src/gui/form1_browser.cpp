// What a modder who lives in the window needs beyond the designed controls: the filter
// line, the Cancel button and the keys.
#include <QCursor>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QShortcut>

#include "app/commands/filter.h"
#include "gui/form1.h"

namespace gui {

namespace {

QString q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
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
    // Ctrl+A in the filter line selects its text, as in any text box.
    connect(shortcut, &QShortcut::activated, this, [this, button] {
      if (button->isEnabled() && !(m_filter->hasFocus() && button->objectName() == "butSelectAll"))
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
  const struct {
    const char* area;
    const char* help;
  } groups[] = {
      {"Shape1", "butFileExtractorQuestion"},   {"List1", "butFileExtractorQuestion"},
      {"Text2", "butFileExtractorQuestion"},    {"Shape2", "butFilePackerQuestion"},
      {"Shape4", "butSoundConversionQuestion"},
  };
  for (const auto& group : groups) {
    QWidget* area = control(group.area);
    if (QRect(area->mapTo(this, QPoint(0, 0)), area->size()).contains(mouse)) {
      if (auto* button = qobject_cast<QPushButton*>(control(group.help)); button->isEnabled())
        button->click();
      return;
    }
  }
}

}  // namespace gui
