// "List Model Graphics": choose a .mmod model and list the texture names it refers to.
//
// The report: "GRAPHICS FOR MODEL: <file name>", an empty line, one name per line in order
// of first appearance, an empty line, "Operation complete.". While it scans, the status
// line shows each find as "<name> loc=<hex offset of its '.'>".
#pragma once

#include "app/commands/context.h"

namespace app {

void butGetModelGraphics_Click(CommandContext& context);

// Scans session.modelPath and writes the report. A model that cannot be read gives the
// report without names and a line saying why.
void GetModelGraphics(CommandContext& context);

}  // namespace app
