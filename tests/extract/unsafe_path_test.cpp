// Property: nothing is ever written outside the extraction root, whatever the entry path or links.
#include <random>

#include "extract/extractor.h"
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(UnsafePath, EveryUnsafeFormIsRefusedLoggedAndLandsNowhere) {
  // Path, reason; "T" in a path becomes a token no other file carries.
  const std::pair<std::string, std::string> forms[] = {
      {"", "the path is empty"},
      {"/T.txt", "the path is absolute"},
      {"\\T.txt", "the path is absolute"},
      {"c:T.txt", "the path starts with a drive letter"},
      {"a/../../T.txt", "the path has a \"..\" segment"},
      {"./T.txt", "the path has a \".\" segment"},
      {"a//T.txt", "the path has an empty name"},
      {std::string("T\0/../../x", 10), "the path holds a NUL byte"}};
  std::random_device rd;
  const std::string tok = "tw-escape-" + std::to_string(rd()) + std::to_string(rd());
  for (auto [path, reason] : forms) {
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
    for (const auto& dir : {p.home.path().parent_path(), fs::path("/"), fs::current_path()})
      for (const auto& file : fs::directory_iterator(dir))
        EXPECT_EQ(file.path().filename().string().find(tok), std::string::npos) << file.path();
  }
}

TEST(UnsafePath, PlantedLinkIsNotFollowed) {
  testing_support::TempDir dir;
  const auto root = dir.path() / "root", outside = dir.path() / "outside";
  fs::create_directories(root);
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, root / "a");
  auto bytes = testing_support::toBytes(testing_support::buildArchiveBytes(
      {stored("a/x.txt", "escaped"), stored("b/y.txt", "fine")}));
  auto index = mpak::readArchiveIndex(bytes);

  auto summary = extract::extractEntries(bytes, index, extract::everyEntry(index), root);

  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(slurp(root / "b" / "y.txt"), "fine");
  EXPECT_EQ(summary.written, 1u);
  ASSERT_EQ(summary.problems.size(), 1u);
  EXPECT_NE(summary.problems[0].reason.find("symbolic link"), std::string::npos);
}

}  // namespace
}  // namespace extract_tests
