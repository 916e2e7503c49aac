// tarnwick.exe: the window. `tarnwick ARCHIVE` opens ARCHIVE at start as if it were chosen
// in the chooser; with a window already running for the same program folder, that window
// opens it and this instance ends.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <filesystem>

#include "app/shell.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "win32/form1.h"
#include "win32/registry_settings.h"
#include "win32/single_instance.h"

int main(int argc, char** argv) {
  platform::installInterruptCleanup();
  const auto args = platform::arguments(argc, argv);
  std::string archive;
  if (args.size() > 1)
    archive = platform::utf8(std::filesystem::absolute(platform::pathFromUtf8(args[1])));

  const std::string programFolder = app::programFolder();
  win32::SingleInstance instance(programFolder);
  if (!instance.isFirst()) {
    instance.forward(archive);
    return 0;
  }

  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  HINSTANCE module = ::GetModuleHandleW(nullptr);

  win32::RegistrySettings settings;
  win32::Form1 window(settings);
  if (!window.create(module, programFolder, app::installedHelpFolder()))
    return 1;
  ::ShowWindow(window.handle(), SW_SHOWNORMAL);
  ::UpdateWindow(window.handle());
  instance.listen(module, [&window](const std::string& path) {
    if (!path.empty())
      window.openArchive(path);
    else
      ::SetForegroundWindow(window.handle());
  });
  if (!archive.empty())
    window.openArchive(archive);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!window.handleKey(message) && !::IsDialogMessageW(window.handle(), &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  ::CoUninitialize();
  return 0;
}
