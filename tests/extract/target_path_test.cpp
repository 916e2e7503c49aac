// Property: a file lands at root/<its entry path>, whatever "+", Windows-1252 or repeats it holds.
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(TargetPath, PlusCp1252AndRepeatedNamesLandUnderTheirOwnPaths) {
  ProgramFolder p;
  p.load("my+mod.mpak",
         {compressed("a+b/c+d.txt", "plus compressed"), stored("x/y+z.txt", "plus stored"),
          compressed("e+f.txt", "top"), stored("caf\xE9/\x80uro.txt", "euro"),
          compressed("\xC4rger.txt", "umlaut"), stored("same.txt", "first"),
          compressed("same.txt", "second")});
  extract::butSelectAll_Click(p.window);

  p.extract();

  const auto root = p.root("my+mod.mpak");
  EXPECT_EQ(filesBelow(p.state.folders.extractedFiles),
            (Strings{"my+mod.mpak/a+b/c+d.txt", "my+mod.mpak/caf\xC3\xA9/\xE2\x82\xACuro.txt",
                     "my+mod.mpak/e+f.txt", "my+mod.mpak/same.txt", "my+mod.mpak/x/y+z.txt",
                     "my+mod.mpak/\xC3\x84rger.txt"}));
  EXPECT_EQ(slurp(root / "a+b" / "c+d.txt"), "plus compressed");
  EXPECT_EQ(slurp(root / "x" / "y+z.txt"), "plus stored");
  EXPECT_EQ(slurp(root / "e+f.txt"), "top");
  EXPECT_EQ(slurp(root / "caf\xC3\xA9" / "\xE2\x82\xACuro.txt"), "euro");
  EXPECT_EQ(slurp(root / "\xC3\x84rger.txt"), "umlaut");
  EXPECT_EQ(slurp(root / "same.txt"), "second");
  EXPECT_EQ(p.window.log,
            crlf({"Extracting 1\\7: a+b\\c+d.txt", "Extracting 2\\7: x\\y+z.txt",
                  "Extracting 3\\7: \\e+f.txt", "Extracting 4\\7: caf\xC3\xA9\\\xE2\x82\xACuro.txt",
                  "Extracting 5\\7: \\\xC3\x84rger.txt", "Extracting 6\\7: \\same.txt",
                  "Extracting 7\\7: \\same.txt", "Unzipping 1\\4: my+mod.mpak+a+b+c+d.txt.gz",
                  "Unzipping 2\\4: my+mod.mpak+e+f.txt.gz",
                  "Unzipping 3\\4: my+mod.mpak+\xC3\x84rger.txt.gz",
                  "Unzipping 4\\4: my+mod.mpak+same.txt.gz", "4 files unzipped.",
                  "7 files extracted.", "Extraction complete."}));
}

}  // namespace
}  // namespace extract_tests
