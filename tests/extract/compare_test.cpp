// Property: an extracted folder compared with its archive names exactly the files added,
// removed and modified since (links and temporaries of interrupted runs are not files of
// the user's); the window's pack of the loaded archive's folder lists them first.
#include <unistd.h>

#include "app/commands/pack.h"
#include "extract/compare.h"
#include "extract_fixture.h"
#include "mpak/library_toc.h"
#include "util/mapped_file.h"
#include "util/temporary.h"

namespace extract_tests {
namespace {

const std::vector<RawEntry> kEntries = {compressed("scripts/init.lua", "print('hello')"),
                                        stored("font.dat", "glyphs"),
                                        compressed("textures/back.tga", std::string(5000, 't')),
                                        stored("same.txt", "abc"), compressed("gone.txt", "bye")};

TEST(FolderDiff, NamesWhatWasAddedRemovedAndModified) {
  ProgramFolder p;
  p.load("ui.mpak", kEntries, {0, 1, 2, 3, 4});
  p.extract();
  const auto root = p.root();
  p.home.write("ExtractedFiles/ui.mpak/scripts/init.lua", "print('edited')");  // other size
  p.home.write("ExtractedFiles/ui.mpak/same.txt", "xyz");                      // same size
  p.home.write("ExtractedFiles/ui.mpak/new/added.txt", "new");
  p.home.write("ExtractedFiles/ui.mpak/" + util::temporaryName("x"), "half");
  fs::remove(root / "gone.txt");
  ASSERT_EQ(::symlink("font.dat", (root / "link.dat").c_str()), 0);

  const util::MappedFile file(p.session.archive.path);
  const auto diff = extract::diffFolder(file.bytes(), p.session.archive.catalogue.index, root);
  EXPECT_EQ(diff.modified, (Strings{"scripts/init.lua", "same.txt"}));
  EXPECT_EQ(diff.added, Strings{"new/added.txt"});
  EXPECT_EQ(diff.removed, Strings{"gone.txt"});
  EXPECT_EQ(diff.unchanged, 2u);
  EXPECT_TRUE(diff.unreadable.empty());

  // Packed in the window, the folder of the loaded archive lists them before the table's
  // reconciliation.
  p.home.write("Library/ui.mpak.toc", mpak::libraryTocText(p.session.archive.catalogue.entries()));
  p.window.folderAnswers.push_back(root.string());
  app::butSelectMPAKFolder_Click(p.context);
  p.state.logText.clear();
  app::butPackMPAK_Click(p.context);
  EXPECT_NE(
      p.window.log.find(crlf({"Changed since extraction: 4 files", "  modified  scripts\\init.lua",
                              "  modified  same.txt", "  added  new\\added.txt",
                              "  removed  gone.txt", "Table lines that name no file: 1"})),
      std::string::npos)
      << p.window.log;
}

}  // namespace
}  // namespace extract_tests
