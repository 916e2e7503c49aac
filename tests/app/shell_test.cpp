// The conventions every command shares: ShowLog puts the whole log in the pane with the
// caret at the end, the status line is replaced and repainted, the progress bar is a
// fraction of Label9's designed width, traps show their exact message shape, and the
// chooser remembers the folder of the last chosen file.
#include "app/shell.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <system_error>

#include "support/fake_window.h"

using testing_support::FakeSettings;
using testing_support::FakeWindow;

namespace {

struct ShellFixture : ::testing::Test {
  FakeWindow window;
  app::AppState state;
  app::Shell shell{window, state};
  ShellFixture() {
    state.programFolder = "/opt/tarnwick";
    state.progressFullWidth = 3495;
  }
};

TEST_F(ShellFixture, ShowLogPutsTheWholeLogInThePaneWithTheCaretAtTheEnd) {
  shell.appendLog("first");
  shell.appendLog("second");
  EXPECT_EQ(window.log, "");  // appending alone does not touch the pane
  shell.ShowLog();
  EXPECT_EQ(window.log, "first\r\nsecond\r\n");
  EXPECT_TRUE(window.caretEnd);
  EXPECT_EQ(window.repaints.back(), "RichTextBox1");
}

TEST_F(ShellFixture, StatusLineIsReplacedAndRepainted) {
  shell.setStatus("Extracting 1\\2: a\\b.txt");
  shell.setStatus("Extracting 2\\2: \\c.dds");
  EXPECT_EQ(window.text("Text1"), "Extracting 2\\2: \\c.dds");
  EXPECT_EQ(std::count(window.repaints.begin(), window.repaints.end(), "Text1"), 2);
}

TEST_F(ShellFixture, TrapsShowTheOperationMessageAnEmptyLineAndTheDescription) {
  struct Row {
    const char* message;
    std::function<void()> fail;
    const char* expected;
  } rows[] = {
      {"Extract error.", [] { throw std::runtime_error("disk full"); },
       "Extract error.\r\n\r\ndisk full"},
      {"PackIt error.", [] { throw std::out_of_range("Subscript out of range"); },
       "PackIt error.\r\n\r\nSubscript out of range"},
      {"ProcessLibrary error.", [] { throw std::bad_alloc(); },
       "ProcessLibrary error.\r\n\r\nOut of memory"},
      {"ConvertFSB error.", [] { throw 42; }, "ConvertFSB error.\r\n\r\nUnknown error"},
  };
  for (const auto& row : rows) {
    window.messages.clear();
    window.setBusy(true);
    EXPECT_FALSE(app::runTrapped(shell, row.message, row.fail));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
    EXPECT_EQ(window.messages[0].text, row.expected);
    EXPECT_FALSE(window.busy) << "the trap restores the pointer";
  }
  EXPECT_TRUE(app::runTrapped(shell, "Extract error.", [] {}));
}

TEST_F(ShellFixture, BusyPointerIsRestoredOnEveryExit) {
  EXPECT_FALSE(app::runTrapped(shell, "Extract error.", [&] {
    app::BusyPointer busy(window);
    EXPECT_TRUE(window.busy);
    throw std::runtime_error("x");
  }));
  EXPECT_FALSE(window.busy);
}

TEST_F(ShellFixture, ChooserOpensInTheRememberedFolderAndStoresTheNewOne) {
  FakeSettings settings;
  // First run: nothing stored, the chooser opens in the program folder.
  window.fileAnswers.push_back(std::string("/data/games/x/ui.mpak"));
  auto chosen = app::ChooseInputFile(window, settings, state, "Select File [.mpak]",
                                     ".mpak type files (*.mpak)|*.mpak");
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, "/data/games/x/ui.mpak");
  EXPECT_EQ(window.chooserCalls[0].initialFolder, "/opt/tarnwick");
  EXPECT_EQ(window.chooserCalls[0].title, "Select File [.mpak]");
  EXPECT_EQ(window.chooserCalls[0].filter, ".mpak type files (*.mpak)|*.mpak");
  EXPECT_EQ(settings.values["Tarnwick/Preferences/OpenFilePath"], "/data/games/x");

  // The choosers share the folder; a cancel changes nothing.
  window.fileAnswers.push_back(std::nullopt);
  EXPECT_FALSE(app::ChooseInputFile(window, settings, state, "Select File [.fsb]",
                                    ".fsb type files (*.fsb)|*.fsb"));
  EXPECT_EQ(window.chooserCalls[1].initialFolder, "/data/games/x");
  EXPECT_EQ(settings.values["Tarnwick/Preferences/OpenFilePath"], "/data/games/x");
}

TEST(RememberedFolder, RootsAndNestedFolders) {
  struct Row {
    const char* path;
    const char* folder;
  } rows[] = {{"C:\\a.mpak", "C:"},
              {"D:\\x\\y\\b.fsb", "D:\\x\\y"},
              {"/a.mpak", "/"},
              {"/x/y/b.fsb", "/x/y"},
              {"/x/y z/c.mmod", "/x/y z"}};
  for (const auto& row : rows)
    EXPECT_EQ(app::rememberedFolderOf(row.path), row.folder) << row.path;
}

}  // namespace
