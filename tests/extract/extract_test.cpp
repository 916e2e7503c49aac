// Extraction gives back what was stored; damaged, hostile or changing archives fail alone, inside.
#include <chrono>
#include <thread>

#include "../../fuzz/fuzz_bodies.h"
#include "app/commands/extract.h"
#include "app/commands/pack.h"
#include "extract/compare.h"
#include "extract/extractor.h"
#include "extract/verifier.h"
#include "mpak/archive_writer.h"
#include "mpak/library_toc.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/temporary.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/command_harness.h"
#include "support/system.h"
#include "util/deflate.h"

namespace {

using namespace testing_support;

struct ProgramFolder : CommandHarness {
  // Writes archives/<name> and loads it as the load command does; selects `items`.
  void load(const std::string& name, const std::vector<RawEntry>& entries,
            std::initializer_list<int> items = {}) {
    auto bytes = buildArchiveBytes(entries);
    auto& archive = session.archive;
    archive.path = home.write("archives/" + name, bytes).string();
    archive.fileName = name;
    archive.catalogue.index = mpak::readArchiveIndex(toBytes(bytes));
    for (const auto& entry : archive.catalogue.entries())
      window.addItems({entry.path});
    window.setText("Label5", name);
    window.selected.insert(items);
  }
  void extract() { app::butMassExtract_Click(context); }
  fs::path root(const std::string& name = "ui.mpak") const {
    return fs::path(state.folders.extractedFiles) / name;
  }
  const mpak::ArchiveIndex& index() const { return session.archive.catalogue.index; }
};

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
  EXPECT_EQ(contents(root()),
            (Files{{"deflate.bin", ""}, {"none.bin", ""}, {"nonez.bin", ""}, {"stored.bin", ""}}));
  EXPECT_TRUE(window.log.ends_with(crlfText("4 files extracted.\nExtraction complete.\n")));
  EXPECT_EQ(window.messages, Messages{});
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
    EXPECT_EQ(p.window.messages,
              (Messages{{app::Icon::Information,
                         noArchive ? "No MPAK file loaded.\r\n\r\nFirst select an .MPAK file you "
                                     "want to extract."
                                   : "No files selected."}}));
    EXPECT_EQ(p.window.chooserCalls.size(), noArchive ? 1u : 0u);
    EXPECT_EQ(slurp(fs::path(p.state.folders.temp) / "old.gz"), "stale");
    EXPECT_TRUE(filesBelow(p.state.folders.extractedFiles).empty());
  }
}

