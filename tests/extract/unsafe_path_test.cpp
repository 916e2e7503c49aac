// Property: nothing is ever written outside the extraction root. Entry paths that are
// empty, absolute, start with a drive letter, hold "." or ".." names, empty names or a NUL
// byte are refused with a log line saying why and counted in the closing lines; symbolic
// links already in the tree are never written through.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "extract/entry_path.h"
#include "extract/extract_command.h"
#include "extract/extractor.h"
#include "extract/tree_writer.h"
#include "extract_fixture.h"
#include "util/mapped_file.h"

namespace extract_tests {
namespace {

using extract_tests::PrintTo;

using testing_support::RawEntry;
using testing_support::slurp;

struct PathCase {
  const char* name;
  std::string path;  // as stored in the catalogue ("\" separators)
  std::string reason;
  std::vector<std::string> names;  // when safe
};

class CheckEntryPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(CheckEntryPath, RefusesUnsafeFormsAndSplitsSafeOnes) {
  auto checked = extract::checkEntryPath(GetParam().path);
  EXPECT_EQ(checked.unsafeReason, GetParam().reason);
  EXPECT_EQ(checked.names, GetParam().names);
}

const std::string kDotDot = "the path has a \"..\" segment";

INSTANTIATE_TEST_SUITE_P(
    Forms, CheckEntryPath,
    ::testing::Values(
        PathCase{"Plain", "a.txt", "", {"a.txt"}},
        PathCase{"Nested", "a\\b\\c.txt", "", {"a", "b", "c.txt"}},
        PathCase{"SlashSeparated", "a/b/c.txt", "", {"a", "b", "c.txt"}},
        PathCase{"DotsInNames", "..a\\b..\\...", "", {"..a", "b..", "..."}},
        PathCase{"ColonLater", "a\\C:x", "", {"a", "C:x"}},
        PathCase{"Cp1252ToUtf8", "caf\xE9\\\x80.txt", "", {"caf\xC3\xA9", "\xE2\x82\xAC.txt"}},
        PathCase{"Empty", "", "the path is empty", {}},
        PathCase{"LeadingBackslash", "\\etc\\x", "the path is absolute", {}},
        PathCase{"LeadingSlash", "/etc/x", "the path is absolute", {}},
        PathCase{"DriveLetter", "C:\\x.txt", "the path starts with a drive letter", {}},
        PathCase{"DriveRelative", "d:x.txt", "the path starts with a drive letter", {}},
        PathCase{"DotDotFirst", "..\\x.txt", kDotDot, {}},
        PathCase{"DotDotInside", "a\\..\\..\\x.txt", kDotDot, {}},
        PathCase{"DotDotLast", "a\\..", kDotDot, {}},
        PathCase{"DotDotMixed", "a/..\\x", kDotDot, {}},
        PathCase{"DotSegment", ".\\x.txt", "the path has a \".\" segment", {}},
        PathCase{"DoubleSeparator", "a\\\\b.txt", "the path has an empty name", {}},
        PathCase{"TrailingSeparator", "a\\b\\", "the path has an empty name", {}},
        PathCase{"Nul", std::string("a\0b.txt", 7), "the path holds a NUL byte", {}}),
    [](const auto& param) { return std::string(param.param.name); });

// A token no other file carries, so a stray write can be found wherever it went.
std::string token() {
  std::random_device rd;
  return "tw-escape-" + std::to_string(rd()) + std::to_string(rd());
}

// Every file holding `tok` in its name below `folder` (recursive) or, for the folders
// around the temporary folder, directly inside.
std::vector<std::string> strayFiles(const fs::path& folder, const std::string& tok,
                                    bool recursive) {
  std::vector<std::string> found;
  std::error_code ec;
  if (recursive) {
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->path().filename().string().find(tok) != std::string::npos)
        found.push_back(it->path().string());
  } else {
    for (auto it = fs::directory_iterator(folder, ec); it != fs::directory_iterator();
         it.increment(ec))
      if (it->path().filename().string().find(tok) != std::string::npos)
        found.push_back(it->path().string());
  }
  return found;
}

struct UnsafeCase {
  const char* name;
  std::string archivePath;  // as stored in the archive; "T" is replaced by the token
  std::string reason;
};

class UnsafeEntry : public ::testing::Test,
                    public ProgramFolder,
                    public ::testing::WithParamInterface<UnsafeCase> {};

TEST_P(UnsafeEntry, IsRefusedLoggedAndNeverWritten) {
  // The root is ExtractedFiles/ui.mpak in the test's temporary folder: "..", "..\.."
  // land inside that folder, "..\..\.." beside it; the scans below cover both, the file
  // system root and the current folder.
  const std::string tok = token();
  std::string path = GetParam().archivePath;
  for (auto at = path.find('T'); at != std::string::npos; at = path.find('T', at + tok.size()))
    path.replace(at, 1, tok);
  RawEntry unsafe = compressed(path, "must not land anywhere " + tok);
  load("ui.mpak", {stored("before.txt", "b"), unsafe, stored("after.txt", "a")});
  select({0, 1, 2});

  extract::butMassExtract_Click(shell, catalogue, {});

  EXPECT_EQ(filesBelow(root()), (std::vector<std::string>{"after.txt", "before.txt"}));
  auto lines = logLines();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[1].rfind("Extracting 2\\3: ", 0), 0u);
  EXPECT_EQ(lines[2], "Refused (unsafe path): " + GetParam().reason + ".");
  EXPECT_EQ(lines[3], "Extracting 3\\3: \\after.txt");
  EXPECT_EQ(lines[4], "0 files unzipped.");
  EXPECT_EQ(lines[5], "2 files extracted.");
  EXPECT_EQ(lines[6], "1 entries refused (unsafe path).");
  EXPECT_EQ(lines[7], "Extraction complete.");
  EXPECT_TRUE(window.messages.empty());

