// The window's extract command ("Extract Selected File(s)") and "Select All".
//
// butMassExtract_Click writes the entries selected in List1 out of the loaded archive to
// ExtractedFiles/<Label5>/<entry path>, logging "Extracting n\N: folder\file" per entry,
// then "Unzipping n\N: <flat staging name>" per compressed entry, then the closing lines,
// and shows the log. Decompression runs in process (extract/extractor.h), so the flat
// staging names are only named in the log; nothing is staged in Temp. An unsafe entry
// path is refused and logged; a damaged entry leaves no file, is logged with the reason,
// and makes the command end with a message box counting the failures. Data that inflates
// to another size than the table says is written whole and logged as a warning. The
// catalogue, List1, its selection and Label5 are left as they are.
//
// Runs on the window's thread; yields after each entry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/context.h"

namespace app {

// The name a compressed entry's staging file would have in Temp: the archive file name,
// "+", the entry's folders each followed by "+", the file name and ".gz"
// ("ui.mpak", "textures\menu\back.dds" -> "ui.mpak+textures+menu+back.dds.gz").
std::string flatStagingName(std::string_view archiveFileName, std::string_view entryPath);

// One compressed entry handed to the decompression pass.
struct StagedEntry {
  std::string stagingName;  // flatStagingName of the entry
  bool unzipped = false;    // inflated and written
  std::string reason;       // why not, when it failed
};

// The decompression pass's lines, written once the entries are: per entry the status line
// and log line "Unzipping k\N: <staging name>" (and "Failed: <reason>." after a failed
// one), the progress bar at k / N, and a yield. Returns the number of entries unzipped.
std::size_t logUnzipLines(Shell& shell, const std::vector<StagedEntry>& staged);

// The extract command. With no archive loaded it says so and runs the .mpak chooser.
void butMassExtract_Click(CommandContext& context);

// Selects every item of List1; does nothing on an empty list.
void butSelectAll_Click(CommandContext& context);

}  // namespace app
