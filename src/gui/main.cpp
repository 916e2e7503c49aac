// tarnwick: the window. `tarnwick [ARCHIVE]` opens ARCHIVE at start as if it were chosen
// in the chooser; with a window already running for the same program folder, that
// window opens it and this instance ends.
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "app/shell.h"
#include "gui/form1.h"
#include "gui/qt_settings.h"
#include "gui/single_instance.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "util/version.h"

namespace {

// What `tarnwick --help` prints; the manual page is made from it.
constexpr const char* kUsage =
    "Usage: tarnwick [ARCHIVE]\n"
    "The Tarnwick window: open an MPAK game archive, find, view and extract its entries,\n"
    "pack an edited folder back into an archive, convert FSB sound banks, unpack MPKG\n"
    "packages and list the textures a model names.\n"
    "\n"
    "With ARCHIVE the window opens it at once; when a window is already running for the\n"
    "same working folders, that window opens it and this program ends.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and end\n"
    "      --version  show the version and end\n"
    "\n"
    "Keys: Ctrl+O opens an archive, Ctrl+F finds entries (Escape clears the filter),\n"
    "Ctrl+A selects every entry shown, Ctrl+E extracts the selection, Enter or a\n"
    "double-click opens an entry, Escape stops a running command, F1 shows the help\n"
    "of the frame under the mouse.\n";

// --help and --version answer without a display; false when neither was asked for.
bool answeredOption(int argc, char** argv) {
  if (argc < 2)
    return false;
  const std::string_view first = argv[1];
  if (first == "-h" || first == "--help") {
    std::fputs(kUsage, stdout);
    return true;
  }
  if (first == "--version") {
    std::printf("tarnwick (%s %s)\n", std::string(util::kProductName).c_str(),
                std::string(util::kVersionText).c_str());
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (answeredOption(argc, argv))
    return 0;
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
