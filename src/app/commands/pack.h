// The pack commands: choose an extracted folder ("Select .MPAK Folder", Label13 shows its
// name) and pack it into NewMPAKs as its library table says ("Pack New .MPAK").
//
// The log of a pack: "Zipping n: <staged name>" or "Copying n: <staged name>" per file in
// the order the folder is walked, "Packing n/N: <staged name>" per entry in archive
// order, what the folder and the table say to each other (table lines that name no file,
// files no line names, items skipped), then the counter lines and ".MPAK pack complete."
// or "Pack operation aborted due to error.". Staged names are the names files would wait
// under in Temp; nothing is staged there any more. A failure leaves the previous archive
// in NewMPAKs as it was.
#pragma once

#include "app/commands/context.h"

namespace app {

void butSelectMPAKFolder_Click(CommandContext& context);
void butPackMPAK_Click(CommandContext& context);

// How many names the log lists of the table lines and files that do not match.
inline constexpr std::size_t kMaxListedMismatches = 20;

}  // namespace app
