#include "app/commands/model.h"

#include "model/texture_scan.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/cp1252.h"
#include "util/error_text.h"
#include "util/text.h"

namespace app {

void butGetModelGraphics_Click(CommandContext& context) {
  chooseFileThen(context, "GetModelGraphics error.", "Select File [.mmod]",
                 ".mmod type files (*.mmod)|*.mmod", [&](const std::string& path) {
                   context.session.modelPath = path;
                   GetModelGraphics(context);
                 });
}

void GetModelGraphics(CommandContext& context) {
  auto& shell = context.shell;
  auto& window = shell.window();
  const std::string& path = context.session.modelPath;
  platform::MappedFile file;
  std::string failure;
  try {
    file = platform::MappedFile(platform::pathFromUtf8(path));
    if (file.size() > model::kMaxModelBytes)
      failure = std::to_string(file.size()) + " bytes is more than a model may hold (2 GiB)";
  } catch (...) {
    failure = util::describeException(std::current_exception());
  }
  window.yield();
  window.setLogPane("", true);
  shell.state().logText.clear();

  std::vector<std::string> names;
  {
    BusyPointer busy(window);
    if (failure.empty()) {
      auto finds = model::findTextureNames(file.bytes());
      for (const auto& find : finds)
        window.setText("Text1",
                       util::cp1252ToUtf8(find.name) + " loc=" + util::hexUpper(find.dotOffset));
      names = model::listTextures(finds);
    }
  }
  shell.setStatus("");
  shell.appendLog("GRAPHICS FOR MODEL: " + std::string(util::fileNamePart(path)));
  shell.appendLog("");
  for (const auto& name : names)
    shell.appendLog(util::cp1252ToUtf8(name));
  if (!failure.empty())
    shell.appendLog("Could not read the model: " + failure + ".");
  shell.appendLog("");
  shell.appendLog("Operation complete.");
  shell.ShowLog();
}

}  // namespace app
