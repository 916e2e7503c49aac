// Packing back, the table's say, only the user's files, failures that keep the previous archive.
#include <fstream>

#include "app/commands/pack.h"
#include "extract/compare.h"
#include "extract/extractor.h"
#include "extract/verifier.h"
#include "mpak/archive_writer.h"
#include "pack/assembler.h"
#include "platform/mapped_file.h"
#include "platform/temporary.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/command_harness.h"
#include "support/system.h"

namespace {

using namespace testing_support;

// Extracts every entry of `bytes` into `folder`; returns the archive's library table.
std::string unpack(std::span<const std::uint8_t> bytes, const fs::path& folder) {
  const auto index = mpak::readArchiveIndex(bytes);
  fs::create_directory(folder);
  auto summary = extract::extractEntries(bytes, index, extract::everyEntry(index), folder);
  EXPECT_TRUE(summary.problems.empty());
  return mpak::libraryTocText(index.entries);
}

pack::Plan planFor(const fs::path& root, const std::string& table,
                   const pack::PackOptions& options = {}) {
  auto parsed = mpak::LibraryTable::parse(table);
  return pack::makePlan(pack::scanFolder(root), &parsed, options);
}

// The same order, paths, flags, copies, STOC membership and contents, whatever the threads.
TEST(PackRoundTrip, AnExtractedArchivePacksBackToTheSameEntries) {
  std::string noise(70000, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<char>(i * 7919 % 251);
  std::vector<RawEntry> entries = {
      compressed("z/last first.txt", "spaces in the name"),
      compressed("textures/menu/back+front.dds", noise),
      stored("caf\xE9/\xC4rger.lua", "Windows-1252 letters"),
      compressed("empty.bin", ""),
      stored("gone.bin", ""),
      stored("a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/deep.txt", "eighteen folders down")};
  entries[0].inStoc = entries[2].inStoc = entries[4].inStoc = true;
  entries[1].copies = 3;
  entries[2].copies = 2;
  entries[4].copies = 0;
  TempDir dir;
  const auto tree = dir.path() / "tree";
  const auto table = unpack(toBytes(buildArchiveBytes(entries)), tree);
  const auto plan = planFor(tree, table);
  EXPECT_TRUE(plan.unusedLines.empty());
  EXPECT_TRUE(plan.unnamedFiles.empty());
  std::string archives[2];
  for (unsigned threads : {1u, 2u}) {
    const auto target = dir.path() / ("new" + std::to_string(threads) + ".mpak");
    // maxInFlightBytes 1: one file at a time ahead of the writer.
    pack::packArchive(tree, plan, target, {.threads = threads, .maxInFlightBytes = 1});
    archives[threads - 1] = slurp(target);
  }
  EXPECT_EQ(unpack(toBytes(archives[0]), dir.path() / "back"), table);
  EXPECT_EQ(contents(dir.path() / "back"), contents(tree));
  EXPECT_EQ(archives[0], archives[1]) << "the thread count changed the bytes";
}

TEST(PackPlan, TheFirstLineThatNamesAFileDecides) {
  TempDir dir;
  for (const char* f : {"Data/Table.bin", "fx/wave.bin", "one.bin", "new.txt", "m+n.txt"})
    dir.write(std::string("tree/") + f, "x");
  const std::string table =
      "--comment\r\n"
      "  -- indented comment\r\n"
      "00 3 0 data\\table.bin\r\n"
      "01 9 0 DATA\\TABLE.BIN\r\n"  // a later line for the same file does not count
      "01 1 01 fx/wave.bin\r\n"     // "/" names the file too; "01" is STOC 1
      "1 1 2 one.bin\r\n"           // only "01" compresses, only 1 puts it in the STOC
      "00 1 1 m+n.txt\r\n"
      "01 1 0 removed\\file.dds";
  // Each entry in plan order: "path compress copies stoc"; files no line names come last.
  const std::pair<pack::PackOptions, std::string> rows[] = {
      {{}, "Data/Table.bin 0 3 0|fx/wave.bin 1 1 1|one.bin 0 1 0|m+n.txt 0 1 1|new.txt 1 1 1|"},
      {{.compressAll = true, .allStoc = true},
       "Data/Table.bin 1 3 1|fx/wave.bin 1 1 1|one.bin 1 1 1|m+n.txt 1 1 1|new.txt 1 1 1|"}};
  for (const auto& [options, decisions] : rows) {
    const auto plan = planFor(dir.path() / "tree", table, options);
    std::string got;
    for (const auto& e : plan.entries)
      got += e.path + " " + std::to_string(e.compress) + " " + std::to_string(e.copies) + " " +
             std::to_string(e.inStoc) + "|";
    EXPECT_EQ(got, decisions);
    EXPECT_EQ(plan.unusedLines, (Strings{"01 9 0 DATA\\TABLE.BIN", "01 1 0 removed\\file.dds"}));
    EXPECT_EQ(plan.unnamedFiles, Strings{"new.txt"});
  }
  // A name that cannot become an entry path stops the plan, naming it.
  for (const auto& [name, message] :
       {std::pair<std::string, std::string>{std::string(120, 'd') + "/" + std::string(140, 'f'),
                                            "the path is 261 bytes long"},
        {"\xE6\x97\xA5.txt", "the name has characters an archive path cannot hold"}}) {
    TempDir bad;
    bad.write("tree/" + name, "a");
    EXPECT_HAS(thrown<pack::PackError>([&] { planFor(bad.path() / "tree", ""); }), message);
  }
}

TEST(PackFolder, LinksSpecialFilesAndTemporariesAreReportedNotPacked) {
  if (!testing_support::canMakeLinks())
    GTEST_SKIP() << "this system or user cannot make symbolic links";
  TempDir dir, outside;
  dir.write("tree/real.txt", "mine");
  dir.write("tree/sub/" + platform::temporaryName("x.dds"), "half-written");
  outside.write("secret/key.txt", "not yours");
  fs::create_symlink(outside.path() / "secret", dir.path() / "tree/linked");
  fs::create_symlink(outside.path() / "secret/key.txt", dir.path() / "tree/key.txt");
  const bool pipe = testing_support::makePipe(dir.path() / "tree/pipe");
  auto scan = pack::scanFolder(dir.path() / "tree");
  ASSERT_EQ(scan.files.size(), 1u);
  EXPECT_EQ(scan.files[0].relative, "real.txt");
  Files skipped;  // the first four letters of each path: why
  for (const auto& s : scan.skipped)
    skipped[s.relative.substr(0, 4)] = s.why;
  Files expected{{"key.", "a symbolic link"},
                 {"link", "a linked folder, not entered"},
                 {"sub/", "a temporary file left by an interrupted run"}};
  if (pipe)
    expected["pipe"] = "not a regular file";
  EXPECT_EQ(skipped, expected);
}

// A file gone between walk and read, or a cancel: only the previous archive is left.
TEST(PackAtomicity, AFailedPackLeavesThePreviousArchiveAndNoTemporaryFile) {
  TempDir dir;
  for (int i = 0; i < 20; ++i)
    dir.write("tree/f" + std::to_string(i) + ".bin", std::string(5000, 'a' + i));
  const auto target = dir.write("out/old.mpak", "the previous archive");
  const auto tree = dir.path() / "tree";
  const auto plan = planFor(tree, "");
  fs::remove(tree / "f7.bin");
  EXPECT_EQ(thrown<pack::PackError>([&] { pack::packArchive(tree, plan, target, {}); }),
            "cannot read f7.bin: No such file or directory");
  dir.write("tree/f7.bin", "back");
  CancelAfter progress(3);
  EXPECT_EQ(thrown<util::Cancelled>(
                [&] { pack::packArchive(tree, plan, target, {}, {}, {}, {}, progress); }),
            "cancelled after 3 of 20");
  EXPECT_EQ(progress.names, (Strings{"f0.bin", "f1.bin", "f10.bin"}));
  EXPECT_EQ(filesBelow(dir.path() / "out"), Strings{"old.mpak"});
  EXPECT_EQ(slurp(target), "the previous archive");
}

std::vector<mpak::WriterEntry> manyEntries(std::size_t count) {
  std::vector<mpak::WriterEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i)
    entries[i] = {"f" + std::to_string(i), 1, i % 2 == 0};
  return entries;
}

TEST(FormatLimits, SixtyFiveThousandFiveHundredThirtyFiveEntriesAndNotOneMore) {
  mpak::MemorySink sink;
  mpak::ArchiveWriter writer(sink, manyEntries(65535), mpak::kFormatMaxEntries);
  for (std::size_t i = 0; i < 65535; ++i)
    writer.addData(std::vector<std::uint8_t>{static_cast<std::uint8_t>(i)}, 1, false);
  writer.finish();
  const auto index = mpak::readArchiveIndex(sink.bytes());
  ASSERT_EQ(index.entries.size(), 65535u);
  EXPECT_EQ(index.entries.back().path, "f65534");
  EXPECT_EQ(index.stoc.size(), 32768u);
  EXPECT_EQ(index.stoc.back().tocIndex, 65534);
  EXPECT_EQ(extract::verifyArchive(sink.bytes(), index).badEntries, 0u);

  mpak::MemorySink unused;
  EXPECT_THROW(mpak::ArchiveWriter(unused, manyEntries(65536), mpak::kFormatMaxEntries),
               mpak::FormatError);
  EXPECT_THROW(mpak::ArchiveWriter(unused, manyEntries(32768)), mpak::FormatError);
  EXPECT_EQ(unused.bytes().size(), 0u);

  pack::FolderScan scan;
  for (std::size_t i = 0; i < 65536; ++i)
    scan.files.push_back({"f" + std::to_string(i), 1});
  EXPECT_HAS(
      thrown([&] { pack::makePlan(scan, nullptr, {.maxEntries = mpak::kFormatMaxEntries}); }),
      "holds 65536 files; an archive holds at most 65535 entries");
}

TEST(FormatLimits, DataPastTwoGibibytesReadsAndPastFourIsRefused) {
  TempDir dir;
  // Two entries whose data lies at 2.25 GiB and at the last offset below 4 GiB (a sparse file).
  const std::uint32_t far[] = {0x90000000u, 0xFFFFFFF0u};
  const std::string data[] = {"beyond two gibibytes", "just below four"};
  const auto built =
      buildArchive({{.path = "a.txt", .stored = data[0], .dataOffsets = {{far[0]}}},
                    {.path = "b.txt", .stored = data[1], .dataOffsets = {{far[1]}}}});
  const auto path = dir.write("huge.mpak", built.bytes);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    for (int i = 0; i < 2; ++i)
      out.seekp(static_cast<std::streamoff>(built.rawdPosition + far[i])) << data[i];
    ASSERT_TRUE(out.flush());
  }
  const platform::MappedFile file(path);
  const auto index = mpak::readArchiveIndex(file.bytes());
  EXPECT_EQ(extract::verifyArchive(file.bytes(), index).badEntries, 0u);
  const auto out = dir.path() / "out";
  fs::create_directory(out);
  EXPECT_EQ(extract::extractEntries(file.bytes(), index, extract::everyEntry(index), out).written,
            2u);
  EXPECT_EQ(contents(out), (Files{{"a.txt", data[0]}, {"b.txt", data[1]}}));
  // Four stored files of 1.5 GiB cannot all start below 4 GiB: refused before reading.
  pack::FolderScan scan;
  for (const char* name : {"w.bin", "x.bin", "y.bin", "z.bin"})
    scan.files.push_back({name, std::uint64_t{3} << 29});
  const auto table = mpak::LibraryTable::parse(
      "--\r\n\r\n00 1 0 w.bin\r\n00 1 0 x.bin\r\n00 1 0 y.bin\r\n00 1 0 z.bin");
  EXPECT_HAS(thrown([&] { pack::makePlan(scan, &table, {}); }),
             "an archive's data offsets reach 4 GiB");
}

