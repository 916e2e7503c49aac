#include "app/commands/command_table.h"

#include <array>

#include "app/commands/extract.h"
#include "app/commands/fsb.h"
#include "app/commands/help_and_folders.h"
#include "app/commands/load.h"
#include "app/commands/model.h"
#include "app/commands/mpkg.h"
#include "app/commands/pack.h"

namespace app {

std::span<const CommandRow> commandTable() {
  static constexpr std::array kRows = {
      CommandRow{"butSelectMPAKfile", &butSelectMPAKfile_Click},
      CommandRow{"butMassExtract", &butMassExtract_Click},
      CommandRow{"butSelectAll", &butSelectAll_Click},
      CommandRow{"butSelectMPAKFolder", &butSelectMPAKFolder_Click},
      CommandRow{"butPackMPAK", &butPackMPAK_Click},
      CommandRow{"butFileExtractorQuestion", &butFileExtractorQuestion_Click},
      CommandRow{"butFilePackerQuestion", &butFilePackerQuestion_Click},
      CommandRow{"butSoundConversionQuestion", &butSoundConversionQuestion_Click},
      CommandRow{"butOpenFolder", &butOpenFolder_Click},
      CommandRow{"butOpenNewMPAKsFolder", &butOpenNewMPAKsFolder_Click},
      CommandRow{"butOpenSoundsFolder", &butOpenSoundsFolder_Click},
      CommandRow{"butGetModelGraphics", &butGetModelGraphics_Click},
      CommandRow{"butDecompressMPKG", &butDecompressMPKG_Click},
      CommandRow{"butConvertFSB", &butConvertFSB_Click},
  };
  return kRows;
}

bool runOneCommand(CommandContext& context, bool& running,
                   const std::function<void(bool)>& enableCommands,
                   const std::function<void(CommandContext&)>& command) {
  if (running)
    return false;
  running = true;
  context.shell.beginCommand();
  enableCommands(false);
  try {
    command(context);
    context.shell.endCommand();
  } catch (...) {
    // Commands trap their own failures; nothing may reach the window's event handling.
  }
  enableCommands(true);
  running = false;
  return true;
}

}  // namespace app
