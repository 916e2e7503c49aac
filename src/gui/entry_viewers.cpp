#include "gui/entry_viewers.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/commands/open_entry.h"
#include "util/error_text.h"

namespace gui {

namespace {

// A window of its own that goes with its owner and frees itself when closed.
QWidget* newViewer(QWidget* owner, const char* name, const QString& title, QSize size) {
  auto* viewer = new QWidget(owner, Qt::Window);
  viewer->setObjectName(name);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->setWindowTitle(title + " - Tarnwick");
  viewer->resize(size);
  return viewer;
}

}  // namespace

QWidget* openTextViewer(QWidget* owner, const QString& title, const QString& text) {
  QWidget* viewer = newViewer(owner, "textViewer", title, QSize(720, 520));
  auto* edit = new QPlainTextEdit(viewer);
  edit->setReadOnly(true);
  edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edit->setPlainText(text);
  auto* layout = new QVBoxLayout(viewer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit);
  viewer->show();
  return viewer;
}

QWidget* openImageViewer(QWidget* owner, const QString& title, const QImage& image) {
  QWidget* viewer = newViewer(
      owner, "imageViewer", title + QString(" (%1 x %2)").arg(image.width()).arg(image.height()),
      QSize(std::clamp(image.width() + 24, 360, 1000), std::clamp(image.height() + 24, 280, 760)));
  auto* picture = new QLabel;
  picture->setPixmap(QPixmap::fromImage(image));
  auto* scroll = new QScrollArea(viewer);
  scroll->setWidget(picture);
  scroll->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(viewer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
  viewer->show();
  return viewer;
}

SoundBankViewer::SoundBankViewer(QWidget* owner, const QString& title,
                                 std::vector<std::uint8_t> bank,
                                 std::filesystem::path privateFolder)
    : QWidget(owner, Qt::Window),
      m_bank(std::move(bank)),
      m_privateFolder(std::move(privateFolder)) {
  setObjectName("soundBankViewer");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(title + " - Tarnwick");
  resize(560, 360);
  const auto lines = app::soundLines(m_bank);
  m_table = new QTableWidget(static_cast<int>(lines.size()), 3, this);
  m_table->setHorizontalHeaderLabels({"Name", "Format", "Length"});
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->horizontalHeader()->setStretchLastSection(true);
  for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
    const auto& line = lines[static_cast<std::size_t>(row)];
    m_table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(line.name)));
    m_table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(line.format)));
    m_table->setItem(row, 2, new QTableWidgetItem(QString::number(line.seconds, 'f', 2) + " s"));
  }
  m_table->resizeColumnsToContents();
  if (!lines.empty())
    m_table->selectRow(0);
  m_play = new QPushButton("Play", this);
  m_status = new QLabel(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_table);
  layout->addWidget(m_play);
  layout->addWidget(m_status);
  if (QMediaDevices::audioOutputs().isEmpty()) {
    m_play->setEnabled(false);
    m_status->setText("This system has no audio output: the samples cannot be played here.");
  } else {
    m_player = new QMediaPlayer(this);
    m_player->setAudioOutput(new QAudioOutput(this));
  }
  connect(m_play, &QPushButton::clicked, this, &SoundBankViewer::play);
  connect(m_table, &QTableWidget::cellDoubleClicked, this, &SoundBankViewer::play);
  show();
}

QString SoundBankViewer::status() const {
  return m_status->text();
}

void SoundBankViewer::play() {
  const int row = m_table->currentRow();
  if (!m_player || row < 0)
    return;
  try {
    std::string extension;
    const auto sound = app::playableSample(m_bank, static_cast<std::size_t>(row), extension);
    const QString name = m_table->item(row, 0)->text();
    const auto file = app::writePrivateCopy(m_privateFolder, name.toStdString() + extension, sound);
    m_player->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    m_player->play();
    m_status->setText("Playing " + name);
  } catch (...) {
    m_status->setText("Cannot play it: " +
                      QString::fromStdString(util::describeException(std::current_exception())));
  }
}

}  // namespace gui
