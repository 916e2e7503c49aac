// tarnwick: the window. `tarnwick [ARCHIVE]` opens ARCHIVE at start as if it were
// chosen in the chooser.
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QTimer>

#include "app/shell.h"
#include "gui/form1.h"
#include "gui/qt_settings.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tarnwick");
  QApplication::setOrganizationName("Tarnwick");
  QFont font = QApplication::font();
  font.setPointSize(8);
  QApplication::setFont(font);

  const std::string programFolder = app::programFolder();

  // One window per program folder: a second instance ends at once, silently.
  auto key =
      QCryptographicHash::hash(QByteArray::fromStdString(programFolder), QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  QLockFile lock(QDir::temp().filePath("tarnwick-" + QString::fromLatin1(key) + ".lock"));
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0))
    return 0;

  gui::QtSettings settings;
  gui::Form1 window(settings);
  if (!window.start(programFolder))
    return 1;
  window.show();

  const auto args = QApplication::arguments();
  if (args.size() > 1) {
    std::string archive = args.at(1).toStdString();
    QTimer::singleShot(0, &window, [&window, archive] { window.openArchive(archive); });
  }
  return QApplication::exec();
}