// Wrong sizes (99999, 5, 100 for noise past the first guess and retry) warn; damage fails alone.
TEST_F(ExtractCommand, SelectedEntriesReplaceEarlierFilesResizedOnesWarnAndDamagedOnesFailAlone) {
  std::string text(2000, '\0'), noise = testing_support::noise(3 << 20);
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = "abcdefgh\r\n"[i % 10];
  auto large = compressed("m/large.txt", text), small = compressed("small.txt", text),
       big = compressed("big.bin", noise), notDeflate = compressed("bad.bin", "content"),
       pastEnd = stored("far.bin", "content");
  large.unpackedSize = 99999;
  small.unpackedSize = 5;
  big.unpackedSize = 100;
  notDeflate.stored = "\x07\xFF\xFF\xFF";
  pastEnd.storedSizeField = 0xFFFFFF;
  load("my+mod.mpak",
       {compressed("a+b/c+d.txt", "plus"), compressed("no.txt", "not chosen"),
        stored("caf\xE9+.txt", "euro"), notDeflate, large, pastEnd, small, big},
       {0, 2, 3, 4, 5, 6, 7});
  const auto items = window.items;
  extract();
  for (const auto& [file, bytes] : Files{{"a+b/c+d.txt", "edited by the user, longer"},
                                         {"caf\xC3\xA9+.txt", "x"},
                                         {"bad.bin", "from an earlier run"},
                                         {"far.bin", "from an earlier run"}})
    home.write("ExtractedFiles/my+mod.mpak/" + file, bytes);
  window.messages.clear();
  window.answers.push_back(1);  // replace the two files the user changed
  extract();
  EXPECT_EQ(
      window.questions,
      (Messages{{app::Icon::Question, crlfText("2 files you changed since extraction would be "
                                               "replaced:\n\na+b\\c+d.txt\ncaf\xC3\xA9+.txt\n\n"
                                               "Keep your changes?")}}));
  EXPECT_EQ(contents(root("my+mod.mpak")), (Files{{"a+b/c+d.txt", "plus"},
                                                  {"bad.bin", "from an earlier run"},
                                                  {"big.bin", noise},
                                                  {"caf\xC3\xA9+.txt", "euro"},
                                                  {"far.bin", "from an earlier run"},
                                                  {"m/large.txt", text},
                                                  {"small.txt", text}}));
  EXPECT_EQ(window.log,
            crlfText("Extracting 1\\7: a+b\\c+d.txt\nExtracting 2\\7: \\caf\xC3\xA9+.txt\n"
                     "Extracting 3\\7: \\bad.bin\nExtracting 4\\7: m\\large.txt\n"
                     "Warning: m\\large.txt inflates to 2000 bytes, the table says 99999.\n"
                     "Extracting 5\\7: \\far.bin\n"
                     "Failed: copy 1 (16777215 bytes at offset 0x133) runs past the end of the "
                     "file (3146335 bytes).\n"
                     "Extracting 6\\7: \\small.txt\n"
                     "Warning: small.txt inflates to 2000 bytes, the table says 5.\n"
                     "Extracting 7\\7: \\big.bin\n"
                     "Warning: big.bin inflates to 3145728 bytes, the table says 100.\n"
                     "Unzipping 1\\5: my+mod.mpak+a+b+c+d.txt.gz\n"
                     "Unzipping 2\\5: my+mod.mpak+bad.bin.gz\n"
                     "Failed: the data is not valid DEFLATE data.\n"
                     "Unzipping 3\\5: my+mod.mpak+m+large.txt.gz\n"
                     "Unzipping 4\\5: my+mod.mpak+small.txt.gz\n"
                     "Unzipping 5\\5: my+mod.mpak+big.bin.gz\n"
                     "4 files unzipped.\n5 files extracted.\n"
                     "3 files inflated to another size than the table says.\n"
                     "2 entries failed.\nExtraction complete.\n"));
  EXPECT_EQ(window.messages, (Messages{{app::Icon::Exclamation,
                                        "2 entries could not be extracted.\r\n\r\nThe log lists "
                                        "each one with the reason."}}));
  EXPECT_EQ(window.items, items);
  EXPECT_EQ(window.selected, (std::set<int>{0, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(window.busy);
}

// Links and temporaries are not the user's files; the window's pack lists the changes first.
TEST_F(ExtractCommand, AFolderComparedWithItsArchiveNamesWhatWasAddedRemovedAndModified) {
  if (!testing_support::canMakeLinks())
    GTEST_SKIP() << "this system or user cannot make symbolic links";
  load("ui.mpak",
       {compressed("scripts/init.lua", "print('hello')"), stored("font.dat", "glyphs"),
        compressed("textures/back.tga", std::string(5000, 't')), stored("same.txt", "abc"),
        compressed("gone.txt", "bye")},
       {0, 1, 2, 3, 4});
  extract();
  home.write("ExtractedFiles/ui.mpak/scripts/init.lua", "print('edited')");  // other size
  home.write("ExtractedFiles/ui.mpak/same.txt", "xyz");                      // same size
  home.write("ExtractedFiles/ui.mpak/new/added.txt", "new");
  home.write("ExtractedFiles/ui.mpak/" + platform::temporaryName("x"), "half");
  fs::remove(root() / "gone.txt");
  fs::create_symlink("font.dat", root() / "link.dat");
  const platform::MappedFile file(session.archive.path);
  const auto diff = extract::diffFolder(file.bytes(), index(), root());
  EXPECT_EQ(diff.modified, (Strings{"scripts/init.lua", "same.txt"}));
  EXPECT_EQ(diff.added, Strings{"new/added.txt"});
  EXPECT_EQ(diff.removed, Strings{"gone.txt"});
  EXPECT_EQ(diff.unchanged, 2u);
  EXPECT_TRUE(diff.unreadable.empty());
  home.write("Library/ui.mpak.toc", mpak::libraryTocText(index().entries));
  window.folderAnswers.push_back(root().string());
  app::butSelectMPAKFolder_Click(context);
  state.logText.clear();
  app::butPackMPAK_Click(context);
  EXPECT_HAS(window.log,
             crlfText("Changed since extraction: 4 files\n  modified  scripts\\init.lua\n"
                      "  modified  same.txt\n  added  new\\added.txt\n"
                      "  removed  gone.txt\nTable lines that name no file: 1\n"));
  // Packed against the loaded archive: the untouched entries are taken as they were.
  EXPECT_HAS(window.log, crlfText("  link.dat (a symbolic link)\n2 entries kept as they were, 2 "
                                  "compressed again, 1 new, 1 removed\n3 files zipped.\n"));
}

// Over edited files one question: keep (the default), replace or cancel; unedited, no question.
TEST_F(ExtractCommand, FilesChangedSinceExtractionAreKeptReplacedOrLeftAfterOneQuestion) {
  std::vector<RawEntry> entries = {compressed("scripts/init.lua", "print('hello')"),
                                   stored("font.dat", "glyphs"), compressed("a.txt", "abc")};
  for (int i = 0; i < 6; ++i)
    entries.push_back(stored("more/" + std::to_string(i) + ".txt", "same"));
  load("ui.mpak", entries, {0, 1, 2, 3, 4, 5, 6, 7, 8});
  extract();
  const auto firstLog = window.log;
  fs::remove(root() / "font.dat");  // gone files are written again without a word
  extract();
  EXPECT_EQ(window.questions, Messages{});
  EXPECT_EQ(window.log, firstLog);
  home.write("ExtractedFiles/ui.mpak/scripts/init.lua", "print('edited')");
  home.write("ExtractedFiles/ui.mpak/a.txt", "xyz");  // same size, other bytes
  for (int i = 0; i < 6; ++i)
    home.write("ExtractedFiles/ui.mpak/more/" + std::to_string(i) + ".txt", "mine");
  // Cancel (or closing the box) changes nothing, on disk or in the log.
  window.log = state.logText = "kept log";
  extract();
  EXPECT_EQ(window.questions,
            (Messages{{app::Icon::Question,
                       crlfText("8 files you changed since extraction would be replaced:\n\n"
                                "scripts\\init.lua\na.txt\nmore\\0.txt\nmore\\1.txt\nmore\\2.txt\n"
                                "... and 3 more\n\nKeep your changes?")}}));
  EXPECT_EQ(window.offeredAnswers, (Strings{"Keep my changes", "Replace them", "Cancel"}));
  EXPECT_EQ(window.log, "kept log");
  EXPECT_EQ(slurp(root() / "a.txt"), "xyz");
  // Keep: the edits stay, everything else is extracted, the kept files are counted.
  window.answers.push_back(0);
  window.selected = {0, 1, 2};
  extract();
  EXPECT_EQ(slurp(root() / "scripts/init.lua"), "print('edited')");
  EXPECT_EQ(slurp(root() / "a.txt"), "xyz");
  EXPECT_EQ(window.log,
            crlfText("Extracting 1\\3: scripts\\init.lua\nKept: changed since extraction.\n"
                     "Extracting 2\\3: \\font.dat\nExtracting 3\\3: \\a.txt\n"
                     "Kept: changed since extraction.\n0 files unzipped.\n1 files extracted.\n"
                     "2 files kept (changed since extraction).\nExtraction complete.\n"));
  EXPECT_EQ(window.messages, Messages{});
  // Replace: the archive's content comes back.
  window.answers.push_back(1);
  extract();
  EXPECT_EQ(slurp(root() / "scripts/init.lua"), "print('hello')");
  EXPECT_EQ(slurp(root() / "a.txt"), "abc");
  EXPECT_EQ(window.questions.size(), 3u);
}

// The entries before the cancel are whole, nothing after it and no temporary file is written.
TEST_F(ExtractCommand, ACancelStopsBeforeTheNextEntry) {
  load("ui.mpak", {compressed("a.txt", "aaa"), stored("b/c.txt", "ccc"), compressed("d.txt", "d"),
                   stored("e.txt", "e"), compressed("f.txt", "f")});
  const platform::MappedFile file(session.archive.path);
  fs::create_directory(root());
  CancelAfter progress(2);
  EXPECT_EQ(thrown<util::Cancelled>([&] {
              extract::extractEntries(file.bytes(), index(), extract::everyEntry(index()), root(),
                                      {}, {}, progress);
            }),
            "cancelled after 2 of 5");
  EXPECT_EQ(progress.names, (Strings{"a.txt", "b/c.txt"}));
  EXPECT_EQ(contents(root()), (Files{{"a.txt", "aaa"}, {"b/c.txt", "ccc"}}));
}

// Two entries of one path: the file is unchanged when it holds either of them; a link is not.
TEST_F(ExtractCommand, AFileIsChangedOnlyWhenNoSelectedEntryOfItsPathHoldsIt) {
  if (!testing_support::canMakeLinks())
    GTEST_SKIP() << "this system or user cannot make symbolic links";
  load("ui.mpak", {stored("a.txt", "first"), compressed("a.txt", "second"), stored("b.txt", "bee"),
                   stored("link.txt", "l")});
  const std::vector<std::size_t> all = {0, 1, 2, 3};
  const platform::MappedFile file(session.archive.path);
  const auto changed = [&](const std::vector<std::size_t>& selection) {
    return extract::changedFiles(file.bytes(), index(), selection, root());
  };
  fs::create_directory(root());
  extract::extractEntries(file.bytes(), index(), all, root());
  fs::remove(root() / "link.txt");
  fs::create_symlink("b.txt", root() / "link.txt");
  EXPECT_EQ(changed(all), std::vector<std::size_t>{});
  home.write("ExtractedFiles/ui.mpak/a.txt", "first");
  EXPECT_EQ(changed(all), std::vector<std::size_t>{});
  EXPECT_EQ(changed({1, 2}), std::vector<std::size_t>{1});
  home.write("ExtractedFiles/ui.mpak/a.txt", "third");
  EXPECT_EQ(changed(all), (std::vector<std::size_t>{0, 1}));
}

// Text and noise, empty and large, 0 to 3 copies, some in the STOC; with 1 and 2 threads.
TEST(RoundTrip, ThousandsOfWrittenEntriesComeBackByteForByte) {
  std::mt19937 rng(20240611);
  std::vector<mpak::BuiltEntry> entries;
  std::vector<RawEntry> laidOut;
  Files expected;
  for (std::size_t i = 0; i < 3000; ++i) {
    auto n = [](std::size_t v) { return std::to_string(v); };
    std::string path = "d" + n(i % 23) + "/s" + n(i % 7) + (i % 3 ? "" : "/t" + n(i % 5)) + "/f" +
                       n(i) + (i % 2 ? ".txt" : ".bin");
    std::string content(i % 50 == 0 ? 0 : (i % 97 == 0 ? 200000 + rng() % 100000 : rng() % 3000),
                        '\0');
    for (std::size_t k = 0; k < content.size(); ++k)
      content[k] = i % 2 ? "lorem ipsum dolor sit amet "[(k + i) % 27] : static_cast<char>(rng());
    auto raw = toBytes(content), packed = util::deflateRaw(raw, 6);
    const bool pack = packed.size() < raw.size();
    const auto copies = static_cast<std::uint16_t>(i % 101 == 0 ? 0 : 1 + i % 3);
    const auto size = static_cast<std::uint32_t>(raw.size());
    expected[path] = copies == 0 ? "" : content;
    entries.push_back({path, pack ? packed : raw, size, pack, copies, i % 10 == 0});
    laidOut.push_back({path, toString(entries.back().stored), size, pack, copies, i % 10 == 0});
  }
  const auto data = mpak::buildArchive(entries);
  // The writer lays the entries out exactly as the hand layout does.
  ASSERT_TRUE(toString(data) == buildArchiveBytes(laidOut));
  const auto index = mpak::readArchiveIndex(data);
  ASSERT_EQ(index.entries.size(), entries.size());
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    TempDir dir;
    extract::ExtractOptions options;
    options.pipeline.threads = threads;
    std::vector<std::size_t> order;
    auto summary = extract::extractEntries(
        data, index, extract::everyEntry(index), dir.path(), options,
        [&](const extract::EntryReport& what, auto, auto) { order.push_back(what.entryIndex); });
    EXPECT_TRUE(summary.problems.empty());
    EXPECT_EQ(order, extract::everyEntry(index));
    const auto got = contents(dir.path());
    EXPECT_TRUE(got == expected) << got.size() << " files for " << expected.size() << " entries";
  }
}

// One larger entry than the bound goes through alone.
TEST(Pipeline, InflatedBytesInFlightStayWithinTheBound) {
  constexpr std::size_t kMiB = 1 << 20;
  std::vector<RawEntry> entries;
  for (int i = 0; i < 12; ++i)
    entries.push_back(compressed("m" + std::to_string(i), std::string(kMiB, 'z')));
  entries.push_back(compressed("five", std::string(5 * kMiB, 'f')));
  const auto bytes = toBytes(buildArchiveBytes(entries));
  const auto index = mpak::readArchiveIndex(bytes);
  const struct {
    std::vector<std::size_t> order;
    std::size_t most, least;
  } rows[] = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 3 * kMiB, 2 * kMiB},
              {{0, 1, 12, 2, 3}, 5 * kMiB, 5 * kMiB}};
  for (const auto& row : rows) {
    std::size_t consumed = 0;
    // A slow consumer, so the workers run as far ahead as the bound lets them.
    auto peak = extract::forEachEntryData(
        bytes, index, row.order, {.threads = 2, .maxInFlightBytes = 3 * kMiB}, {},
        [&](std::size_t, extract::EntryData& data) {
          EXPECT_EQ(data.state, extract::EntryData::State::Ready) << data.reason;
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
          ++consumed;
        });
    EXPECT_EQ(consumed, row.order.size());
    EXPECT_LE(peak, row.most);
    EXPECT_GE(peak, row.least) << "the workers never ran ahead";
  }
}

