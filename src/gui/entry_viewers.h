// The windows an opened entry is shown in: text, images and sound banks. Each is a window
// of its own that closes with the main window and frees itself when closed.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <vector>

class QLabel;
class QMediaPlayer;
class QPushButton;
class QTableWidget;

namespace gui {

// `text` read-only in a fixed-pitch font ("textViewer").
QWidget* openTextViewer(QWidget* owner, const QString& title, const QString& text);

// `image` at its size, scrolled when larger than the screen allows ("imageViewer").
QWidget* openImageViewer(QWidget* owner, const QString& title, const QImage& image);

// A sound bank's samples (name, format, length) and Play for the one selected, where the
// system has an audio output; otherwise it says so ("soundBankViewer"). A sample played is
// written below `privateFolder` first.
class SoundBankViewer : public QWidget {
  Q_OBJECT
 public:
  SoundBankViewer(QWidget* owner, const QString& title, std::vector<std::uint8_t> bank,
                  std::filesystem::path privateFolder);
  // What the line below the list says: the sample playing, or why nothing can play.
  QString status() const;
  QTableWidget* table() const { return m_table; }
  // False where the system has no audio output.
  bool canPlay() const { return m_player != nullptr; }
  void play();

 private:
  std::vector<std::uint8_t> m_bank;
  std::filesystem::path m_privateFolder;
  QTableWidget* m_table = nullptr;
  QPushButton* m_play = nullptr;
  QLabel* m_status = nullptr;
  QMediaPlayer* m_player = nullptr;
};

}  // namespace gui
