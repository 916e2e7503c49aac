#include "app/commands/command_table.h"

#include <array>

#include "app/commands/extract.h"
#include "app/commands/load.h"
#include "app/commands/pack.h"

namespace app {

std::span<const CommandRow> commandTable() {
  static constexpr std::array kRows = {
      CommandRow{"butSelectMPAKfile", &butSelectMPAKfile_Click},
      CommandRow{"butMassExtract", &butMassExtract_Click},
      CommandRow{"butSelectAll", &butSelectAll_Click},
      CommandRow{"butSelectMPAKFolder", &butSelectMPAKFolder_Click},
      CommandRow{"butPackMPAK", &butPackMPAK_Click},
  };
  return kRows;
}

}  // namespace app
