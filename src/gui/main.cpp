// tarnwick: the window. `tarnwick [ARCHIVE]` opens ARCHIVE at start as if it were chosen
// in the chooser; with a window already running for the same program folder, that
// window opens it and this instance ends.
#include <QApplication>
#include <QDir>
#include <QTimer>

#include "app/shell.h"
#include "gui/form1.h"
#include "gui/qt_settings.h"
#include "gui/single_instance.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "util/version.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  platform::installInterruptCleanup();
  platform::returnLargeBuffersToTheSystem();
  const QString product = QString::fromStdString(std::string(util::kProductName));
  QApplication::setApplicationName(product);
  QApplication::setOrganizationName(product);
  QFont font = QApplication::font();
  font.setPointSize(8);
  QApplication::setFont(font);

  const std::string programFolder = app::programFolder();
  const auto args = QApplication::arguments();
  const QString archive = args.size() > 1 ? QDir().absoluteFilePath(args.at(1)) : QString();

  gui::SingleInstance instance(programFolder);
  if (!instance.isFirst()) {
    instance.forward(archive);
    return 0;
  }

  gui::QtSettings settings;
  gui::Form1 window(settings);
  if (!window.start(programFolder, app::installedHelpFolder()))
    return 1;
  window.show();

  auto open = [&window](const QString& path) {
    window.raise();
    window.activateWindow();
    window.openArchive(path.toStdString());
  };
  QObject::connect(&instance, &gui::SingleInstance::archiveRequested, &window, open);
  if (!archive.isEmpty())
    QTimer::singleShot(0, &window, [open, archive] { open(archive); });
  return QApplication::exec();
}
