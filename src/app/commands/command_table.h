// Which command each button of the window runs. The window forwards a click on a button
// named here to its command, and disables every button named here while one runs.
#pragma once

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

}  // namespace app