  EXPECT_TRUE(strayFiles(home.path(), tok, true).empty());
  EXPECT_TRUE(strayFiles(home.path().parent_path(), tok, false).empty());
  EXPECT_TRUE(strayFiles("/", tok, false).empty());
  EXPECT_TRUE(strayFiles(fs::current_path(), tok, false).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, UnsafeEntry,
    ::testing::Values(UnsafeCase{"Empty", "", "the path is empty"},
                      UnsafeCase{"AbsoluteSlash", "/T.txt", "the path is absolute"},
                      UnsafeCase{"AbsoluteBackslash", "\\T.txt", "the path is absolute"},
                      UnsafeCase{"AbsoluteIntoTmp", "/tmp/T.txt", "the path is absolute"},
                      UnsafeCase{"DriveLetter", "C:/T.txt", "the path starts with a drive letter"},
                      UnsafeCase{"DriveRelative", "C:T.txt", "the path starts with a drive letter"},
                      UnsafeCase{"ParentOnce", "../T.txt", kDotDot},
                      UnsafeCase{"ParentTwice", "../../T.txt", kDotDot},
                      UnsafeCase{"ParentThrice", "..\\..\\..\\T.txt", kDotDot},
                      UnsafeCase{"ParentAfterFolder", "a/../../T.txt", kDotDot},
                      UnsafeCase{"ParentAsFile", "T/..", kDotDot},
                      UnsafeCase{"DotFolder", "./T.txt", "the path has a \".\" segment"},
                      UnsafeCase{"EmptyName", "a//T.txt", "the path has an empty name"},
                      UnsafeCase{"NoFileName", "T/", "the path has an empty name"},
                      UnsafeCase{"Nul", std::string("T\0/../../x", 10),
                                 "the path holds a NUL byte"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UnsafeEntries, AreCountedTogetherInTheClosingLines) {
  ProgramFolder p;
  p.load("ui.mpak", {stored("../a.txt", "1"), stored("ok.txt", "2"), stored("/b.txt", "3"),
                     stored("C:/c.txt", "4")});
  p.window.selectAll();

  extract::butMassExtract_Click(p.shell, p.catalogue, {});

  auto lines = p.logLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "1 files extracted.");
  EXPECT_EQ(lines[lines.size() - 2], "3 entries refused (unsafe path).");
  EXPECT_EQ(filesBelow(p.root()), std::vector<std::string>{"ok.txt"});
}

// Links planted in the tree before extraction.
class PlantedLink : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root);
    fs::create_directories(outside);
  }
  extract::ExtractSummary run(const std::vector<RawEntry>& entries) {
    auto bytes = testing_support::buildArchiveBytes(entries);
    auto data = testing_support::toBytes(bytes);
    auto index = mpak::readArchiveIndex(data);
    return extract::extractEntries(data, index, extract::everyEntry(index), root);
  }
  testing_support::TempDir dir;
  fs::path root = dir.path() / "root";
  fs::path outside = dir.path() / "outside";
};

