// The tarnwick-cli verbs in process: output, files, exit codes, messages, and damaged inputs.
#include <sstream>

#include "../fsb/bank_bytes.h"
#include "cli/cli.h"
#include "extract/entry_glob.h"
#include "sample_bank.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

struct CliResult {
  int code;
  std::string out, err;
  bool operator==(const CliResult&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const CliResult& r) {
    return os << "exit " << r.code << "\nout: " << r.out << "\nerr: " << r.err;
  }
};

struct Cli : ::testing::Test {
  Cli() {
    fs::current_path(dir.path());
    dir.write("archives/ui.mpak",
              buildArchiveBytes({stored("readme.txt", "read me"),
                                 compressed("textures/menu/back.dds", "back texture"),
                                 compressed("textures/font.dds", "font texture"),
                                 stored("sounds/click.wav", "click")}));
  }
  ~Cli() override { fs::current_path(previous); }
  // Runs the verbs with `words` as arguments (split at blanks) in dir.
  static CliResult run(const std::string& words) {
    std::vector<std::string> args;
    std::istringstream in(words);
    for (std::string word; in >> word;)
      args.push_back(word);
    std::ostringstream out, err;
    cli::Io io{out, err, false};
    return {cli::runCli(args, io), out.str(), err.str()};  // in this order
  }
  const fs::path previous = fs::current_path();
  TempDir dir;
};

TEST_F(Cli, EndsWithItsExitCodeAndSaysWhatAndWhere) {
  dir.write("cut.mpak",
            buildArchiveBytes({stored("a.txt", "a"), stored("b.txt", "b")}).substr(0, 30));
  dir.write("count.mpak", buildArchiveBytes({{.path = "a"}}, {}, {.entryCount = 9}));
  dir.write("ui.mpak", slurp("archives/ui.mpak"));
  dir.write("tree/a.txt", "a");
  dir.write("bad.toc", "00 1 x a.txt");
  dir.write("old.toc", "edited");
  dir.write("forced.toc", "edited");
  dir.write("old.mpak", "previous");
  dir.write("photo.mpak", "\x89PNG\r\n\x1a\n" + std::string(40, '\xFF'));
  dir.write("untagged.mpak", "KAPM" + slurp("archives/ui.mpak").substr(4));
  struct Row {
    std::string args;
    int code;
    std::string text;  // found in stdout or stderr, or in `file` when the row names one
    std::string file{};
  };
  const Row rows[] = {
      {"--help", 0, "  7  usage error"},
      {"list tree", 2, "tarnwick-cli: tree is not a file: "},
      {"list count.mpak", 2, "tarnwick-cli: count.mpak: TOC record 1 at offset 0x"},
      {"list photo.mpak", 2,
       "photo.mpak: not an MPAK archive: it starts with 89 50 4E 47 0D 0A 1A 0A (\".PNG....\")\n"},
      {"list untagged.mpak", 0,
       "untagged.mpak: warning: not an MPAK archive: it starts with 4B 41 50 4D"},
      {"toc cut.mpak -o cut.toc", 2, "tarnwick-cli: cut.mpak: header: TOC block size"},
      {"toc ui.mpak -o old.toc", 7, "old.toc exists; use --force to replace it"},
      {"toc ui.mpak -o forced.toc --force", 0,
       "\r\n\r\n00 1 0 readme.txt\r\n01 1 0 textures\\menu\\back.dds\r\n"
       "01 1 0 textures\\font.dds\r\n00 1 0 sounds\\click.wav",
       "forced.toc"},
      {"extract archives/ui.mpak -o old.toc", 7,
       "tarnwick-cli: old.toc is not a folder; choose another output folder with -o DIR\n"},
      {"extract archives/ui.mpak", 7, "tarnwick-cli: ui.mpak is a file, so the entries cannot"},
      {"extract cut.mpak -o out", 2, "cut.mpak: header: TOC block size"},
      {"extract archives/ui.mpak -o out readme.txt *.none", 1, "no entry matches '*.none'"},
      {"verify archives/ui.mpak", 0, "archives/ui.mpak: 4 entries checked, 0 bad\n"},
      {"verify absent.mpak", 2, "tarnwick-cli: cannot open absent.mpak: "},
      {"pack tree -o old.mpak", 7, "old.mpak exists; use --force to replace it"},
      {"pack tree -o tree --force", 7,
       "tarnwick-cli: tree is a folder; name the archive to write\n"},
      {"pack tree -o top.mpak --level 12", 0,
       "Packed 1 entries (1 compressed, 1 in the STOC) into top.mpak ("},
      {"pack tree -o new.mpak --toc bad.toc", 2,
       "library table line 1 (\"00 1 x a.txt\"): STOC field \"x\""}};
  for (const auto& row : rows) {
    auto r = run(row.args);
    EXPECT_EQ(r.code, row.code) << row.args << "\n" << r.err;
    EXPECT_HAS(row.file.empty() ? r.out + r.err : slurp(row.file), row.text) << row.args;
    EXPECT_TRUE(row.code != 2 || r.out.empty()) << row.args << "\n" << r.out;
  }
  EXPECT_EQ(run("pack tree -o new.mpak --level 13").code, 7);  // and writes nothing
  EXPECT_EQ(slurp("old.toc"), "edited");
  EXPECT_EQ(slurp("old.mpak"), "previous");
  EXPECT_FALSE(fs::exists("cut.toc") || fs::exists("new.mpak"));
}