// Truncated mid-extraction (SIGBUS past the end): every file whole, or a stop with nothing wrong.
TEST(ChangingArchive, ATruncationWhileReadingNeverCrashesOrWritesWhatWasNotThere) {
  if (!testing_support::canShortenMappedFiles())
    GTEST_SKIP() << "this system does not shorten a file while it is mapped";
  TempDir dir;
  const std::string big(256 << 10, 'b'), text(100000, 'c');
  const auto path =
      dir.write("live.mpak", buildArchiveBytes({stored("a.txt", "first"), stored("big.bin", big),
                                                compressed("c.txt", text)}));
  platform::MappedFile file(path);
  const auto index = mpak::readArchiveIndex(file.bytes());
  const auto out = dir.path() / "out";
  fs::create_directory(out);
  const auto replacedBefore = platform::mappedPagesReplaced();
  try {
    extract::extractEntries(file.bytes(), index, extract::everyEntry(index), out, {},
                            [&](const extract::EntryReport&, std::size_t n, auto) {
                              if (n == 1)
                                fs::resize_file(path, 64);
                            });
    EXPECT_EQ(slurp(out / "big.bin"), big);
    EXPECT_EQ(slurp(out / "c.txt"), text);
  } catch (const platform::MappingChanged& e) {
    EXPECT_STREQ(e.what(), "the archive changed while it was being read");
    EXPECT_EQ(filesBelow(out), Strings{"a.txt"});
  }
  const volatile std::uint8_t* pastTheEnd = file.bytes().data() + file.size() - 1;
  EXPECT_EQ(*pastTheEnd, 0);
  EXPECT_GT(platform::mappedPagesReplaced(), replacedBefore);
}

