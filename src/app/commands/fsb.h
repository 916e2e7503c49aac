// "Convert .FSB": choose a sound bank and have the converter write its sounds into Sounds.
//
// The view is reset first (empty file list, no archive loaded, empty pane); the log gains
// "Converting: <bank file name>". A file in Sounds named like the bank's first sample is
// deleted before the converter runs, but only when that name is one plain file name. The
// converter runs as `fsbext -d <Sounds> -a <bank>`; on success the log lists the files it
// added to Sounds and "Operation complete.", otherwise the pane is emptied and a box shows
// "Conversion error (<code>)." with what the converter said.
#pragma once

#include "app/commands/context.h"

namespace app {

void butConvertFSB_Click(CommandContext& context);

// Converts session.bankPath.
void processFSB(CommandContext& context);

}  // namespace app
