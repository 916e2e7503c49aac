// Opening an archive: the exact log pane, list items, labels and library table the
// window shows; the 10001-entry limit; the longest item kept across loads; an edited
// library table kept on reload; and damaged archives ending in the trap with nothing
// listed and no table written.
#include "app/commands/load.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/startup.h"
#include "support/archive_builder.h"
#include "support/fake_window.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::buildArchive;
using testing_support::buildArchiveBytes;
using testing_support::FakeSettings;
using testing_support::FakeWindow;
using testing_support::RawEntry;
using testing_support::RawStoc;
using testing_support::slurp;
using testing_support::TempDir;

namespace {

const std::string kTocHeader =
    "--Comment lines start with double (--) dashes\r\n"
    "--Field 1: 00=file is not compressed, 01=file is compressed.\r\n"
    "--Field 2: # of copies of file packed in raw data (RAWD) area. Probably also # of copies of "
    "file "
    "maintained in memory by the game.\r\n"
    "--Field 3: 1=file is a member of the sub-table of contents (STOC).\r\n"
    "--Field 4: File path.\r\n"
    "--It is possible to add new file references to this table if you wish.\r\n"
    "--However, Tarnwick will automatically add new files to the .MPAK. By default, they will be "
    "compressed (01), 1 copy.\r\n";

struct LoadFixture : ::testing::Test {
  TempDir home;
  FakeWindow window;
  FakeSettings settings;
  app::AppState state;
  app::Shell shell{window, state};
  app::Session session;
  app::CommandContext context{shell, settings, session};

  LoadFixture() { app::Startup(window, state, home.str()); }

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
  bool libraryExists(const std::string& name) {
    return fs::exists(home.path() / "Library" / (name + ".toc"));
  }
};

std::vector<RawEntry> numberedEntries(int count, const std::string& prefix = "f") {
  std::vector<RawEntry> entries;
  entries.reserve(count);
  for (int i = 0; i < count; ++i)
    entries.push_back({.path = prefix + std::to_string(i), .stored = "x"});
  return entries;
}

TEST_F(LoadFixture, EmptyArchiveShowsThreePositionLinesAndWritesTheCommentBlock) {
  open(archive("empty.mpak", buildArchiveBytes({})));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.log, "TOC = x10, 0 entries\r\nSTOC = x14, 0 entries\r\nRAWD = x18\r\n\r\n");
  EXPECT_EQ(state.logText, window.log);
  EXPECT_TRUE(window.items.empty());
  EXPECT_EQ(window.text("Label2"), "0 Items");
  EXPECT_EQ(window.text("Label5"), "empty.mpak");
  EXPECT_EQ(library("empty.mpak"), kTocHeader);
  EXPECT_EQ(session.archive.path, (home.path() / "in/empty.mpak").string());
}

TEST_F(LoadFixture, ItemsLabelsStocLinesAndTableOfASmallArchive) {
  auto entries = numberedEntries(43);
  entries[0] = {.path = "data/maps/m01.bin",
                .stored = std::string(0xD4, 'm'),
                .unpackedSize = 0x200,
                .flag = 1};
  entries[7].inStoc = true;
  entries[42].copies = 2;
  entries[42].inStoc = true;
  auto built = buildArchive(entries, {{.tocIndex = 1234, .path = "sound/far.fsb"}});
  open(archive("ui.mpak", built.bytes));
  ASSERT_TRUE(window.messages.empty()) << window.messages[0].text;

  ASSERT_EQ(window.items.size(), 43u);
  char expected[128];
  std::snprintf(expected, sizeof expected,
                "%08llX %08llX 000000D4 00000200 01 1 0 data\\maps\\m01.bin",
                static_cast<unsigned long long>(built.dataPositions[0]),
                static_cast<unsigned long long>(built.dataPositions[0] + 0xD4 - 1));
  EXPECT_EQ(window.items[0], expected);
  EXPECT_TRUE(window.items[7].ends_with(" 00000001 00000001 00 1 1 f7"));
  EXPECT_TRUE(window.items[42].ends_with(" 00 2 1 f42"));
  EXPECT_EQ(window.text("Label2"), "43 Items");

  const std::string stocLines = "STOC Data:\r\n007 f7\r\n042 f42\r\n1234 sound/far.fsb\r\n";
  EXPECT_TRUE(window.log.ends_with("\r\n\r\n" + stocLines)) << window.log;
  EXPECT_TRUE(window.log.starts_with("TOC = x10, 43 entries\r\nSTOC = x"));
  EXPECT_TRUE(window.caretEnd);

  auto table = library("ui.mpak");
  EXPECT_TRUE(table.starts_with(kTocHeader + "\r\n01 1 0 data\\maps\\m01.bin\r\n00 1 0 f1\r\n"));
  EXPECT_TRUE(table.ends_with("\r\n00 2 1 f42"));
  EXPECT_DOUBLE_EQ(window.progress, 3495);
  EXPECT_FALSE(window.busy);
  EXPECT_EQ(session.archive.catalogue.entries().size(), 43u);
}

