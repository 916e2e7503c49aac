// The conventions every command shares: ShowLog puts the whole log in the pane with the
// caret at the end, traps show their exact message shape and restore the pointer, and
// the chooser remembers the folder of the last chosen file.
#include "app/shell.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "support/fake_window.h"

namespace {

struct ShellFixture : ::testing::Test {
  testing_support::FakeWindow window;
  app::AppState state;
  app::Shell shell{window, state};
};

TEST_F(ShellFixture, ShowLogPutsTheWholeLogInThePaneWithTheCaretAtTheEnd) {
  shell.appendLog("first");
  shell.appendLog("second");
  EXPECT_EQ(window.log, "");  // appending alone does not touch the pane
  shell.ShowLog();
  EXPECT_EQ(window.log, "first\r\nsecond\r\n");
  EXPECT_TRUE(window.caretEnd);
}

TEST_F(ShellFixture, TrapsShowTheOperationMessageAnEmptyLineAndTheDescription) {
  const std::pair<std::function<void()>, const char*> rows[] = {
      {[] { throw std::runtime_error("disk full"); }, "disk full"},
      {[] { throw std::bad_alloc(); }, "Out of memory"},
      {[] { throw 42; }, "Unknown error"},
  };
  for (const auto& [fail, description] : rows) {
    window.messages.clear();
    window.setBusy(true);
    EXPECT_FALSE(app::runTrapped(shell, "Extract error.", fail));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
    EXPECT_EQ(window.messages[0].text, std::string("Extract error.\r\n\r\n") + description);
    EXPECT_FALSE(window.busy) << "the trap restores the pointer";
  }
  EXPECT_TRUE(app::runTrapped(shell, "Extract error.", [] {}));
}

TEST_F(ShellFixture, ChooserOpensInTheRememberedFolderAndStoresTheNewOne) {
  testing_support::FakeSettings settings;
  state.programFolder = "/opt/tarnwick";
  // First run: nothing stored, the chooser opens in the program folder.
  window.fileAnswers.push_back(std::string("/data/games/x/ui.mpak"));
  EXPECT_EQ(app::ChooseInputFile(window, settings, state, "Select File [.mpak]", "*.mpak"),
            "/data/games/x/ui.mpak");
  EXPECT_EQ(window.chooserCalls[0].initialFolder, "/opt/tarnwick");
  EXPECT_EQ(settings.values["Tarnwick/Preferences/OpenFilePath"], "/data/games/x");

  // The choosers share the folder; a cancel changes nothing.
  window.fileAnswers.push_back(std::nullopt);
  EXPECT_FALSE(app::ChooseInputFile(window, settings, state, "Select File [.fsb]", "*.fsb"));
  EXPECT_EQ(window.chooserCalls[1].initialFolder, "/data/games/x");
  EXPECT_EQ(settings.values["Tarnwick/Preferences/OpenFilePath"], "/data/games/x");
}

TEST(RememberedFolder, RootsAndNestedFolders) {
  const std::pair<const char*, const char*> rows[] = {{"C:\\a.mpak", "C:"},
                                                      {"D:\\x\\y\\b.fsb", "D:\\x\\y"},
                                                      {"/a.mpak", "/"},
                                                      {"/x/y z/c.mmod", "/x/y z"}};
  for (const auto& [path, folder] : rows)
    EXPECT_EQ(app::rememberedFolderOf(path), folder) << path;
}

}  // namespace
