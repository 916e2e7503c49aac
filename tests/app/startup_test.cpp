// Start-up titles the window, makes the five working folders below the program folder
// (leaving existing ones and their files alone, passing over one it cannot make), empties
// the files of Temp while keeping its sub-folders, and clears the status line and the log
// pane.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fake_window.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::FakeWindow;
using testing_support::slurp;
using testing_support::TempDir;

namespace {

TEST(Startup, MakesTheWorkingFoldersEmptiesTempAndClearsTheWindow) {
  TempDir home;
  home.write("NewMPAKs", "not a folder");  // a folder that cannot be made is passed over
  home.write("Temp/old.gz", "x");
  home.write("Temp/nested/keep.bin", "k");
  home.write("Library/ui.mpak.toc", "edited");
  FakeWindow window;
  window.texts["Text1"] = "Text1";
  window.log = "old";
  app::AppState state;
  ASSERT_TRUE(app::Startup(window, state, home.str()));
  for (auto name : {"ExtractedFiles", "Temp", "Library", "Sounds"})
    EXPECT_TRUE(fs::is_directory(home.path() / name)) << name;
  EXPECT_TRUE(window.messages.empty());
  EXPECT_FALSE(fs::exists(home.path() / "Temp/old.gz"));
  EXPECT_EQ(slurp(home.path() / "Temp/nested/keep.bin"), "k");
  EXPECT_EQ(slurp(home.path() / "Library/ui.mpak.toc"), "edited");
  EXPECT_EQ(window.text("Form1"), "Tarnwick  ver-1 build-113");
  EXPECT_EQ(window.text("Text1"), "");
  EXPECT_EQ(window.log, "");
}

TEST(Startup, FailureBeforeTheFoldersEndsTheProgramWithTheCriticalMessage) {
  struct BrokenWindow : FakeWindow {  // cannot take its title
    void setText(std::string_view control, const std::string& text) override {
      if (control == "Form1")
        throw std::runtime_error("no title");
      FakeWindow::setText(control, text);
    }
  } window;
  TempDir home;
  app::AppState state;
  EXPECT_FALSE(app::Startup(window, state, home.str()));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Critical);
  EXPECT_EQ(window.messages[0].text, "Initialization error.\r\n\r\nno title\r\n\r\nTerminating.");
  EXPECT_FALSE(fs::exists(home.path() / "Temp"));
}

TEST(ProgramFolder, HomeVariableOverridesTheExecutablesFolder) {
  TempDir home;
  ::setenv("TARNWICK_HOME", (home.str() + "/").c_str(), 1);
  EXPECT_EQ(app::programFolder(), home.str());
  ::unsetenv("TARNWICK_HOME");
  EXPECT_EQ(app::programFolder(), fs::read_symlink("/proc/self/exe").parent_path().string());
}

}  // namespace
