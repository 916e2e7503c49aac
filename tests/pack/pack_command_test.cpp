// Property: the window's pack commands give the exact log lines and message boxes, write
// the archive to NewMPAKs, and leave the previous archive alone when the pack fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/commands/pack.h"
#include "mpak/library_toc.h"
#include "support/command_harness.h"
#include "util/mapped_file.h"

namespace {

namespace fs = std::filesystem;
using testing_support::crlf;
using testing_support::slurp;

struct PackFixture : ::testing::Test, testing_support::CommandHarness {
  void choose(const std::string& folder) {
    window.folderAnswers.push_back(folder);
    app::butSelectMPAKFolder_Click(context);
  }
};

TEST_F(PackFixture, PacksTheChosenFolderAsTheTableSaysWithTheExactLog) {
  home.write("ExtractedFiles/ui.mpak/b.txt", "bee");
  home.write("ExtractedFiles/ui.mpak/sub/a.dds", "texture");
  home.write("ExtractedFiles/ui.mpak/new.lua", "print()");
  home.write("Library/ui.mpak.toc",
             "--c\r\n\r\n00 2 0 sub\\a.dds\r\n01 1 1 b.txt\r\n01 1 0 old.bin");
  choose(home.str() + "/ExtractedFiles/ui.mpak/");
  EXPECT_EQ(window.browseTitles,
            std::vector<std::string>{"Select .mpak folder from \\ExtractedFiles"});
  EXPECT_EQ(window.text("Label13"), "ui.mpak");

  app::butPackMPAK_Click(context);

  EXPECT_TRUE(window.messages.empty()) << window.messages[0].text;
  EXPECT_EQ(window.log,
            crlf({"Zipping 1: b.txt.3.1.1.cmp", "Zipping 2: new.lua.7.1.1.cmp",
                  "Copying 3: sub+a.dds.7.2.0.unc", "Packing 1/3: sub+a.dds.7.2.0.unc",
                  "Packing 2/3: b.txt.3.1.1.cmp", "Packing 3/3: new.lua.7.1.1.cmp",
                  "Table lines that name no file: 1", "  01 1 0 old.bin",
                  "Files no table line names (packed compressed, 1 copy, in the STOC): 1",
                  "  new.lua", "2 files zipped.", "3 files packed.", "TOC entries processed: 3",
                  "STOC entries processed: 2", ".MPAK pack complete."}));
  util::MappedFile archive(home.path() / "NewMPAKs" / "ui.mpak");
  EXPECT_TRUE(mpak::libraryTocText(mpak::readArchiveIndex(archive.bytes()).entries)
                  .ends_with("\r\n\r\n00 2 0 sub\\a.dds\r\n01 1 1 b.txt\r\n01 1 1 new.lua"));
  EXPECT_EQ(window.text("Text1"), "");
  EXPECT_FALSE(window.busy);

  window.folderAnswers.push_back(std::nullopt);  // a cancelled browser changes nothing
  app::butSelectMPAKFolder_Click(context);
  EXPECT_EQ(window.text("Label13"), "ui.mpak");
}

TEST_F(PackFixture, InputChecksSayWhatIsMissingAndPackNothing) {
  home.write("ExtractedFiles/notable.mpak/a.txt", "a");
  struct Row {
    std::string folder;  // "" = none chosen
    app::Icon icon;
    std::string text;
  } rows[] = {
      {"", app::Icon::Information,
       "No MPAK folder selected.\r\n\r\nFirst select the extracted MPAK folder you want to "
       "repack."},
      {"/elsewhere/missing.mpak", app::Icon::Information,
       "\\missing.mpak folder does not exist in \\ExtractedFiles folder."},
      {"/elsewhere/notable.mpak", app::Icon::Exclamation,
       "No library .toc file found for this .MPAK.\r\n\r\nOpen original .MPAK file again to "
       "recreate."}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    window.messages.clear();
    window.browseTitles.clear();
    if (!row.folder.empty())
      choose(row.folder);
    app::butPackMPAK_Click(context);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, row.icon);
    EXPECT_EQ(window.messages[0].text, row.text);
    // With no folder chosen the pack opens the browser; choose() opened it for the others.
    EXPECT_EQ(window.browseTitles.size(), 1u);
    EXPECT_FALSE(window.busy);
  }
  EXPECT_TRUE(fs::is_empty(home.path() / "NewMPAKs"));
}

TEST_F(PackFixture, AFailedPackNamesTheLineAndKeepsThePreviousArchive) {
  home.write("ExtractedFiles/ui.mpak/a.txt", "a");
  home.write("Library/ui.mpak.toc", "01 -1 0 a.txt");
  home.write("NewMPAKs/ui.mpak", "the previous archive");
  choose("ui.mpak");

  app::butPackMPAK_Click(context);

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
  EXPECT_EQ(window.messages[0].text,
            "PackIt error.\r\n\r\nlibrary table line 1 (\"01 -1 0 a.txt\"): copies \"-1\" is not "
            "a whole number from 0 to 32767");
  EXPECT_EQ(window.log, crlf({"0 files zipped.", "0 files packed.", "TOC entries processed: 0",
                              "STOC entries processed: 0", "STOC table was not created.",
                              "Pack operation aborted due to error."}));
  EXPECT_EQ(slurp(home.path() / "NewMPAKs/ui.mpak"), "the previous archive");
}

}  // namespace
