// Start-up sets the title, makes the five working folders below the program folder
// (leaving existing ones and their files alone), empties the files of Temp while keeping
// its sub-folders, and clears the status line and the log pane.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/commands/command_table.h"
#include "app/form_design.h"
#include "support/fake_window.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::FakeWindow;
using testing_support::slurp;
using testing_support::TempDir;

namespace {

TEST(Startup, MakesTheFiveWorkingFoldersAndTitlesTheWindow) {
  TempDir home;
  FakeWindow window;
  window.texts["Text1"] = "Text1";
  window.log = "old";
  app::AppState state;
  ASSERT_TRUE(app::Startup(window, state, home.str()));
  for (auto name : {"ExtractedFiles", "Temp", "NewMPAKs", "Library", "Sounds"})
    EXPECT_TRUE(fs::is_directory(home.path() / name)) << name;
  EXPECT_EQ(window.text("Form1"), "Tarnwick  ver-1 build-113");
  EXPECT_EQ(window.text("Text1"), "");
  EXPECT_EQ(window.log, "");
  EXPECT_EQ(state.folders.library, home.str() + "/Library");
}

TEST(Startup, EmptiesTempFilesButKeepsSubFoldersAndOtherFolders) {
  TempDir home;
  home.write("Temp/old.gz", "x");
  home.write("Temp/nested/keep.bin", "k");
  home.write("Library/ui.mpak.toc", "edited");
  home.write("ExtractedFiles/ui.mpak/a.txt", "a");
  FakeWindow window;
  app::AppState state;
  ASSERT_TRUE(app::Startup(window, state, home.str()));
  EXPECT_FALSE(fs::exists(home.path() / "Temp/old.gz"));
  EXPECT_EQ(slurp(home.path() / "Temp/nested/keep.bin"), "k");
  EXPECT_EQ(slurp(home.path() / "Library/ui.mpak.toc"), "edited");
  EXPECT_EQ(slurp(home.path() / "ExtractedFiles/ui.mpak/a.txt"), "a");
}

TEST(Startup, FolderFailuresAreIgnored) {
  TempDir home;
  // A file where the Library folder should be: the folder cannot be made, start-up goes on.
  home.write("Library", "not a folder");
  FakeWindow window;
  app::AppState state;
  EXPECT_TRUE(app::Startup(window, state, home.str()));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(fs::is_directory(home.path() / "Sounds"));
}

TEST(Startup, FailureBeforeTheFoldersEndsTheProgramWithTheCriticalMessage) {
  // A window that cannot take its title.
  struct BrokenWindow : FakeWindow {
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

TEST(CommandTable, EveryRowNamesADesignedButtonOnce) {
  std::set<std::string_view> seen;
  for (const auto& row : app::commandTable()) {
    const auto* c = app::findControl(row.button);
    ASSERT_NE(c, nullptr) << row.button;
    EXPECT_EQ(c->kind, app::ControlKind::Button) << row.button;
    EXPECT_TRUE(seen.insert(row.button).second) << row.button;
  }
}

}  // namespace
