// The three "?" buttons, which show a help text in the log pane, and the three "Open
// Folder" buttons, which open a working folder in the desktop's file manager.
#pragma once

#include "app/commands/context.h"

namespace app {

// The help texts, in the program folder.
inline constexpr std::string_view kExtractingHelp = "extracting_files.txt";
inline constexpr std::string_view kPackingHelp = "packing_files.txt";
inline constexpr std::string_view kConvertingHelp = "converting_fsb.txt";

// Each puts its help text (Windows-1252) into the log pane with the caret at the start;
// a missing or unreadable file leaves the pane empty. The log text is not changed.
void butFileExtractorQuestion_Click(CommandContext& context);
void butFilePackerQuestion_Click(CommandContext& context);
void butSoundConversionQuestion_Click(CommandContext& context);

// Sounds, NewMPAKs, and the loaded archive's extraction folder (ExtractedFiles itself
// when no archive is loaded or nothing was extracted from it). When no file manager can
// be started, an information box names the folder.
void butOpenSoundsFolder_Click(CommandContext& context);
void butOpenNewMPAKsFolder_Click(CommandContext& context);
void butOpenFolder_Click(CommandContext& context);

}  // namespace app