// Every fuzz seed runs through its target's code; archive seeds extract nothing outside the root.
TEST(HostileArchive, FuzzSeedsNeverCrashOrEscape) {
  int files = 0, read = 0;
  auto extractAll = [&read](const std::string& bytes) {
    const auto data = toBytes(bytes);
    fuzzing::exerciseArchiveReader(data);
    mpak::ArchiveIndex index;
    try {
      index = mpak::readArchiveIndex(data);
    } catch (const mpak::FormatError&) {
      return;
    }
    ++read;
    TempDir dir;
    fs::create_directory(dir.path() / "root");
    extract::ExtractOptions options;
    options.pipeline.maxInFlightBytes = 1 << 20;
    auto summary = extract::extractEntries(data, index, extract::everyEntry(index),
                                           dir.path() / "root", options);
    EXPECT_EQ(summary.total(), index.entries.size());
    extract::verifyArchive(data, index);
    for (const auto& f : filesBelow(dir.path()))
      EXPECT_TRUE(f.starts_with("root/")) << f;
  };
  const std::pair<const char*, std::function<void(const std::string&)>> targets[] = {
      {"archive_reader", extractAll},
      {"library_toc", [](const std::string& s) { fuzzing::exerciseLibraryToc(s); }},
      {"model_scan", [](const std::string& s) { fuzzing::exerciseModelScan(toBytes(s)); }},
      {"package", [](const std::string& s) { fuzzing::exercisePackage(toBytes(s)); }},
      {"sound_bank", [](const std::string& s) { fuzzing::exerciseSoundBank(toBytes(s)); }},
      {"tga_image", [](const std::string& s) { fuzzing::exerciseTgaImage(toBytes(s)); }}};
  const auto corpus = fs::path(__FILE__).parent_path() / "../../fuzz/corpus";
  for (const auto& [target, body] : targets)
    for (const auto& seed : fs::directory_iterator(corpus / target)) {
      SCOPED_TRACE(seed.path().string());
      EXPECT_NO_THROW(body(slurp(seed.path())));
      ++files;
    }
  EXPECT_GE(files, 20);
  EXPECT_GT(read, 0);
}