struct PackFixture : ::testing::Test, CommandHarness {
  void choose(const std::string& folder) {
    window.folderAnswers.push_back(folder);
    app::butSelectMPAKFolder_Click(context);
  }
  void pack() { app::butPackMPAK_Click(context); }
};

// The folder chosen is packed, not ExtractedFiles/<its name>; its name picks table and archive.
TEST_F(PackFixture, PacksTheChosenFolderWhereverItLiesAsTheTableSaysWithTheExactLog) {
  home.write("ExtractedFiles/ui.mpak/b.txt", "bee");
  home.write("ExtractedFiles/ui.mpak/sub/a.dds", "texture");
  home.write("ExtractedFiles/ui.mpak/new.lua", "print()");
  home.write("Library/ui.mpak.toc",
             "--c\r\n\r\n00 2 0 sub\\a.dds\r\n01 1 1 b.txt\r\n01 1 0 old.bin");
  choose(home.str() + "/ExtractedFiles/ui.mpak/");
  EXPECT_EQ(window.browseTitles, Strings{"Select .mpak folder from \\ExtractedFiles"});
  EXPECT_EQ(window.text("Label13"), "ui.mpak");
  pack();
  EXPECT_EQ(window.messages, Messages{});
  EXPECT_EQ(window.log,
            crlfText("Zipping 1: b.txt.3.1.1.cmp\nZipping 2: new.lua.7.1.1.cmp\n"
                     "Copying 3: sub+a.dds.7.2.0.unc\nPacking 1/3: sub+a.dds.7.2.0.unc\n"
                     "Packing 2/3: b.txt.3.1.1.cmp\nPacking 3/3: new.lua.7.1.1.cmp\n"
                     "Table lines that name no file: 1\n  01 1 0 old.bin\n"
                     "Files no table line names (packed compressed, 1 copy, in the STOC): 1\n"
                     "  new.lua\n2 files zipped.\n3 files packed.\nTOC entries processed: 3\n"
                     "STOC entries processed: 2\n.MPAK pack complete.\n"));
  const auto built = toBytes(slurp(home.path() / "NewMPAKs/ui.mpak"));
  EXPECT_TRUE(mpak::libraryTocText(mpak::readArchiveIndex(built).entries)
                  .ends_with("\r\n\r\n00 2 0 sub\\a.dds\r\n01 1 1 b.txt\r\n01 1 1 new.lua"));
  EXPECT_EQ(window.text("Text1"), "");
  EXPECT_FALSE(window.busy);
  window.folderAnswers.push_back(std::nullopt);  // a cancelled browser changes nothing
  app::butSelectMPAKFolder_Click(context);
  EXPECT_EQ(window.text("Label13"), "ui.mpak");

  home.write("ExtractedFiles/mod.mpak/a.txt", "in ExtractedFiles");
  home.write("mods/mod.mpak/a.txt", "the mod's");
  home.write("mods/mod.mpak/only.txt", "only in the mod");
  home.write("Library/mod.mpak.toc", "00 1 0 a.txt\r\n00 1 0 only.txt");
  choose(home.str() + "/mods/mod.mpak");
  EXPECT_EQ(window.text("Label13"), "mod.mpak");
  pack();
  ASSERT_EQ(window.messages, Messages{});
  EXPECT_TRUE(window.log.starts_with(
      "Folder packed: " + (home.path() / "mods" / "mod.mpak").string() + "\r\n"))
      << window.log;
  const auto mod = toBytes(slurp(home.path() / "NewMPAKs/mod.mpak"));
  const auto diff =
      extract::diffFolder(mod, mpak::readArchiveIndex(mod), home.path() / "mods/mod.mpak");
  EXPECT_EQ(diff.unchanged, 2u);
  EXPECT_EQ(diff.changed(), 0u);
  // The folder in ExtractedFiles, however spelled, logs as it always has.
  choose(home.str() + "/mods/../ExtractedFiles/mod.mpak");
  pack();
  EXPECT_TRUE(window.log.starts_with("Copying 1: a.txt")) << window.log;
}