TEST_F(Cli, ListPrintsTheWindowsItemsEveryFieldAsJsonAndWarnsOfDamageThatSparesTheListing) {
  // RAWD at 0x85: the data at 0x89 and 0x8F, the entry without copies at the RAWD tag.
  dir.write("game.mpak",
            buildArchiveBytes(
                {{.path = "data/maps/m01.bin", .stored = "abcdef", .flag = 1, .inStoc = true},
                 {.path = "caf\xE9.txt", .stored = "xy", .copies = 2},
                 {.path = "none", .copies = 0}}));
  EXPECT_EQ(run("list game.mpak"),
            (CliResult{0,
                       "00000089 0000008E 00000006 00000006 01 1 1 data\\maps\\m01.bin\n"
                       "0000008F 00000090 00000002 00000002 00 2 0 caf\xC3\xA9.txt\n"
                       "00000085 00000084 00000000 00000000 00 0 0 none\n",
                       ""}));
  // Records of 34 and 27 bytes, a 17-byte STOC record: STOC at 81, RAWD at 102.
  dir.write("j.mpak",
            buildArchiveBytes(
                {{.path = "dir/a\"b.txt", .stored = "0123456789", .copies = 2, .inStoc = true},
                 {.path = "tab\there", .stored = "z", .flag = 1}}));
  auto r = run("list --json j.mpak");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* field :
       {R"("entryCount": 2)", R"("stocCount": 1)", R"("tocBlockSize": 65)", R"("stocPosition": 81)",
        R"("rawdPosition": 102)", R"("path": "dir/a\"b.txt")", R"("windowsPath": "dir\\a\"b.txt")",
        R"("path": "tab\there")", R"("dataOffsets": [4, 14], "dataPositions": [106, 116])",
        R"("inStoc": true, "stocRecord": 0)", R"("inStoc": false, "stocRecord": null)",
        R"("compressedFlag": 1)", R"("tocIndex": 0)"})
    EXPECT_HAS(r.out, field);
  EXPECT_EQ(r.out.find('\t'), std::string::npos);

  std::string bytes =
      buildArchiveBytes({{.path = "a", .stored = "1"}, {.path = "b", .stored = "2222"}},
                        {{7, "ghost", std::nullopt}});
  dir.write("w.mpak", bytes.substr(0, bytes.size() - 2));
  r = run("list w.mpak");
  EXPECT_EQ(r.code, 1);
  EXPECT_HAS(r.err,
             "w.mpak: warning: TOC record 1 at offset 0x28 (b): copy 1 (4 bytes at offset 0x");
  EXPECT_HAS(r.err, "w.mpak: warning: STOC record 0");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST_F(Cli, PackPacksAsTheTableSaysAndReportsWhatTheFolderAndTheTableSayToEachOther) {
  dir.write("tree/a.txt", "alpha");
  dir.write("tree/sub/b.bin", "beta");
  dir.write("t.toc", "00 2 0 sub\\b.bin\r\n01 1 0 gone.txt");
  auto r = run("pack tree -o new.mpak --toc t.toc");
  EXPECT_EQ(r, (CliResult{0,
                          "Packed 2 entries (1 compressed, 1 in the STOC) into new.mpak (" +
                              std::to_string(fs::file_size("new.mpak")) +
                              " bytes)\nTable lines that name no file: 1\n  01 1 0 gone.txt\n"
                              "Files no table line names (packed compressed, 1 copy, in the "
                              "STOC): 1\n  a.txt\n",
                          ""}));
  r = run("pack tree -o new.mpak --force --level 0");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_HAS(r.err, "no library table given (--toc)");
  EXPECT_HAS(r.out, "Packed 2 entries (2 compressed, 2 in the STOC)");
}

