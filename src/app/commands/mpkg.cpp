#include "app/commands/mpkg.h"

#include <filesystem>

#include "mpkg/package.h"
#include "platform/files.h"

namespace app {

void butDecompressMPKG_Click(CommandContext& context) {
  chooseFileThen(context, "DecompressMPKG error.", "Select File [.mpkg]",
                 ".mpkg type files (*.mpkg)|*.mpkg", [&](const std::string& path) {
                   context.session.packagePath = path;
                   processMPKG(context);
                 });
}

void processMPKG(CommandContext& context) {
  auto& shell = context.shell;
  auto& window = shell.window();
  const std::filesystem::path target =
      platform::pathFromUtf8(shell.state().folders.temp) / kUnpackedPackage;
  auto unpack = [&] {
    context.clearView(true);
    window.repaint("Form1");
    window.yield();
    std::filesystem::remove(target);
    const std::string& package = context.session.packagePath;
    shell.appendLog("Unzipping: " + package);
    window.setLogPane(shell.state().logText, true);
    std::uint64_t written = 0;
    {
      BusyPointer busy(window);
      written = mpkg::unpackPackage(platform::pathFromUtf8(package), target, shell.progress());
    }
    shell.appendLog(std::to_string(written) + " bytes written to " + platform::utf8(target) + ".");
    shell.ShowLog();
    window.yield();
  };
  runTrapped(shell, "processMPKG error.", unpack, [&] {
    window.yield();
    window.yield();
    context.clearView(true);
  });
}

}  // namespace app