TEST_F(PackFixture, InputChecksSayWhatIsMissingAndPackNothing) {
  home.write("ExtractedFiles/notable.mpak/a.txt", "a");
  const struct {
    std::string folder;  // "" = none chosen
    MessageRecord message;
  } rows[] = {
      {"",
       {app::Icon::Information,
        "No MPAK folder selected.\r\n\r\nFirst select the extracted MPAK folder you want to "
        "repack."}},
      {home.str() + "/ExtractedFiles/missing.mpak",
       {app::Icon::Information,
        "\\missing.mpak folder does not exist in \\ExtractedFiles folder."}},
      {home.str() + "/elsewhere/missing.mpak",
       {app::Icon::Information,
        (home.path() / "elsewhere" / "missing.mpak").string() + " folder does not exist."}},
      {home.str() + "/ExtractedFiles/notable.mpak",
       {app::Icon::Exclamation,
        "No library .toc file found for this .MPAK.\r\n\r\nOpen original .MPAK file again to "
        "recreate."}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    window.messages.clear();
    window.browseTitles.clear();
    if (!row.folder.empty())
      choose(row.folder);
    pack();
    EXPECT_EQ(window.messages, Messages{row.message});
    // With no folder chosen the pack opens the browser; choose() opened it for the others.
    EXPECT_EQ(window.browseTitles.size(), 1u);
    EXPECT_FALSE(window.busy);
  }
  EXPECT_TRUE(fs::is_empty(home.path() / "NewMPAKs"));
}

// A replaced archive is kept as NAME.previous; the first pack and a failed one leave it alone.
TEST_F(PackFixture, ThePreviousBuildIsKeptOneStepBackAndAFailedPackKeepsBoth) {
  home.write("Library/ui.mpak.toc", "00 1 0 a.txt");
  const auto built = home.path() / "NewMPAKs/ui.mpak";
  const auto previous = home.path() / "NewMPAKs/ui.mpak.previous";
  choose("ui.mpak");  // a bare name lies in ExtractedFiles
  const std::string kept = "The archive packed before is kept as NewMPAKs\\ui.mpak.previous.\r\n";
  Strings builds;  // each pack's archive
  for (const char* content : {"first", "second", "third"}) {
    home.write("ExtractedFiles/ui.mpak/a.txt", content);
    pack();
    const bool replaced = !builds.empty();
    EXPECT_EQ(window.log.find(kept) != std::string::npos, replaced) << window.log;
    EXPECT_EQ(window.log.ends_with(kept + ".MPAK pack complete.\r\n"), replaced);
    EXPECT_EQ(fs::exists(previous), replaced);
    EXPECT_EQ(slurp(previous), replaced ? builds.back() : "");
    builds.push_back(slurp(built));
    EXPECT_NE(builds.back(), slurp(previous));
  }
  home.write("Library/ui.mpak.toc", "01 -1 0 a.txt");
  pack();
  EXPECT_EQ(window.messages,
            (Messages{{app::Icon::Exclamation,
                       "PackIt error.\r\n\r\nlibrary table line 1 (\"01 -1 0 a.txt\"): copies "
                       "\"-1\" is not a whole number from 0 to 32767"}}));
  EXPECT_EQ(window.log, crlfText("0 files zipped.\n0 files packed.\nTOC entries processed: 0\n"
                                 "STOC entries processed: 0\nSTOC table was not created.\n"
                                 "Pack operation aborted due to error.\n"));
  EXPECT_EQ(slurp(built), builds[2]);
  EXPECT_EQ(slurp(previous), builds[1]);
  EXPECT_EQ(filesBelow(home.path() / "NewMPAKs"), (Strings{"ui.mpak", "ui.mpak.previous"}));
}

}  // namespace
