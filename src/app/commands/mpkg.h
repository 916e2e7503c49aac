// "Unpack .MPKG": choose a package and inflate its body into Temp/mpkg.dat.
//
// The view is reset first (empty file list, no archive loaded, empty pane); the log gains
// "Unzipping: <package path>" and, on success, the size written and where. A failure shows
// "processMPKG error." with what went wrong and where, and leaves no mpkg.dat behind: an
// earlier package's file is removed before unpacking starts, so it is never taken for the
// result.
#pragma once

#include "app/commands/context.h"

namespace app {

inline constexpr std::string_view kUnpackedPackage = "mpkg.dat";

void butDecompressMPKG_Click(CommandContext& context);

// Unpacks session.packagePath.
void processMPKG(CommandContext& context);

}  // namespace app
