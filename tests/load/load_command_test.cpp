// Opening an archive: pane, items, labels, library table, the 10001 limit, failures in the trap.
#include "app/commands/load.h"

#include "mpak/library_toc.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/command_harness.h"

namespace {

using namespace testing_support;

struct LoadFixture : ::testing::Test, CommandHarness {
  fs::path archive(const std::string& name, const std::string& bytes) {
    return home.write("in/" + name, bytes);
  }
  void open(const fs::path& path) {
    window.fileAnswers.push_back(path.string());
    app::butSelectMPAKfile_Click(context);
  }
  std::string library(const std::string& name) {
    return slurp(home.path() / "Library" / (name + ".toc"));
  }
  // The trap's message names `mention`; nothing is listed, loaded or written for `name`.
  void expectFailed(const std::string& name, const std::string& mention) {
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
    EXPECT_TRUE(window.messages[0].text.starts_with("ProcessLibrary error.\r\n\r\n"));
    EXPECT_HAS(window.messages[0].text, mention);
    EXPECT_TRUE(window.items.empty());
    EXPECT_EQ(window.text("Label5"), "");
    EXPECT_EQ(window.text("Label2"), "0 Items");
    EXPECT_FALSE(fs::exists(home.path() / "Library" / (name + ".toc")));
    EXPECT_FALSE(session.archive.loaded());
    EXPECT_FALSE(window.busy);
    window.messages.clear();
  }
};

std::vector<RawEntry> numberedEntries(int count) {
  std::vector<RawEntry> entries;
  for (int i = 0; i < count; ++i)
    entries.push_back({.path = "f" + std::to_string(i), .stored = "x"});
  return entries;
}

// An edited library table and the longest item are kept across loads.
TEST_F(LoadFixture, PositionLinesItemsLabelsStocLinesAndTableAndWhatIsKeptAcrossLoads) {
  open(archive("empty.mpak", buildArchiveBytes({})));
  EXPECT_EQ(window.messages, Messages{});
  EXPECT_EQ(window.log, "TOC = x10, 0 entries\r\nSTOC = x14, 0 entries\r\nRAWD = x18\r\n\r\n");
  EXPECT_EQ(state.logText, window.log);
  EXPECT_EQ(window.text("Label2"), "0 Items");
  EXPECT_EQ(library("empty.mpak"), mpak::libraryTocText({}));

  auto entries = numberedEntries(43);
  entries[0] = stored("data/maps/m01.bin", std::string(0xD4, 'm'));
  entries[0].unpackedSize = 0x200;
  entries[0].flag = 1;
  entries[1].path = "caf\xE9.txt";
  entries[7].inStoc = entries[42].inStoc = true;
  entries[42].copies = 2;
  open(archive("ui.mpak", buildArchiveBytes(entries, {{.tocIndex = 1234, .path = "far.fsb"}})));
  ASSERT_EQ(window.messages, Messages{});
  ASSERT_EQ(window.items.size(), 43u);
  EXPECT_TRUE(window.items[0].ends_with(" 000000D4 00000200 01 1 0 data\\maps\\m01.bin"));
  EXPECT_TRUE(window.items[7].ends_with(" 00000001 00000001 00 1 1 f7"));
  EXPECT_TRUE(window.items[42].ends_with(" 00 2 1 f42"));
  EXPECT_EQ(window.text("Label2"), "43 Items");
  EXPECT_TRUE(window.log.starts_with("TOC = x10, 43 entries\r\nSTOC = x"));
  EXPECT_TRUE(window.log.ends_with("\r\n\r\nSTOC Data:\r\n007 f7\r\n042 f42\r\n1234 far.fsb\r\n"))
      << window.log;
  EXPECT_TRUE(window.caretEnd);
  const auto table = library("ui.mpak");
  EXPECT_TRUE(table.starts_with(mpak::libraryTocText({}) +
                                "\r\n01 1 0 data\\maps\\m01.bin\r\n00 1 0 caf\xE9.txt\r\n"));
  EXPECT_TRUE(table.ends_with("\r\n00 2 1 f42"));

  window.fileAnswers.push_back(std::nullopt);  // a cancelled chooser keeps the archive
  app::butSelectMPAKfile_Click(context);
  EXPECT_EQ(window.text("Label5"), "ui.mpak");
  EXPECT_TRUE(session.archive.loaded());
  ASSERT_EQ(window.chooserCalls.size(), 3u);
  EXPECT_EQ(window.chooserCalls[2].title, "Select File [.mpak]");
  EXPECT_EQ(window.chooserCalls[2].filter, ".mpak type files (*.mpak)|*.mpak");

  home.write("Library/ui.mpak.toc", "01 3 1 a\\b.txt");
  const int narrow = window.horizontalExtent;
  open(archive("long.mpak", buildArchiveBytes({{.path = std::string(200, 'p'), .stored = "1"}})));
  const int wide = window.horizontalExtent;
  EXPECT_GT(wide, narrow);
  open(home.path() / "in/ui.mpak");
  EXPECT_EQ(library("ui.mpak"), "01 3 1 a\\b.txt");
  EXPECT_EQ(window.items.size(), 43u);
  EXPECT_EQ(window.horizontalExtent, wide);
}

TEST_F(LoadFixture, TenThousandAndOneEntriesOrStocIndicesLoadOneMoreFails) {
  open(archive("full.mpak", buildArchiveBytes(numberedEntries(10001))));
  ASSERT_EQ(window.messages, Messages{});
  EXPECT_EQ(window.text("Label2"), "10001 Items");
  open(archive("over.mpak", buildArchiveBytes(numberedEntries(10002))));
  expectFailed("over.mpak", "\r\n\r\nSubscript out of range");
  EXPECT_TRUE(window.log.starts_with("TOC = x10, 10002 entries\r\n"))
      << "the pane keeps what was shown";
  open(archive("stoc.mpak", buildArchiveBytes({{.path = "a", .stored = "1"}},
                                              {{.tocIndex = 10001, .path = "a"}})));
  expectFailed("stoc.mpak", "\r\n\r\nSubscript out of range");
}

// A cut header fails before the positions are shown, a bad record after; both clear the archive.
TEST_F(LoadFixture, DamagedArchivesEndInTheTrapWithNothingListed) {
  const std::vector<RawEntry> two = {{.path = "a/b.txt", .stored = "hello"},
                                     {.path = "c.dds", .stored = "abc"}};
  const std::pair<std::string, const char*> rows[] = {
      {"MPAK\x04", "header"},
      {buildArchiveBytes(two, {}, {.entryCount = 500}), "TOC record 2 at offset"},
      {"", "missing.mpak"}};  // no such file
  for (const auto& [bytes, mention] : rows) {
    SCOPED_TRACE(mention);
    open(archive("good.mpak", buildArchiveBytes(two)));
    ASSERT_EQ(window.items.size(), 2u);
    const bool missing = bytes.empty();
    open(missing ? home.path() / "in/missing.mpak" : archive("bad.mpak", bytes));
    expectFailed(missing ? "missing.mpak" : "bad.mpak", mention);
  }
}

// A file of another kind is named as such first; the archive loaded before stays as it was.
TEST_F(LoadFixture, AFileThatIsNoArchiveIsRefusedAndTheLoadedArchiveStays) {
  open(archive("good.mpak", buildArchiveBytes({{.path = "a/b.txt", .stored = "hello"}})));
  const auto items = window.items;
  for (const auto& [name, bytes, start] :
       {std::tuple{"notes.zip", std::string("PK\x03\x04\x14\0\0\0\x08\0", 10),
                   "notes.zip is not an MPAK archive: it starts with 50 4B 03 04 14 00 00 00 "
                   "(\"PK......\")"},
        std::tuple{"empty.mpak", std::string(),
                   "empty.mpak is not an MPAK archive: the file is empty"}}) {
    SCOPED_TRACE(name);
    const auto log = window.log;
    open(archive(name, bytes));
    EXPECT_EQ(
        window.messages,
        (Messages{{app::Icon::Exclamation, std::string("ProcessLibrary error.\r\n\r\n") + start}}));
    window.messages.clear();
    EXPECT_EQ(window.log, log + start + "\r\n");
    EXPECT_EQ(window.items, items);
    EXPECT_EQ(window.text("Label5"), "good.mpak");
    EXPECT_EQ(window.text("Label2"), "1 Items");
    EXPECT_EQ(session.archive.fileName, "good.mpak");
    EXPECT_EQ(session.archive.catalogue.entries().size(), 1u);
    EXPECT_FALSE(fs::exists(home.path() / "Library" / (std::string(name) + ".toc")));
  }
}

// Entries past the end (cut short or far offsets) are listed, then counted after the load log.
TEST_F(LoadFixture, EntriesPastTheEndOfTheFileAreWarnedAboutAfterTheLoadLog) {
  const std::vector<RawEntry> three = {{.path = "a.txt", .stored = "hello"},
                                       {.path = "b.txt", .stored = "abc"},
                                       {.path = "c.txt", .stored = "xyz", .inStoc = true}};
  const auto good = buildArchiveBytes(three);
  open(archive("good.mpak", good));
  EXPECT_EQ(window.log.find("Warning"), std::string::npos);
  const auto cut = good.substr(0, good.size() - 4);
  open(archive("cut.mpak", cut));
  ASSERT_EQ(window.messages, Messages{});
  EXPECT_EQ(window.items.size(), 3u);
  const std::string warning = "Warning: 2 entries point past the end of the file (" +
                              std::to_string(cut.size()) +
                              " bytes); the archive is cut short or damaged and extracting them "
                              "will fail.\r\n";
  EXPECT_TRUE(window.log.ends_with("STOC Data:\r\n002 c.txt\r\n" + warning)) << window.log;
  EXPECT_EQ(state.logText, window.log);
  auto far = three;
  far[0].dataOffsets = std::vector<std::uint32_t>{0x7FFFFFF0};
  far[2].inStoc = false;
  open(archive("far.mpak", buildArchiveBytes(far)));
  EXPECT_HAS(window.log, "\r\n\r\nWarning: 1 entry points past the end of the file (");
  EXPECT_TRUE(window.log.ends_with("extracting it will fail.\r\n")) << window.log;
}

}  // namespace
