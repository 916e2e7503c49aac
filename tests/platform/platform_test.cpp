// System rules, run on Linux and under Wine: the same wherever the platform says the same.
#include <algorithm>

#include "extract/extractor.h"
#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/memory.h"
#include "platform/temporary.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

TEST(WindowsNames, DevicesStreamsAndDroppedEndsAreRefusedAndOrdinaryNamesPass) {
  for (const char* name :
       {"CON", "con", "aux.txt", "NUL.lua", "COM1", "lpt9.dat", "PRN.x.y", "con .txt",
        "a.txt:hidden", "C:x", "x.", "x ", "a<b", "a|b", "q?", "star*", "quote\"", "tab\tname"})
    EXPECT_NE(platform::windowsNameProblem(name), "") << name;
  for (const char* name : {"CONSOLE", "COM0", "LPT10", "auxiliary.txt", "nul_map.lua", ".hidden",
                           "normal.lua", "Caf\xC3\xA9.txt", "a b", "..x", "com1x"})
    EXPECT_EQ(platform::windowsNameProblem(name), "") << name;
  EXPECT_EQ(platform::windowsNameProblem("aux.txt"), "the name \"aux.txt\" is a device on Windows");
}

// Extracts `entries` into a fresh folder; the reports of the entries not written.
std::vector<extract::EntryReport> extractInto(const fs::path& root,
                                              const std::vector<std::string>& paths) {
  std::vector<RawEntry> entries;
  for (const auto& path : paths)
    entries.push_back(stored(path, "content of " + path));
  const auto bytes = toBytes(buildArchiveBytes(entries));
  const auto index = mpak::readArchiveIndex(bytes);
  return extract::extractEntries(bytes, index, extract::everyEntry(index), root).problems;
}

TEST(SystemNames, EntriesThisSystemCannotHoldAreRefusedByNameAndNothingElseIs) {
  TempDir dir;
  const std::vector<std::string> paths = {"maps\\CON\\a.txt",      "maps\\aux.txt",
                                          "x\\a.txt:hidden",       "dot.",
                                          "Caf\xE9\\na\xEFve.lua", "plain.lua"};
  std::vector<std::string> refused;
  for (const auto& p : extractInto(dir.path(), paths)) {
    EXPECT_EQ(p.outcome, extract::EntryOutcome::Refused);
    refused.push_back(paths[p.entryIndex]);
    EXPECT_HAS(p.reason, "the name");
  }
  // What this system refuses is exactly what its platform says it cannot hold.
  std::vector<std::string> expected;
  for (const auto& path : {"CON", "aux.txt", "a.txt:hidden", "dot."})
    if (!platform::nameProblem(path).empty())
      expected.push_back(paths[expected.size()]);
  EXPECT_EQ(refused, expected);
  EXPECT_EQ(slurp(dir.path() / platform::pathFromUtf8("Caf\xC3\xA9/na\xC3\xAFve.lua")),
            "content of Caf\xE9\\na\xEFve.lua");
  EXPECT_EQ(slurp(dir.path() / "plain.lua"), "content of plain.lua");
}

TEST(SystemNames, PathsDifferingOnlyInCaseKeepTheFirstWhereTheSystemIgnoresCase) {
  TempDir dir;
  const auto problems =
      extractInto(dir.path(), {"Data\\Menu.lua", "data\\menu.LUA", "data\\x.lua"});
  if (platform::namesIgnoreCase()) {
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].entryIndex, 1u);
    EXPECT_HAS(problems[0].reason, "Data\\Menu.lua");
    EXPECT_EQ(slurp(dir.path() / "Data" / "Menu.lua"), "content of Data\\Menu.lua");
  } else {
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(slurp(dir.path() / "data" / "menu.LUA"), "content of data\\menu.LUA");
  }
}

TEST(SystemNames, PathsLongerThanTheOldWindowsLimitAreWrittenAndRead) {
  TempDir dir;
  // A root 240 characters deep made through the platform's folders, an entry path of 180 more.
  platform::Folder folder;
  ASSERT_EQ(platform::Folder::open(dir.path(), folder), 0);
  fs::path root = dir.path();
  for (char c = 'a'; c < 'i'; ++c) {
    const std::string name(29, c);
    platform::Folder sub;
    ASSERT_EQ(folder.openFolder(name, true, sub), 0) << name;
    folder = std::move(sub);
    root /= name;
  }
  std::string path;
  for (char c = 'p'; c < 'v'; ++c)
    path += std::string(28, c) + "\\";
  path += "deep.txt";
  ASSERT_TRUE(extractInto(root, {path}).empty());
  std::string relative = path;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  EXPECT_GT(platform::utf8(root / relative).size(), 400u);
  EXPECT_EQ(platform::MappedFile(root / relative).size(), ("content of " + path).size());
}

