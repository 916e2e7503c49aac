// Property: the window's extract command writes the tree, log and messages the user's guide gives.
#include <fstream>
#include <set>

#include "extract_fixture.h"

namespace extract_tests {
namespace {

class ExtractCommand : public ::testing::Test, public ProgramFolder {};

TEST(ExtractCommandTree, NestedEntryStoredOrCompressedMakesItsFoldersWithTheExactContent) {
  const std::string content = "hello, nested world\r\nsecond line\r\n";
  for (bool packed : {false, true}) {
    ProgramFolder p;
    p.load("ui.mpak", {packed ? compressed("a/b/c.txt", content) : stored("a/b/c.txt", content)},
           {0});
    p.home.write("Temp/old.gz", "stale");
    p.home.write("Temp/keep/inner.txt", "folders stay");
    std::set<std::string> statuses;
    p.window.onYield = [&] { statuses.insert(p.window.text("Text1")); };

    p.extract();

    EXPECT_TRUE(fs::is_directory(p.root() / "a" / "b")) << packed;
    EXPECT_EQ(slurp(p.root() / "a" / "b" / "c.txt"), content);
    EXPECT_EQ(filesBelow(p.root()), Strings{"a/b/c.txt"});
    EXPECT_EQ(filesBelow(p.state.folders.temp), Strings{"keep/inner.txt"});
    EXPECT_TRUE(statuses.count("Extracting 1\\1: a\\b\\c.txt"));
    EXPECT_EQ(p.window.text("Text1"), "");
    EXPECT_TRUE(p.window.messages.empty());
  }
}

TEST_F(ExtractCommand, TwoEntryExampleLogsExactlySixLinesEachTime) {
  load("ui.mpak", {stored("a/b.txt", "plain text"), compressed("c.dds", "DDS texture bytes")},
       {0, 1});
  extract();
  std::ofstream(root() / "a" / "b.txt") << "edited by the user, longer than before";
  std::ofstream(root() / "c.dds") << "x";
  std::ofstream(root() / "mine.txt") << "keep me";

  extract();

  EXPECT_EQ(window.log, crlf({"Extracting 1\\2: a\\b.txt", "Extracting 2\\2: \\c.dds",
                              "Unzipping 1\\1: ui.mpak+c.dds.gz", "1 files unzipped.",
                              "2 files extracted.", "Extraction complete."}));
  EXPECT_TRUE(window.caretEnd);
  EXPECT_EQ(slurp(root() / "a" / "b.txt"), "plain text");
  EXPECT_EQ(slurp(root() / "c.dds"), "DDS texture bytes");
  EXPECT_EQ(slurp(root() / "mine.txt"), "keep me");
  EXPECT_DOUBLE_EQ(window.progress, 1000.0);
  EXPECT_EQ(window.busyChanges, (std::vector<bool>{true, false, true, false}));
}

TEST_F(ExtractCommand, SelectionWithoutCompressedEntriesLeavesTheWindowAsItWas) {
  load("ui.mpak",
       {stored("one.txt", "1"), stored("x/two.txt", "22"), compressed("no/t.txt", "not chosen"),
        stored("x/y/three.txt", "333")},
       {0, 1, 3});
  auto items = window.items;

  extract();

  EXPECT_EQ(window.log, crlf({"Extracting 1\\3: \\one.txt", "Extracting 2\\3: x\\two.txt",
                              "Extracting 3\\3: x\\y\\three.txt", "0 files unzipped.",
                              "3 files extracted.", "Extraction complete."}));
  EXPECT_EQ(filesBelow(root()), (Strings{"one.txt", "x/two.txt", "x/y/three.txt"}));
  EXPECT_EQ(window.items, items);
  EXPECT_EQ(window.selected, (std::set<int>{0, 1, 3}));
  EXPECT_EQ(window.text("Label5"), "ui.mpak");
}

TEST_F(ExtractCommand, EmptyEntriesAndEntriesWithoutCopiesGiveEmptyFiles) {
  std::vector<RawEntry> entries = {stored("stored.bin", ""), stored("packed.bin", ""),
                                   compressed("deflate.bin", ""), stored("none.bin", ""),
                                   stored("nonez.bin", "")};
  entries[1].flag = entries[4].flag = 1;
  for (auto* none : {&entries[3], &entries[4]}) {
    none->copies = 0;
    none->storedSizeField = none->unpackedSize = 0x7FFFFFF0;  // claimed, never read
  }
  load("ui.mpak", entries, {0, 1, 2, 3, 4});

  extract();

  EXPECT_EQ(filesBelow(root()),
            (Strings{"deflate.bin", "none.bin", "nonez.bin", "packed.bin", "stored.bin"}));
  for (const auto& f : filesBelow(root()))
    EXPECT_EQ(fs::file_size(root() / f), 0u) << f;
  EXPECT_EQ(window.log,
            crlf({"Extracting 1\\5: \\stored.bin", "Extracting 2\\5: \\packed.bin",
                  "Extracting 3\\5: \\deflate.bin", "Extracting 4\\5: \\none.bin",
                  "Extracting 5\\5: \\nonez.bin", "Unzipping 1\\2: ui.mpak+packed.bin.gz",
                  "Unzipping 2\\2: ui.mpak+deflate.bin.gz", "2 files unzipped.",
                  "5 files extracted.", "Extraction complete."}));
  EXPECT_TRUE(window.messages.empty());
}

TEST(ExtractCommandRefusal, NoArchiveOrNothingSelectedSaysSoAndTouchesNothing) {
  for (bool noArchive : {true, false}) {
    ProgramFolder p;
    p.load("ui.mpak", {stored("a.txt", "a")});
    if (noArchive) {
      p.window.setText("Label5", "");
      p.window.selected.insert(0);
    }
    p.home.write("Temp/old.gz", "stale");
    p.state.logText = "earlier log\r\n";
    p.window.onMessage = [&] { EXPECT_EQ(p.chooserRuns, 0) << "the chooser comes after"; };

    p.extract();

    ASSERT_EQ(p.window.messages.size(), 1u);
    EXPECT_EQ(p.window.messages[0].icon, app::Icon::Information);
    EXPECT_EQ(p.window.messages[0].text,
              noArchive ? "No MPAK file loaded.\r\n\r\nFirst select an .MPAK file you want to "
                          "extract."
                        : "No files selected.");
    EXPECT_EQ(p.chooserRuns, noArchive ? 1 : 0);
    EXPECT_EQ(slurp(fs::path(p.state.folders.temp) / "old.gz"), "stale");
    EXPECT_EQ(p.state.logText, "earlier log\r\n");
    EXPECT_TRUE(filesBelow(p.state.folders.extractedFiles).empty());
  }
}

TEST(ExtractCommandTrap, MissingArchiveOrUnknownItemEndsInTheErrorMessage) {
  for (bool missingFile : {true, false}) {
    ProgramFolder p;
    p.load("ui.mpak", {stored("a.txt", "a")}, {missingFile ? 0 : 1});
    if (missingFile)
      fs::remove(p.state.currentArchivePath);
    else
      p.window.addItems({"an item the catalogue does not hold"});

    p.extract();

    ASSERT_EQ(p.window.messages.size(), 1u);
    EXPECT_EQ(p.window.messages[0].icon, app::Icon::Exclamation);
    EXPECT_TRUE(p.window.messages[0].text.starts_with("Extract error.\r\n\r\n"));
    EXPECT_EQ(p.window.messages[0].text.find("ui.mpak") != std::string::npos, missingFile);
    EXPECT_FALSE(p.window.busy);
    EXPECT_EQ(p.window.log, "");
  }
}

}  // namespace
}  // namespace extract_tests