TEST_F(LoadFixture, ListItemForAKnownDataPosition) {
  auto probe = buildArchive({{.path = "a.bin", .stored = std::string(16, 'q')}});
  auto offset = static_cast<std::uint32_t>(0x1A2B - probe.rawdPosition);
  auto bytes = buildArchiveBytes(
      {{.path = "a.bin", .stored = std::string(16, 'q'), .dataOffsets = {{offset}}}});
  open(archive("pos.mpak", bytes));
  ASSERT_EQ(window.items.size(), 1u);
  EXPECT_TRUE(window.items[0].starts_with("00001A2B 00001A3A 00000010")) << window.items[0];
}

TEST_F(LoadFixture, EditedLibraryTableIsKeptOnReload) {
  auto path = archive("data.mpak", buildArchiveBytes({{.path = "a/b.txt", .stored = "hello"}}));
  open(path);
  EXPECT_EQ(library("data.mpak"), kTocHeader + "\r\n00 1 0 a\\b.txt");
  home.write("Library/data.mpak.toc", "01 3 1 a\\b.txt");
  open(path);
  EXPECT_EQ(library("data.mpak"), "01 3 1 a\\b.txt");
  EXPECT_EQ(window.items.size(), 1u);
}

TEST_F(LoadFixture, TenThousandAndOneEntriesLoadOneMoreFails) {
  open(archive("full.mpak", buildArchiveBytes(numberedEntries(10001))));
  ASSERT_TRUE(window.messages.empty());
  EXPECT_EQ(window.items.size(), 10001u);
  EXPECT_EQ(window.text("Label2"), "10001 Items");

  open(archive("over.mpak", buildArchiveBytes(numberedEntries(10002))));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
  EXPECT_EQ(window.messages[0].text, "ProcessLibrary error.\r\n\r\nSubscript out of range");
  EXPECT_EQ(window.text("Label5"), "");
  EXPECT_TRUE(window.items.empty());
  EXPECT_EQ(window.text("Label2"), "0 Items");
  EXPECT_FALSE(libraryExists("over.mpak"));
  EXPECT_FALSE(session.archive.loaded());
  EXPECT_TRUE(session.archive.catalogue.entries().empty());
  EXPECT_TRUE(window.log.starts_with("TOC = x10, 10002 entries\r\n"))
      << "the pane keeps what was shown";
}

TEST_F(LoadFixture, StocIndexBeyondTheSlotsFails) {
  open(archive("stoc.mpak", buildArchiveBytes({{.path = "a", .stored = "1"}},
                                              {{.tocIndex = 10001, .path = "a"}})));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "ProcessLibrary error.\r\n\r\nSubscript out of range");
  EXPECT_FALSE(libraryExists("stoc.mpak"));
}

