// Property: an entry's file lands at extraction root/<its own path>, whatever characters
// the archive's file name and the path hold: "+" (which the flat staging name uses to
// join folders) and Windows-1252 letters (which become UTF-8 on disk and in the log).
#include <gtest/gtest.h>

#include "extract/extract_command.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

using extract_tests::PrintTo;

using testing_support::slurp;

struct StagingCase {
  const char* name;
  std::string archive, path, staging;
};

class FlatStagingName : public ::testing::TestWithParam<StagingCase> {};

TEST_P(FlatStagingName, JoinsArchiveFoldersAndFileWithPlus) {
  EXPECT_EQ(extract::flatStagingName(GetParam().archive, GetParam().path), GetParam().staging);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FlatStagingName,
    ::testing::Values(StagingCase{"NoFolder", "ui.mpak", "font.dat", "ui.mpak+font.dat.gz"},
                      StagingCase{"OneFolder", "ui.mpak", "d\\a.txt", "ui.mpak+d+a.txt.gz"},
                      StagingCase{"ThreeFolders", "ui.mpak", "textures\\menu\\back.dds",
                                  "ui.mpak+textures+menu+back.dds.gz"},
                      StagingCase{"PlusInNames", "my+mod.mpak", "a+b\\c+d.txt",
                                  "my+mod.mpak+a+b+c+d.txt.gz"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PlusInNames, FilesLandUnderTheEntryPathNotTheStagingName) {
  ProgramFolder p;
  p.load("my+mod.mpak", {compressed("a+b/c+d.txt", "plus compressed"),
                         stored("x/y+z.txt", "plus stored"), compressed("e+f.txt", "top")});
  p.window.selectAll();

  extract::butMassExtract_Click(p.shell, p.catalogue, {});

  const auto root = p.root("my+mod.mpak");
  EXPECT_EQ(filesBelow(root), (std::vector<std::string>{"a+b/c+d.txt", "e+f.txt", "x/y+z.txt"}));
  EXPECT_EQ(slurp(root / "a+b" / "c+d.txt"), "plus compressed");
  EXPECT_EQ(slurp(root / "x" / "y+z.txt"), "plus stored");
  EXPECT_EQ(slurp(root / "e+f.txt"), "top");
  // Nothing went where the staging name, read back with "+" as "\", would point.
  EXPECT_EQ(filesBelow(p.state.folders.extractedFiles),
            (std::vector<std::string>{"my+mod.mpak/a+b/c+d.txt", "my+mod.mpak/e+f.txt",
                                      "my+mod.mpak/x/y+z.txt"}));
  auto lines = p.logLines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "Extracting 1\\3: a+b\\c+d.txt");
  EXPECT_EQ(lines[3], "Unzipping 1\\2: my+mod.mpak+a+b+c+d.txt.gz");
  EXPECT_EQ(lines[4], "Unzipping 2\\2: my+mod.mpak+e+f.txt.gz");
  EXPECT_EQ(lines[5], "2 files unzipped.");
}

TEST(Cp1252Names, BecomeUtf8OnDiskAndInTheLog) {
  ProgramFolder p;
  p.load("ui.mpak", {stored("caf\xE9/\x80uro.txt", "euro"), compressed("\xC4rger.txt", "umlaut")});
  p.window.selectAll();

  extract::butMassExtract_Click(p.shell, p.catalogue, {});

  EXPECT_EQ(slurp(p.root() / "caf\xC3\xA9" / "\xE2\x82\xACuro.txt"), "euro");
  EXPECT_EQ(slurp(p.root() / "\xC3\x84rger.txt"), "umlaut");
  auto lines = p.logLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Extracting 1\\2: caf\xC3\xA9\\\xE2\x82\xACuro.txt");
  EXPECT_EQ(lines[2], "Unzipping 1\\1: ui.mpak+\xC3\x84rger.txt.gz");
}

TEST(DuplicatePaths, TheLaterEntryReplacesTheEarlier) {
  ProgramFolder p;
  p.load("ui.mpak", {stored("same.txt", "first"), compressed("same.txt", "second")});
  p.window.selectAll();

  extract::butMassExtract_Click(p.shell, p.catalogue, {});

  EXPECT_EQ(slurp(p.root() / "same.txt"), "second");
  EXPECT_EQ(filesBelow(p.root()), std::vector<std::string>{"same.txt"});
}

}  // namespace
}  // namespace extract_tests
