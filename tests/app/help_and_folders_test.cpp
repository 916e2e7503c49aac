// Property: the "?" buttons show their help text with the caret at the start and leave the
// log alone; the "Open Folder" buttons open the right folder and say when they cannot.
#include "app/commands/help_and_folders.h"

#include <gtest/gtest.h>

#include "support/command_harness.h"

namespace {

struct HelpAndFolders : ::testing::Test, testing_support::CommandHarness {};

TEST_F(HelpAndFolders, HelpTextsReplaceThePaneUntilTheLogIsShownAgain) {
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

TEST_F(HelpAndFolders, FolderOpenersOpenTheirFolderOrSayWhichTheyCouldNot) {
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

}  // namespace
