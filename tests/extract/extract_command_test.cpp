// Property: the window's extract command behaves as the user's guide describes it: the
// input checks and their messages, the folder tree it writes below
// ExtractedFiles/<archive>, the exact log lines and status line, the closing counts, the
// busy pointer, and a window state (catalogue, list, selection, Label5) it leaves alone.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "extract/extract_command.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

using extract_tests::PrintTo;

using testing_support::RawEntry;
using testing_support::slurp;

class ExtractCommand : public ::testing::Test, public ProgramFolder {
 protected:
  void extract() {
    extract::butMassExtract_Click(shell, catalogue, [&] { ++chooserRuns; });
  }
  int chooserRuns = 0;
};

struct TreeCase {
  const char* name;
  bool compress;
};

class SingleEntryTree : public ExtractCommand, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(SingleEntryTree, WritesFoldersShallowestFirstAndTheExactContent) {
  const std::string content = "hello, nested world\r\nsecond line\r\n";
  load("ui.mpak",
       {GetParam().compress ? compressed("a/b/c.txt", content) : stored("a/b/c.txt", content)});
  select({0});
  std::vector<std::string> statusDuringPass;
  window.onYield = [&] { statusDuringPass.push_back(window.text("Text1")); };

  extract();

  EXPECT_TRUE(fs::is_directory(root() / "a"));
  EXPECT_TRUE(fs::is_directory(root() / "a" / "b"));
  EXPECT_EQ(slurp(root() / "a" / "b" / "c.txt"), content);
  EXPECT_EQ(filesBelow(root()), std::vector<std::string>{"a/b/c.txt"});
  EXPECT_NE(
      std::find(statusDuringPass.begin(), statusDuringPass.end(), "Extracting 1\\1: a\\b\\c.txt"),
      statusDuringPass.end());
  EXPECT_EQ(window.text("Text1"), "");
  // Decompression runs in process: nothing is staged in Temp.
  EXPECT_TRUE(filesBelow(state.folders.temp).empty());
  EXPECT_TRUE(window.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(StoredAndCompressed, SingleEntryTree,
                         ::testing::Values(TreeCase{"Stored", false}, TreeCase{"Compressed", true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ExtractCommand, TwoEntryExampleLogsExactlySixLines) {
  load("ui.mpak", {stored("a/b.txt", "plain text"), compressed("c.dds", "DDS texture bytes")});
  select({0, 1});

  extract();

  EXPECT_EQ(window.log,
            "Extracting 1\\2: a\\b.txt\r\n"
            "Extracting 2\\2: \\c.dds\r\n"
            "Unzipping 1\\1: ui.mpak+c.dds.gz\r\n"
            "1 files unzipped.\r\n"
            "2 files extracted.\r\n"
            "Extraction complete.\r\n");
  EXPECT_TRUE(window.caretEnd);
  EXPECT_EQ(slurp(root() / "a" / "b.txt"), "plain text");
  EXPECT_EQ(slurp(root() / "c.dds"), "DDS texture bytes");
  EXPECT_EQ(window.text("Text1"), "");
  EXPECT_DOUBLE_EQ(window.progress, 1000.0);
}

TEST_F(ExtractCommand, SelectionWithoutCompressedEntriesSkipsTheUnzipLines) {
  load("ui.mpak", {stored("one.txt", "1"), stored("x/two.txt", "22"),
                   stored("x/y/three.txt", "333"), compressed("not/chosen.txt", "left alone")});
  select({0, 1, 2});

  extract();

  auto lines = logLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Extracting 1\\3: \\one.txt");
  EXPECT_EQ(lines[1], "Extracting 2\\3: x\\two.txt");
  EXPECT_EQ(lines[2], "Extracting 3\\3: x\\y\\three.txt");
  EXPECT_EQ(lines[3], "0 files unzipped.");
  EXPECT_EQ(lines[4], "3 files extracted.");
  EXPECT_EQ(lines[5], "Extraction complete.");
  EXPECT_EQ(filesBelow(root()),
            (std::vector<std::string>{"one.txt", "x/two.txt", "x/y/three.txt"}));
}

TEST_F(ExtractCommand, UnzipLinesFollowCatalogueOrderAndNumberTheCompressedEntries) {
  load("ui.mpak", {compressed("z.txt", "zz"), stored("m.txt", "mm"), compressed("d/a.txt", "aa"),
                   compressed("textures/menu/back.dds", "back")});
  select({0, 1, 2, 3});

  extract();

  auto lines = logLines();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[4], "Unzipping 1\\3: ui.mpak+z.txt.gz");
  EXPECT_EQ(lines[5], "Unzipping 2\\3: ui.mpak+d+a.txt.gz");
  EXPECT_EQ(lines[6], "Unzipping 3\\3: ui.mpak+textures+menu+back.dds.gz");
  EXPECT_EQ(lines[7], "3 files unzipped.");
  EXPECT_EQ(lines[8], "4 files extracted.");
  EXPECT_EQ(slurp(root() / "textures" / "menu" / "back.dds"), "back");
}

struct EmptyCase {
  const char* name;
  RawEntry entry;
  const char* unzipLine;  // "" when the entry is not inflated
};

class EmptyEntry : public ExtractCommand, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(EmptyEntry, GivesAnEmptyFile) {
  load("ui.mpak", {GetParam().entry});
  select({0});

  extract();

  ASSERT_TRUE(fs::is_regular_file(root() / "empty.bin"));
  EXPECT_EQ(fs::file_size(root() / "empty.bin"), 0u);
  auto lines = logLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Extracting 1\\1: \\empty.bin");
  EXPECT_EQ(lines[lines.size() - 2], "1 files extracted.");
  if (*GetParam().unzipLine)
    EXPECT_EQ(lines[1], GetParam().unzipLine);
  else
    EXPECT_EQ(lines.size(), 4u);
  EXPECT_TRUE(window.messages.empty());
}

RawEntry emptyDeflateStream() {
  RawEntry e = compressed("empty.bin", "");
  return e;
}
RawEntry storedEmpty() {
  return stored("empty.bin", "");
}
RawEntry compressedNoBytes() {
  RawEntry e = stored("empty.bin", "");
  e.flag = 1;
  return e;
}
RawEntry noCopies(std::uint8_t flag) {
  RawEntry e = stored("empty.bin", "");
  e.flag = flag;
  e.copies = 0;
  // The record claims data it does not have; none of it may be read.
  e.storedSizeField = 0x7FFFFFF0;
  e.unpackedSize = 0x7FFFFFF0;
  return e;
}

INSTANTIATE_TEST_SUITE_P(Forms, EmptyEntry,
                         ::testing::Values(EmptyCase{"StoredSizeZero", storedEmpty(), ""},
                                           EmptyCase{"EmptyDeflateStream", emptyDeflateStream(),
                                                     "Unzipping 1\\1: ui.mpak+empty.bin.gz"},
                                           EmptyCase{"CompressedSizeZero", compressedNoBytes(),
                                                     "Unzipping 1\\1: ui.mpak+empty.bin.gz"},
                                           EmptyCase{"StoredNoCopies", noCopies(0), ""},
                                           EmptyCase{"CompressedNoCopies", noCopies(1), ""}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ExtractCommand, RepeatingReplacesWrittenFilesAndLeavesOthersAlone) {
  load("ui.mpak", {stored("a/one.txt", "first"), compressed("a/two.txt", "second")});
  select({0, 1});
  extract();
  // The user edits a file and adds one of their own.
  fs::path one = root() / "a" / "one.txt";
  fs::path mine = root() / "a" / "mine.txt";
  { std::ofstream(one, std::ios::trunc) << "edited by the user, longer than before"; }
  { std::ofstream(root() / "a" / "two.txt", std::ios::trunc) << "x"; }
  { std::ofstream(mine) << "keep me"; }

  extract();

  EXPECT_EQ(slurp(one), "first");
  EXPECT_EQ(slurp(root() / "a" / "two.txt"), "second");
  EXPECT_EQ(slurp(mine), "keep me");
  EXPECT_EQ(filesBelow(root()), (std::vector<std::string>{"a/mine.txt", "a/one.txt", "a/two.txt"}));
  EXPECT_EQ(logLines().size(), 6u) << "each run starts with an empty log";
}

TEST_F(ExtractCommand, NoArchiveLoadedShowsTheMessageThenTheChooserAndExtractsNothing) {
  load("ui.mpak", {stored("a.txt", "a")});
  select({0});
  window.setText("Label5", "");
  home.write("Temp/old.gz", "stale");
  window.onMessage = [&] { EXPECT_EQ(chooserRuns, 0) << "the chooser opens after the message"; };

  extract();

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Information);
  EXPECT_EQ(window.messages[0].text,
            "No MPAK file loaded.\r\n\r\nFirst select an .MPAK file you want to extract.");
  EXPECT_EQ(chooserRuns, 1);
  EXPECT_TRUE(filesBelow(state.folders.extractedFiles).empty());
  EXPECT_EQ(slurp(fs::path(state.folders.temp) / "old.gz"), "stale");
}

TEST_F(ExtractCommand, NothingSelectedSaysSoAndLeavesTempAlone) {
  load("ui.mpak", {stored("a.txt", "a")});
  home.write("Temp/old.gz", "stale");
  state.logText = "earlier log\r\n";
  window.setText("Text1", "earlier status");

  extract();

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Information);
  EXPECT_EQ(window.messages[0].text, "No files selected.");
  EXPECT_EQ(chooserRuns, 0);
  EXPECT_EQ(slurp(fs::path(state.folders.temp) / "old.gz"), "stale");
  EXPECT_EQ(state.logText, "earlier log\r\n");
  EXPECT_EQ(window.text("Text1"), "earlier status");
  EXPECT_TRUE(filesBelow(state.folders.extractedFiles).empty());
}

TEST_F(ExtractCommand, EmptiesTempFilesButNotItsFolders) {
  load("ui.mpak", {stored("a.txt", "a")});
  select({0});
  home.write("Temp/old.gz", "stale");
  home.write("Temp/keep/inner.txt", "folder kept");

  extract();

  EXPECT_EQ(filesBelow(state.folders.temp), std::vector<std::string>{"keep/inner.txt"});
}

TEST_F(ExtractCommand, LeavesTheWindowStateAsItWas) {
  load("ui.mpak", {stored("a.txt", "a"), compressed("b/c.txt", "c"), stored("d.txt", "d")});
  select({0, 2});
  auto itemsBefore = window.items;
  auto entriesBefore = catalogue.entries().size();

  extract();

  EXPECT_EQ(window.items, itemsBefore);
  EXPECT_EQ(window.selected, (std::set<int>{0, 2}));
  EXPECT_EQ(window.text("Label5"), "ui.mpak");
  EXPECT_EQ(catalogue.entries().size(), entriesBefore);
  EXPECT_EQ(filesBelow(root()), (std::vector<std::string>{"a.txt", "d.txt"}));
}

TEST_F(ExtractCommand, BusyPointerIsOnDuringTheWorkAndOffAfterwards) {
  load("ui.mpak", {stored("a.txt", "a")});
  select({0});
  bool busyWhileExtracting = false;
  window.onYield = [&] {
    if (window.text("Text1").rfind("Extracting", 0) == 0)
      busyWhileExtracting = busyWhileExtracting || window.busy;
  };

  extract();

  EXPECT_TRUE(busyWhileExtracting);
  EXPECT_FALSE(window.busy);
}

TEST_F(ExtractCommand, MissingArchiveFileGoesToTheTrap) {
  load("ui.mpak", {stored("a.txt", "a")});
  select({0});
  fs::remove(state.currentArchivePath);

  extract();

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
  EXPECT_EQ(window.messages[0].text.rfind("Extract error.\r\n\r\n", 0), 0u)
      << window.messages[0].text;
  EXPECT_NE(window.messages[0].text.find("ui.mpak"), std::string::npos);
  EXPECT_FALSE(window.busy);
  EXPECT_EQ(window.log, "") << "a trapped run does not show its log";
}

TEST_F(ExtractCommand, SelectedItemBeyondTheCatalogueGoesToTheTrap) {
  load("ui.mpak", {stored("a.txt", "a")});
  window.addItems({"an item the catalogue does not hold"});
  select({1});

  extract();

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text.rfind("Extract error.\r\n\r\n", 0), 0u);
  EXPECT_FALSE(window.busy);
}

struct SelectAllCase {
  const char* name;
  int items;
};

class SelectAll : public ::testing::TestWithParam<SelectAllCase> {};

TEST_P(SelectAll, SelectsEveryItem) {
  testing_support::FakeWindow window;
  for (int i = 0; i < GetParam().items; ++i)
    window.addItems({"item " + std::to_string(i)});

  extract::butSelectAll_Click(window);

  EXPECT_EQ(window.selectedCount(), GetParam().items);
  EXPECT_TRUE(window.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(ListSizes, SelectAll,
                         ::testing::Values(SelectAllCase{"Empty", 0}, SelectAllCase{"One", 1},
                                           SelectAllCase{"Many", 250}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace extract_tests