// "T" in a path becomes a token no other file carries; the neighbours look unsafe but are not.
TEST(UnsafePath, EveryUnsafeFormIsRefusedLoggedAndLandsNowhere) {
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
    // Safe near misses: dots that are not "." or "..", a drive letter not at the start.
    const std::string nearMiss = platform::nameProblem("C:x").empty() ? "C:x" : "Cx";
    p.load("ui.mpak",
           {stored("..a/b..c/...d", "b"), compressed(path, tok), stored("a\\" + nearMiss, "a")},
           {0, 1, 2});
    p.extract();
    EXPECT_EQ(filesBelow(p.home.path()),
              (Strings{"ExtractedFiles/ui.mpak/..a/b..c/...d",
                       "ExtractedFiles/ui.mpak/a/" + nearMiss, "archives/ui.mpak"}));
    EXPECT_TRUE(p.window.log.ends_with(
        crlfText("Refused (unsafe path): " + reason + ".\nExtracting 3\\3: a\\" + nearMiss +
                 "\n0 files unzipped.\n2 files extracted.\n"
                 "1 entries refused (unsafe path).\nExtraction complete.\n")))
        << p.window.log;
    for (const auto& dir : {p.home.path().parent_path(), fs::path("/"), fs::current_path()})
      for (const auto& file : fs::directory_iterator(dir))
        EXPECT_EQ(file.path().filename().string().find(tok), std::string::npos) << file.path();
  }
}

TEST(UnsafePath, PlantedLinkIsNotFollowed) {
  if (!testing_support::canMakeLinks())
    GTEST_SKIP() << "this system or user cannot make symbolic links";
  TempDir dir;
  const auto root = dir.path() / "root", outside = dir.path() / "outside";
  fs::create_directories(root);
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, root / "a");
  auto data = toBytes(buildArchiveBytes({stored("a/x.txt", "escaped"), stored("b/y.txt", "fine")}));
  auto summary = extract::extractEntries(data, mpak::readArchiveIndex(data),
                                         std::vector<std::size_t>{0, 1}, root);
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(slurp(root / "b" / "y.txt"), "fine");
  EXPECT_EQ(summary.written, 1u);
  ASSERT_EQ(summary.problems.size(), 1u);
  EXPECT_HAS(summary.problems[0].reason, "symbolic link");
}

}  // namespace