TEST_F(LoadFixture, LongestItemIsKeptAcrossLoads) {
  open(archive("long.mpak", buildArchiveBytes({{.path = std::string(200, 'p'), .stored = "1"}})));
  const int wide = window.horizontalExtent;
  EXPECT_EQ(wide, static_cast<int>(43 + 200) * 90 / 15 + 130);
  open(archive("short.mpak", buildArchiveBytes({{.path = "s", .stored = "1"}})));
  EXPECT_EQ(window.horizontalExtent, wide);
  EXPECT_EQ(state.longestItemLength, 243);
}

TEST_F(LoadFixture, DamagedArchivesEndInTheTrapWithNothingListed) {
  auto good =
      buildArchive({{.path = "a/b.txt", .stored = "hello"}, {.path = "c.dds", .stored = "abc"}});
  // Block sizes that leave the header's positions inside the cut file, so the walk
  // reaches the path that runs past the end.
  auto small =
      buildArchive({{.path = "a/b.txt", .stored = "hello"}, {.path = "c.dds", .stored = "abc"}}, {},
                   {.tocBlockSize = 4, .stocBlockSize = 4});
  std::string truncatedPath = small.bytes.substr(0, small.recordOffsets[1] + 14);
  std::string countsTooLarge = good.bytes;
  testing_support::storeU16(countsTooLarge, 12, 500);
  std::string absurdBlock = good.bytes;
  testing_support::storeU32(absurdBlock, 4, 0xFFFFFFF0u);
  struct Row {
    const char* name;
    std::string bytes;
    const char* mustMention;
  } rows[] = {
      {"short.mpak", "MPAK\x04", "header"},
      {"cut.mpak", truncatedPath, "TOC record 1"},
      {"count.mpak", countsTooLarge, "TOC record"},
      {"block.mpak", absurdBlock, "TOC block size"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // A good archive first, so the failure visibly clears it.
    open(archive("good.mpak", good.bytes));
    ASSERT_EQ(window.items.size(), 2u);
    window.messages.clear();
    open(archive(row.name, row.bytes));
    ASSERT_EQ(window.messages.size(), 1u);
    const auto& text = window.messages[0].text;
    EXPECT_TRUE(text.starts_with("ProcessLibrary error.\r\n\r\n")) << text;
    EXPECT_NE(text.find(row.mustMention), std::string::npos) << text;
    EXPECT_TRUE(window.items.empty());
    EXPECT_EQ(window.text("Label5"), "");
    EXPECT_EQ(window.text("Label2"), "0 Items");
    EXPECT_FALSE(libraryExists(row.name));
    EXPECT_FALSE(window.busy);
  }
}

TEST_F(LoadFixture, MissingFileAndCancelledChooser) {
  open(archive("kept.mpak", buildArchiveBytes({})));
  window.fileAnswers.push_back(std::nullopt);
  app::butSelectMPAKfile_Click(context);
  EXPECT_EQ(window.text("Label5"), "kept.mpak");
  EXPECT_EQ(session.archive.fileName, "kept.mpak");
  EXPECT_TRUE(window.messages.empty());
  ASSERT_EQ(window.chooserCalls.size(), 2u);
  EXPECT_EQ(window.chooserCalls[1].title, "Select File [.mpak]");
  EXPECT_EQ(window.chooserCalls[1].filter, ".mpak type files (*.mpak)|*.mpak");

  open(home.path() / "in/missing.mpak");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(window.messages[0].text.starts_with("ProcessLibrary error.\r\n\r\n"));
  EXPECT_NE(window.messages[0].text.find("missing.mpak"), std::string::npos);
  EXPECT_EQ(window.text("Label5"), "");
}

TEST_F(LoadFixture, CommandLineArchiveOpensLikeAChosenOne) {
  auto path = archive("ui.mpak", buildArchiveBytes({{.path = "font.dat", .stored = "f"}}));
  app::openArchive(context, path.string());
  EXPECT_EQ(window.text("Label5"), "ui.mpak");
  EXPECT_EQ(window.items.size(), 1u);
  EXPECT_TRUE(window.chooserCalls.empty());
}

}  // namespace
