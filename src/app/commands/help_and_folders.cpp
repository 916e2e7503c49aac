#include "app/commands/help_and_folders.h"

#include <filesystem>

#include "platform/files.h"
#include "util/cp1252.h"
#include "util/file_io.h"

namespace app {

namespace {

void showHelp(CommandContext& context, std::string_view file) {
  // The program folder's own copy first (a user may edit it), then the installed one.
  std::string text;
  for (const auto& folder : {context.state().programFolder, context.state().helpFolder}) {
    if (folder.empty())
      continue;
    try {
      text = util::readWholeFile(platform::pathFromUtf8(folder) / platform::pathFromUtf8(file));
      break;
    } catch (...) {
      // Not there; a help text found nowhere leaves the pane empty.
    }
  }
  context.window().yield();
  context.window().setLogPane(util::cp1252ToUtf8(text), false);
}

void openFolder(CommandContext& context, const std::string& folder) {
  if (!context.window().openFolder(folder))
    context.window().messageBox(
        Icon::Information, "No file manager could be started to open the folder " + folder + ".");
}

}  // namespace

void butFileExtractorQuestion_Click(CommandContext& context) {
  showHelp(context, kExtractingHelp);
}
void butFilePackerQuestion_Click(CommandContext& context) {
  showHelp(context, kPackingHelp);
}
void butSoundConversionQuestion_Click(CommandContext& context) {
  showHelp(context, kConvertingHelp);
}

void butOpenSoundsFolder_Click(CommandContext& context) {
  openFolder(context, context.state().folders.sounds);
}
void butOpenNewMPAKsFolder_Click(CommandContext& context) {
  openFolder(context, context.state().folders.newMpaks);
}

void butOpenFolder_Click(CommandContext& context) {
  const auto& extracted = context.state().folders.extractedFiles;
  const auto& name = context.session.archive.fileName;
  std::error_code ec;
  const std::string folder =
      platform::utf8(platform::pathFromUtf8(extracted) / platform::pathFromUtf8(name));
  if (!name.empty() && std::filesystem::is_directory(platform::pathFromUtf8(folder), ec))
    openFolder(context, folder);
  else
    openFolder(context, extracted);
}

}  // namespace app