TEST_F(Cli, PackAgainstABaseSaysWhatItKeptAndWhatItCompressedAgainAndRefusesADamagedBase) {
  ASSERT_EQ(run("extract archives/ui.mpak -o ui").code, 0);
  ASSERT_EQ(run("toc archives/ui.mpak -o ui.toc").code, 0);
  dir.write("ui/textures/font.dds", "bold font texture");
  auto r =
      run("pack ui -o archives/ui.mpak --toc ui.toc --base archives/ui.mpak --force --verbose");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_HAS(
      r.out,
      "3 entries kept as they were, 1 compressed again, 0 new, 0 removed\n  kept  readme.txt\n"
      "  kept  textures\\menu\\back.dds\n  kept  sounds\\click.wav\n"
      "  compressed again  textures\\font.dds\n");
  EXPECT_EQ(run("diff archives/ui.mpak ui").out.substr(0, 9), "0 changed");
  dir.write("cut.mpak", slurp("archives/ui.mpak").substr(0, 40));
  EXPECT_EQ(run("pack ui -o new.mpak --toc ui.toc --base cut.mpak"),
            (CliResult{2, "",
                       "tarnwick-cli: cut.mpak: header: TOC block size 145 at offset 0x4 puts the "
                       "STOC block past the end of the file (40 bytes)\n"}));
  EXPECT_FALSE(fs::exists("new.mpak"));
}

TEST_F(Cli, ExtractReplacesExistingFilesOnlyWithOverwrite) {
  dir.write("out/readme.txt", "mine");
  dir.write("out/unrelated.txt", "stays");
  auto r = run("extract archives/ui.mpak -o out");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Extracted 3 of 4 entries (1 skipped) to out\n");
  // The file is named as this system writes paths ("out\\readme.txt" on Windows).
  EXPECT_HAS(r.err, "skipped " + (fs::path("out") / "readme.txt").string() + ": the file exists");
  EXPECT_EQ(slurp("out/readme.txt"), "mine");
  EXPECT_EQ(run("extract archives/ui.mpak -o out --overwrite --quiet"), (CliResult{0, "", ""}));
  EXPECT_EQ(slurp("out/readme.txt"), "read me");
  EXPECT_EQ(slurp("out/unrelated.txt"), "stays");
}

