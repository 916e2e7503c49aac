// Which command each button of the window runs. The window forwards a click on a button
// named here to its command, and disables every button named here while one runs.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "app/commands/context.h"

namespace app {

using Command = void (*)(CommandContext& context);

struct CommandRow {
  std::string_view button;  // the control name of the button
  Command command;
};

std::span<const CommandRow> commandTable();

// Runs `command` as the window's one command: nothing when one runs already (`running`);
// otherwise the command buttons are off (`enableCommands(false)`) while it runs, the shell
// begins and ends it (the line of a cancelled command), and nothing it throws reaches the
// window. Returns whether it ran.
bool runOneCommand(CommandContext& context, bool& running,
                   const std::function<void(bool)>& enableCommands,
                   const std::function<void(CommandContext&)>& command);

}  // namespace app
