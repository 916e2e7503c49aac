// The real window, started in HOME as the program starts it, extracts all of ARCHIVE and ends.
//   window_extract_child HOME ARCHIVE
#include <QApplication>
#include <QPushButton>

#include "gui/form1.h"
#include "platform/temporary.h"
#include "support/command_harness.h"

int main(int argc, char** argv) {
  if (argc != 3)
    return 2;
  platform::installInterruptCleanup();
  QApplication application(argc, argv);
  testing_support::FakeSettings settings;
  gui::Form1 window(settings);
  if (!window.start(argv[1]))
    return 1;
  window.openArchive(argv[2]);
  window.selectAll();
  window.findChild<QPushButton*>("butMassExtract")->click();
  return window.logPane().ends_with("Extraction complete.\r\n") ? 0 : 1;
}
