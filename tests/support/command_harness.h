// What a window command works with, for tests: a started program folder, the recording
// window and settings, and the state the commands share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/commands/context.h"
#include "app/startup.h"
#include "support/fake_window.h"
#include "support/temp_dir.h"

namespace testing_support {

struct CommandHarness {
  TempDir home;
  FakeWindow window;
  FakeSettings settings;
  app::AppState state;
  app::Shell shell{window, state};
  app::Session session;
  app::CommandContext context{shell, settings, session};
  CommandHarness() { app::Startup(window, state, home.str()); }
};

// The log pane's text for these lines.
inline std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines)
    out += line + "\r\n";
  return out;
}

// The log pane's text for `lines`, each "\n" in it a line end.
inline std::string crlfText(std::string_view lines) {
  std::string out;
  for (char c : lines)
    out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

}  // namespace testing_support