TEST(EntryGlob, MatchesWholePathsWithEitherSeparatorAndCaseIgnored) {
  // "pattern path": patterns are UTF-8, catalogue paths Windows-1252 with "\" separators.
  auto glob = [](std::string_view c) {
    return extract::EntryGlob(c.substr(0, c.find(' '))).matches(c.substr(c.find(' ') + 1));
  };
  for (const char* c :
       {"a\\b.txt a/b.txt", "TEXTURES/Menu/*.DDS textures\\menu\\b.dds", "\xC3\x84* \xE4rger.txt",
        "**/*.dds u\\v\\a.dds", "?.txt a.txt", "a/**/z.txt a\\z.txt"})
    EXPECT_TRUE(glob(c)) << c;
  for (const char* c : {"*.txt a\\b.txt", "?.txt ab.txt", "a/**/z.txt ab\\z.txt", "a a\\b.txt",
                        "*a*a*a*a*a*a*a*a*a*b aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
    EXPECT_FALSE(glob(c)) << c;
}

TEST(EntryGlob, TheFilterLineFindsThePatternAnywhereInThePath) {
  auto holds = [](std::string_view c) {
    return extract::EntryGlob(c.substr(0, c.find(' ')), extract::EntryGlob::Scope::Anywhere)
        .matches(c.substr(c.find(' ') + 1));
  };
  for (const char* c : {"menu ui\\MENU\\b.dds", "/menu/ ui\\menu\\b.dds", "*.lua scripts\\a.lua",
                        "a?.l x\\ab.lua", " any\\path"})
    EXPECT_TRUE(holds(c)) << c;
  for (const char* c : {"/menu menu\\b.dds", "s*init scripts\\x\\init.lua", "ab?.lua ab.lua"})
    EXPECT_FALSE(holds(c)) << c;
}

// Letter case, separators and, for bare names, folders are ignored.
TEST_F(Cli, TexturesMarksEachTexturePresentOrMissing) {
  const std::string z(1, '\0');
  dir.write("ship.mmod",
            z + "textures\\Hull.tga" + z + "deck.TGA" + z + "sail.tga" + z + "textures\\Hull.tga");
  dir.write("t.mpak",
            buildArchiveBytes({stored("TEXTURES/hull.tga", "h"), stored("ships/deck.tga", "d")}));
  EXPECT_EQ(run("textures ship.mmod"),
            (CliResult{0, "textures\\Hull.tga\ndeck.TGA\nsail.tga\n", ""}));
  EXPECT_EQ(run("textures ship.mmod --archive t.mpak"),
            (CliResult{1,
                       "present  textures\\Hull.tga\npresent  deck.TGA  (ships\\deck.tga)\n"
                       "missing  sail.tga\n",
                       "tarnwick-cli: t.mpak lacks 1 of the 3 textures\n"}));
  EXPECT_HAS(run("textures ship.mmod --archive t.mpak --json").out,
             R"({"name": "sail.tga", "entry": null})");
}

TEST_F(Cli, DamagedEntriesFailResizedOnesWarnAndVerifyTellsBadFromDoubtful) {
  // Copy 2 of twin.bin reads ok.txt's "fi".
  const RawEntry twin{.path = "twin.bin", .stored = "ab", .copies = 2, .dataOffsets = {{4, 8}}},
      badDeflate{.path = "bad.bin", .stored = "\x07\xFF\xFF", .unpackedSize = 7, .flag = 1},
      oddSize{.path = "odd.bin", .stored = "odd", .unpackedSize = 5},
      pastEnd{.path = "far.bin", .stored = "far", .dataOffsets = {{0x00100000u}}};
  auto wrongSize = compressed("size.bin", "content"), trailing = compressed("tail.bin", "content");
  wrongSize.unpackedSize = 99;
  trailing.stored += "JUNK";
  dir.write("bad.mpak", buildArchiveBytes({twin, stored("ok.txt", "fine"), badDeflate, wrongSize,
                                           trailing, oddSize, pastEnd, stored("../up.txt", "u")}));
  auto r = run("extract bad.mpak -o out");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Extracted 5 of 8 entries (2 failed, 1 refused) to out\n");
  for (const char* text :
       {"entry 2 'bad.bin'", "not valid DEFLATE data", "entry 7 '../up.txt'", "\"..\" segment",
        "warning: entry 3 'size.bin' (TOC record at 0x", "inflates to 7 bytes, the table says 99"})
    EXPECT_HAS(r.err, text);
  r = run("verify bad.mpak");
  EXPECT_EQ(r.code, 1) << r.err;
  for (const char* text :
       {"entry 0 'twin.bin' (TOC record at 0x14): copy 2 (2 bytes at offset 0x",
        ") differs from copy 1\n", "'odd.bin' (TOC record at 0x",
        "unpacked size (5 bytes) is not its stored size (3 bytes)", "'size.bin' (TOC record at 0x",
        ": warning: the data inflates to 7 bytes, the table says 99\n",
        ": warning: 4 stored bytes follow the end of the DEFLATE data\n"})
    EXPECT_HAS(r.out, text);
  EXPECT_TRUE(r.out.ends_with("bad.mpak: 8 entries checked, 5 bad, 2 warnings\n")) << r.out;
}

TEST_F(Cli, SoundsListsConvertsAndRefusesBanks) {
  dir.write("b.fsb", fsb_tests::buildBank(
                         {}, {{"hit", "abcd", 1, 0x40, 2, 22050}, {"", "xy", 0, fsb::kModeXma}}));
  auto r = run("sounds b.fsb");
  EXPECT_EQ(r.code, 0);
  EXPECT_HAS(r.out, "    0  hit");
  EXPECT_HAS(r.out, "PCM16       2  22050           1    0.000            4\n    1  -");
  EXPECT_HAS(run("sounds b.fsb --json").out, "\"encoding\": \"XMA\"");
  EXPECT_EQ(run("sounds b.fsb -o out").code, 0);
  EXPECT_EQ(filesBelow("out"), (Strings{"b_1.xma", "hit.wav"}));
  dir.write("cut.fsb", slurp("b.fsb").substr(0, 120));
  r = run("sounds cut.fsb");
  EXPECT_EQ(r.code, 2);
  EXPECT_HAS(r.err, "cut.fsb: the bank is truncated");
}

TEST_F(Cli, RoundTripAndDiffSayWhatWouldBeLostAndWhatChanged) {
  auto mixed = compressed("textures/a.dds", std::string(3000, 'a'));
  mixed.copies = 2;
  mixed.inStoc = true;
  dir.write("mixed.mpak",
            buildArchiveBytes(
                {mixed, stored("readme.txt", "read me"), {.path = "empty.bin", .copies = 0}}));
  dir.write("unsafe.mpak", buildArchiveBytes({stored("a.txt", "a"), stored("../up.txt", "up")}));
  dir.write("twice.mpak", buildArchiveBytes({stored("a.txt", "one"), stored("a.txt", "two")}));
  const std::tuple<std::string, int, std::string> rows[] = {
      {"roundtrip mixed.mpak", 0, "Round trip of mixed.mpak: 3 entries identical\n"},
      {"roundtrip unsafe.mpak", 1, "entry 1 '../up.txt' (TOC record at 0x"},
      {"roundtrip twice.mpak", 1, "twice.mpak has 2 entries, its repack 1"}};
  for (const auto& [args, code, text] : rows) {
    auto r = run(args);
    EXPECT_EQ(r.code, code) << r;
    EXPECT_HAS(r.out, text) << args;
  }
  ASSERT_EQ(run("extract archives/ui.mpak -o tree").code, 0);
  EXPECT_EQ(run("diff archives/ui.mpak tree").out,
            "0 changed (0 added, 0 removed, 0 modified), 4 unchanged\n");
  dir.write("tree/textures/font.dds", "edited");
  dir.write("tree/extra.txt", "new");
  fs::remove(dir.path() / "tree/readme.txt");
  EXPECT_EQ(run("diff archives/ui.mpak tree"),
            (CliResult{1,
                       "modified  textures/font.dds\nadded     extra.txt\nremoved   readme.txt\n"
                       "3 changed (1 added, 1 removed, 1 modified), 2 unchanged\n",
                       ""}));
  EXPECT_EQ(run("diff archives/ui.mpak tree --json").out,
            "{\"added\": [\"extra.txt\"], \"removed\": [\"readme.txt\"], \"modified\": "
            "[\"textures/font.dds\"], \"unreadable\": [], \"unchanged\": 2}\n");
}

// Damaged copies of each input through every verb: exit codes, messages, nothing outside.
constexpr int kDamagesPerFile = 500;

// Bytes flipped, cut short, or a 16- or 32-bit field spliced with an extreme or random value.
std::string damaged(std::string bytes, std::mt19937& random) {
  const auto at = [&](std::size_t size) { return size ? random() % size : 0; };
  switch (random() % 3) {
    case 0:
      for (int i = 0, n = 1 + static_cast<int>(random() % 8); i < n && !bytes.empty(); ++i)
        bytes[at(bytes.size())] ^= static_cast<char>(1 + random() % 255);
      break;
    case 1:
      bytes.resize(at(bytes.size()));
      break;
    default: {
      const std::uint32_t values[] = {
          0, 1, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, static_cast<std::uint32_t>(random())};
      const std::uint32_t value = values[random() % 7];
      const std::size_t width = random() % 2 ? 2 : 4;
      if (bytes.size() >= width) {
        const std::size_t p = at(bytes.size() - width + 1);
        for (std::size_t i = 0; i < width; ++i)
          bytes[p + i] = static_cast<char>(value >> (8 * i));
      }
    }
  }
  return bytes;
}

TEST_F(Cli, DamagedInputsNeverCrashHangOrWriteOutsideTheFolderAndEveryFailureSaysWhy) {
  const auto bank = samples::makeBank(samples::sampleTones());
  std::string model = "MMOD";
  for (const char* name : {"skin.tga", "eyes.tga", "skin.tga", "a\\b\\c.tga"})
    model += std::string(40, '\x01') + '\0' + name;
  const std::pair<std::string, Strings> inputs[] = {
      {slurp(TARNWICK_SAMPLE_ARCHIVE), {"list in", "verify in", "extract in -o out -q"}},
      {std::string(bank.begin(), bank.end()), {"sounds in", "sounds in -o out"}},
      {model, {"textures in --archive sample"}}};
  fs::copy_file(TARNWICK_SAMPLE_ARCHIVE, dir.path() / "sample");
  std::mt19937 random(20261206);
  std::size_t runs = 0, failures = 0;
  for (const auto& [good, commands] : inputs) {
    for (int n = 0; n < kDamagesPerFile; ++n) {
      dir.write("in", damaged(good, random));
      for (const auto& args : commands) {
        const auto [code, out, err] = run(args);
        ++runs;
        failures += code != 0;
        ASSERT_TRUE(code == 0 || code == 1 || code == 2) << args << " gave " << code;
        // A failure says so on stderr; warnings (exit 1) may be verify's report on stdout.
        ASSERT_TRUE(code != 2 || err.starts_with("tarnwick-cli: ")) << args << err;
        ASSERT_TRUE(code != 1 || !(err + out).empty()) << args;
      }
      fs::remove_all("out");  // and nothing else but what was there
      ASSERT_EQ(filesBelow("."), (Strings{"archives/ui.mpak", "in", "sample"}));
      ASSERT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 3);
    }
  }
  EXPECT_EQ(runs, kDamagesPerFile * 6u);
  EXPECT_GT(failures, runs / 10) << "the damage should make many commands fail";
}

}  // namespace
