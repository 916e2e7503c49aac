// Property: the window's extract command writes the tree, log and messages the user's guide gives.
#include <fstream>
#include <set>

#include "extract_fixture.h"

namespace extract_tests {
namespace {

class ExtractCommand : public ::testing::Test, public ProgramFolder {};

TEST_F(ExtractCommand, EmptyEntriesAndEntriesWithoutCopiesGiveEmptyFiles) {
  std::vector<RawEntry> entries = {stored("stored.bin", ""), compressed("deflate.bin", ""),
                                   stored("none.bin", ""), stored("nonez.bin", "")};
  entries[3].flag = 1;
  for (auto* none : {&entries[2], &entries[3]}) {
    none->copies = 0;
    none->storedSizeField = none->unpackedSize = 0x7FFFFFF0;  // claimed, never read
  }
  load("ui.mpak", entries, {0, 1, 2, 3});

  extract();

  EXPECT_EQ(filesBelow(root()), (Strings{"deflate.bin", "none.bin", "nonez.bin", "stored.bin"}));
  for (const auto& f : filesBelow(root()))
    EXPECT_EQ(fs::file_size(root() / f), 0u) << f;
  EXPECT_TRUE(window.log.ends_with(crlf({"4 files extracted.", "Extraction complete."})))
      << window.log;
  EXPECT_TRUE(window.messages.empty());
}

TEST(ExtractCommandRefusal, NoArchiveOrNothingSelectedSaysSoAndTouchesNothing) {
  for (bool noArchive : {true, false}) {
    ProgramFolder p;
    p.load("ui.mpak", {stored("a.txt", "a")});
    if (noArchive) {
      p.session.archive = {};
      p.window.selected.insert(0);
    }
    p.home.write("Temp/old.gz", "stale");
    p.window.onMessage = [&] { EXPECT_TRUE(p.window.chooserCalls.empty()) << "chooser after"; };

    p.extract();

    ASSERT_EQ(p.window.messages.size(), 1u);
    EXPECT_EQ(p.window.messages[0].icon, app::Icon::Information);
    EXPECT_EQ(p.window.messages[0].text,
              noArchive ? "No MPAK file loaded.\r\n\r\nFirst select an .MPAK file you want to "
                          "extract."
                        : "No files selected.");
    EXPECT_EQ(p.window.chooserCalls.size(), noArchive ? 1u : 0u);
    EXPECT_EQ(slurp(fs::path(p.state.folders.temp) / "old.gz"), "stale");
    EXPECT_TRUE(filesBelow(p.state.folders.extractedFiles).empty());
  }
}

TEST_F(ExtractCommand, SelectedEntriesReplaceEarlierFilesWithTheExactSixLineLog) {
  load("my+mod.mpak",
       {compressed("a+b/c+d.txt", "plus"), compressed("no.txt", "not chosen"),
        stored("caf\xE9+.txt", "euro")},
       {0, 2});
  auto items = window.items;
  extract();
  std::ofstream(root("my+mod.mpak") / "a+b" / "c+d.txt") << "edited by the user, longer";
  std::ofstream(root("my+mod.mpak") / "caf\xC3\xA9+.txt") << "x";

  extract();

  EXPECT_EQ(filesBelow(root("my+mod.mpak")), (Strings{"a+b/c+d.txt", "caf\xC3\xA9+.txt"}));
  EXPECT_EQ(slurp(root("my+mod.mpak") / "a+b" / "c+d.txt"), "plus");
  EXPECT_EQ(slurp(root("my+mod.mpak") / "caf\xC3\xA9+.txt"), "euro");
  EXPECT_EQ(window.log,
            crlf({"Extracting 1\\2: a+b\\c+d.txt", "Extracting 2\\2: \\caf\xC3\xA9+.txt",
                  "Unzipping 1\\1: my+mod.mpak+a+b+c+d.txt.gz", "1 files unzipped.",
                  "2 files extracted.", "Extraction complete."}));
  EXPECT_EQ(window.items, items);
  EXPECT_EQ(window.selected, (std::set<int>{0, 2}));
  EXPECT_FALSE(window.busy);
}

}  // namespace
}  // namespace extract_tests
