#include "app/commands/context.h"

namespace app {

void CommandContext::forgetArchive() {
  session.archive = LoadedArchive{};
  session.filter.on = false;
  session.filter.shown.clear();
  window().setText("Label5", "");
}

void CommandContext::clearView(bool caretAtEnd) {
  window().clearList();
  shell.setItemCount(0);
  window().setText("Text1", "");
  forgetArchive();
  window().setLogPane("", caretAtEnd);
}

}  // namespace app