TEST_F(PlantedLink, FolderLinkIsNotWrittenThrough) {
  fs::create_directory_symlink(outside, root / "a");

  auto summary = run({stored("a/x.txt", "escaped"), stored("b/y.txt", "fine")});

  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(summary.written, 1u);
  ASSERT_EQ(summary.failed, 1u);
  EXPECT_NE(summary.problems[0].reason.find("symbolic link"), std::string::npos)
      << summary.problems[0].reason;
  EXPECT_EQ(slurp(root / "b" / "y.txt"), "fine");
}

TEST_F(PlantedLink, DeeperFolderLinkIsNotWrittenThrough) {
  fs::create_directories(root / "a");
  fs::create_directory_symlink("../../outside", root / "a" / "b");

  auto summary = run({compressed("a/b/c/x.txt", "escaped")});

  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(summary.failed, 1u);
}

TEST_F(PlantedLink, FileLinkIsReplacedNotFollowed) {
  testing_support::TempDir other;
  auto target = other.write("victim.txt", "original");
  fs::create_symlink(target, root / "x.txt");

  auto summary = run({stored("x.txt", "new content")});

  EXPECT_EQ(summary.written, 1u);
  EXPECT_EQ(slurp(target), "original");
  EXPECT_FALSE(fs::is_symlink(root / "x.txt"));
  EXPECT_EQ(slurp(root / "x.txt"), "new content");
}

TEST_F(PlantedLink, FileInTheWayOfAFolderFailsThatEntryOnly) {
  { std::ofstream(root / "a") << "a file"; }

  auto summary = run({stored("a/b.txt", "x"), stored("c.txt", "c")});

  EXPECT_EQ(summary.failed, 1u);
  EXPECT_EQ(summary.written, 1u);
  EXPECT_EQ(slurp(root / "a"), "a file");
  EXPECT_NE(summary.problems[0].reason.find("in the way"), std::string::npos);
}

struct NameCase {
  const char* name;
  std::vector<std::string> names;
};

class TreeWriterNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(TreeWriterNames, RefusesNamesThatLeaveTheirFolderEvenWhenUnchecked) {
  testing_support::TempDir dir;
  const auto root = dir.path() / "a" / "b" / "root";
  fs::create_directories(root);
  extract::TreeWriter writer(root);
  const std::string content = "x";
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(content.data()), 1);

  EXPECT_THROW(writer.write(GetParam().names, bytes, true), extract::WriteError);
  EXPECT_FALSE(writer.exists(GetParam().names));
  EXPECT_TRUE(filesBelow(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, TreeWriterNames,
    ::testing::Values(NameCase{"NoNames", {}}, NameCase{"ParentFolder", {"..", "x.txt"}},
                      NameCase{"ParentTwice", {"..", "..", "x.txt"}},
                      NameCase{"ParentAsFile", {"x", ".."}}, NameCase{"Dot", {".", "x.txt"}},
                      NameCase{"EmptyFolder", {"", "x.txt"}}, NameCase{"EmptyFile", {"x", ""}},
                      NameCase{"SlashInside", {"../../x.txt"}},
                      NameCase{"AbsoluteInside", {"/tmp/x.txt"}},
                      NameCase{"BackslashInside", {"..\\x.txt"}},
                      NameCase{"NulInside", {std::string("x\0/../y", 7)}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace extract_tests
