// Property: nothing is ever written outside the extraction root, whatever the entry path or links.
#include <fstream>
#include <random>

#include "extract/extractor.h"
#include "extract/tree_writer.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(UnsafePath, EveryUnsafeFormIsRefusedLoggedAndLandsNowhere) {
  // By reason; "T" in a path becomes a token no other file carries.
  const std::pair<std::string, Strings> forms[] = {
      {"the path is empty", {""}},
      {"the path is absolute", {"/T.txt", "\\T.txt", "/tmp/T.txt"}},
      {"the path starts with a drive letter", {"C:/T.txt", "c:T.txt"}},
      {"the path has a \"..\" segment", {"../T.txt", "..\\..\\..\\T.txt", "a/../../T.txt", "T/.."}},
      {"the path has a \".\" segment", {"./T.txt"}},
      {"the path has an empty name", {"a//T.txt", "T/"}},
      {"the path holds a NUL byte", {std::string("T\0/../../x", 10)}}};
  std::random_device rd;
  const std::string tok = "tw-escape-" + std::to_string(rd()) + std::to_string(rd());
  for (const auto& [reason, paths] : forms)
    for (std::string path : paths) {
      SCOPED_TRACE(path);
      ProgramFolder p;
      for (auto at = path.find('T'); at != std::string::npos; at = path.find('T', at + tok.size()))
        path.replace(at, 1, tok);
      // Its neighbours look unsafe but are not.
      p.load("ui.mpak", {stored("..a/b../...", "b"), compressed(path, tok), stored("a\\C:x", "a")},
             {0, 1, 2});

      p.extract();

      EXPECT_EQ(filesBelow(p.home.path()),
                (Strings{"ExtractedFiles/ui.mpak/..a/b../...", "ExtractedFiles/ui.mpak/a/C:x",
                         "archives/ui.mpak"}));
      EXPECT_TRUE(p.window.log.ends_with(crlf(
          {"Refused (unsafe path): " + reason + ".", "Extracting 3\\3: a\\C:x", "0 files unzipped.",
           "2 files extracted.", "1 entries refused (unsafe path).", "Extraction complete."})))
          << p.window.log;
      EXPECT_TRUE(p.window.messages.empty());
      for (const auto& dir : {p.home.path().parent_path(), fs::path("/"), fs::current_path()})
        for (const auto& file : fs::directory_iterator(dir))
          EXPECT_EQ(file.path().filename().string().find(tok), std::string::npos) << file.path();
    }
}

TEST(UnsafePath, PlantedLinksAreNotFollowedAndAFileInTheWayFailsOnlyItsEntry) {
  testing_support::TempDir dir, other;
  const auto root = dir.path() / "root", outside = dir.path() / "outside";
  fs::create_directories(root / "deep");
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, root / "a");
  fs::create_directory_symlink("../../outside", root / "deep" / "b");
  const auto victim = other.write("victim.txt", "original");
  fs::create_symlink(victim, root / "x.txt");
  std::ofstream(root / "f") << "a file";
  auto bytes = testing_support::toBytes(testing_support::buildArchiveBytes(
      {stored("a/x.txt", "escaped"), compressed("deep/b/c/x.txt", "escaped"),
       stored("x.txt", "new content"), stored("f/y.txt", "x"), stored("b/y.txt", "fine")}));
  auto index = mpak::readArchiveIndex(bytes);

  auto summary = extract::extractEntries(bytes, index, extract::everyEntry(index), root);

  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(slurp(victim), "original");
  EXPECT_FALSE(fs::is_symlink(root / "x.txt"));
  EXPECT_EQ(slurp(root / "x.txt"), "new content");
  EXPECT_EQ(slurp(root / "f"), "a file");
  EXPECT_EQ(slurp(root / "b" / "y.txt"), "fine");
  EXPECT_EQ(summary.written, 2u);
  ASSERT_EQ(summary.problems.size(), 3u);
  EXPECT_NE(summary.problems[0].reason.find("symbolic link"), std::string::npos);
  EXPECT_NE(summary.problems[1].reason.find("symbolic link"), std::string::npos);
  EXPECT_NE(summary.problems[2].reason.find("in the way"), std::string::npos);
}

TEST(UnsafePath, TreeWriterRefusesNamesThatLeaveTheirFolderEvenUnchecked) {
  testing_support::TempDir dir;
  const auto root = dir.path() / "a" / "b" / "root";
  fs::create_directories(root);
  extract::TreeWriter writer(root);
  const std::uint8_t byte = 'x';
  for (const Strings& names : std::vector<Strings>{{},
                                                   {"..", "x.txt"},
                                                   {"x", ".."},
                                                   {".", "x.txt"},
                                                   {"", "x.txt"},
                                                   {"x", ""},
                                                   {"../../x.txt"},
                                                   {"/tmp/x.txt"},
                                                   {"..\\x.txt"},
                                                   {std::string("x\0/../y", 7)}}) {
    EXPECT_THROW(writer.write(names, {&byte, 1}, true), extract::WriteError) << names.size();
    EXPECT_FALSE(writer.exists(names));
  }
  EXPECT_TRUE(filesBelow(dir.path()).empty());
}

}  // namespace
}  // namespace extract_tests
