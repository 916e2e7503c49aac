// The conventions every command shares: traps show their exact message shape and restore
// the pointer, and the chooser remembers the folder of the last chosen file. The "?"
// buttons show their help text with the caret at the start and leave the log alone; the
// "Open Folder" buttons open the right folder and say when they cannot.
#include "app/shell.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "app/commands/help_and_folders.h"
#include "support/command_harness.h"

namespace {

struct ShellFixture : ::testing::Test, testing_support::CommandHarness {};

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

TEST_F(ShellFixture, HelpTextsReplaceThePaneUntilTheLogIsShownAgain) {
  home.write("packing_files.txt", "PACKING\r\nFeld \xFC\r\n");
  state.logText = "the log\r\n";
  window.log = "the log\r\n";

  app::butFilePackerQuestion_Click(context);
  EXPECT_EQ(window.log, "PACKING\r\nFeld \xC3\xBC\r\n");
  EXPECT_FALSE(window.caretEnd);
  app::butFileExtractorQuestion_Click(context);  // no such file: an empty pane
  EXPECT_EQ(window.log, "");
  EXPECT_EQ(state.logText, "the log\r\n");
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ShellFixture, FolderOpenersOpenTheirFolderOrSayWhichTheyCouldNot) {
  const std::string extracted = home.str() + "/ExtractedFiles";
  app::butOpenFolder_Click(context);  // no archive loaded
  session.archive.fileName = "ui.mpak";
  app::butOpenFolder_Click(context);  // loaded, nothing extracted yet
  home.write("ExtractedFiles/ui.mpak/a.txt", "a");
  app::butOpenFolder_Click(context);
  app::butOpenNewMPAKsFolder_Click(context);
  app::butOpenSoundsFolder_Click(context);
  EXPECT_EQ(window.openedFolders,
            (std::vector<std::string>{extracted, extracted, extracted + "/ui.mpak",
                                      home.str() + "/NewMPAKs", home.str() + "/Sounds"}));
  EXPECT_TRUE(window.messages.empty());

  window.fileManagerWorks = false;
  app::butOpenSoundsFolder_Click(context);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Information);
  EXPECT_EQ(window.messages[0].text,
            "No file manager could be started to open the folder " + home.str() + "/Sounds.");
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