// Links: UnsafePath.PlantedLinkIsNotFollowed (extract) and PackFolder (pack).
TEST(Folders, RenamesDoNotReplaceUnlessAskedAndAFileIsNoFolder) {
  TempDir dir;
  platform::Folder root;
  ASSERT_EQ(platform::Folder::open(dir.path(), root), 0);
  dir.write("a.txt", "a");
  dir.write("b.txt", "b");
  EXPECT_EQ(root.rename("a.txt", "b.txt", false), EEXIST);
  EXPECT_EQ(slurp(dir.path() / "b.txt"), "b");
  EXPECT_EQ(root.rename("a.txt", "b.txt", true), 0);
  EXPECT_EQ(slurp(dir.path() / "b.txt"), "a");
  EXPECT_EQ(root.kindOf("a.txt"), platform::Kind::Missing);
  platform::Folder notFolder;
  EXPECT_EQ(root.openFolder("b.txt", true, notFolder), ENOTDIR);
}

// Bytes of one file stored into another as they are: within the system where it can, through
// memory otherwise, and a source that ends first is said, never passed over.
TEST(Copies, FileBytesArriveAsTheyAreAndASourceThatEndsFirstIsSaid) {
  TempDir dir;
  platform::File source, target;
  ASSERT_EQ(platform::File::openForReading(dir.write("source", "0123456789abcdef"), source), 0);
  ASSERT_EQ(platform::File::createNew(dir.path() / "target", target), 0);
  EXPECT_EQ(target.copyFrom(source, 4, 6, 0), 0);
  EXPECT_EQ(target.copyFrom(source, 10, 9, 6), ENODATA);  // 6 bytes there, not 9
  EXPECT_EQ(target.copyThroughMemory(source, 0, 4, 12), 0);
  EXPECT_EQ(target.copyThroughMemory(source, 14, 3, 16), ENODATA);
  target.close();
  EXPECT_EQ(slurp(dir.path() / "target"), "456789abcdef0123ef");

  mpak::MemorySink sink;  // a sink without a file copies through write()
  sink.copy({&source, 2, 3, "base archive"});
  EXPECT_EQ(std::string(sink.bytes().begin(), sink.bytes().end()), "234");
  EXPECT_EQ(thrown<platform::MappingChanged>([&] {
              sink.copy({&source, 15, 2, "base archive"});
            }),
            "the base archive changed while it was being read");

  {  // a file sink joins runs that follow each other, and keeps every byte in its place
    mpak::FileSink file(dir.path() / "joined");
    file.copy({&source, 0, 4, "base archive"});
    file.copy({&source, 4, 2, "base archive"});
    file.copy({&source, 0, 2, "base archive"});
    file.write(toBytes("XY"));
    file.copy({&source, 14, 2, "base archive"});
    file.writeAt(0, toBytes("Z"));
    EXPECT_EQ(file.position(), 12u);
    file.commit();
    EXPECT_EQ(slurp(dir.path() / "joined"), "Z1234501XYef");
    mpak::FileSink past(dir.path() / "past");
    past.copy({&source, 15, 5, "base archive"});  // said at the latest by commit()
    EXPECT_EQ(thrown<platform::MappingChanged>([&] { past.commit(); }),
              "the base archive changed while it was being read");
  }

  platform::PageBuffer buffer;
  const auto first = buffer.room(10);
  ASSERT_GE(first.size(), 10u);
  std::fill(first.begin(), first.end(), std::uint8_t{7});
  EXPECT_EQ(buffer.room(5).data(), first.data());  // kept, with what it holds
  EXPECT_EQ(buffer.room(5)[9], 7);
  EXPECT_GE(buffer.room(first.size() + 1).size(), 2 * first.size());
}

TEST(Temporaries, EveryLiveTemporaryGoesWhenTheProcessIsInterrupted) {
  TempDir dir;
  platform::Folder folder;
  ASSERT_EQ(platform::Folder::open(dir.path(), folder), 0);
  const std::string name = platform::temporaryName("entry.lua");
  EXPECT_TRUE(platform::isTemporaryName(name));
  platform::TemporaryFile guard(folder, name);
  platform::File file;
  ASSERT_EQ(folder.createFile(name, file), 0);
  ASSERT_EQ(file.writeAt(0, toBytes("half")), 0);
  // What an interrupt does before the process ends: the file still open goes too.
  platform::removeLiveTemporaries();
  file.close();
  EXPECT_EQ(folder.kindOf(name), platform::Kind::Missing);
}

}  // namespace
