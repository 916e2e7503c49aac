// Property: a damaged entry is reported, never written, and never stops the others. Data
// that is not DEFLATE, inflates to another size than the catalogue says, lies past the
// end of the archive or claims an unpacked size its data cannot hold leaves no file (and
// no temporary file), gets a log line with the reason, is left out of " files unzipped."
// and " files extracted.", and makes the command end with a message box.
#include <gtest/gtest.h>

#include <fstream>

#include "extract/extract_command.h"
#include "extract/extractor.h"
#include "extract_fixture.h"
#include "util/byte_reader.h"

namespace extract_tests {
namespace {

using extract_tests::PrintTo;

using testing_support::RawEntry;
using testing_support::slurp;

const std::string kContent = "the entry's real content, long enough to compress a little";

RawEntry notDeflate() {
  RawEntry e = compressed("bad.bin", kContent);
  e.stored = std::string("\x07\xFF\xFF\xFF\x00\x01", 6);  // block type 3 does not exist
  return e;
}
RawEntry unpackedTooLarge() {
  RawEntry e = compressed("bad.bin", kContent);
  e.unpackedSize = static_cast<std::uint32_t>(kContent.size() + 1);
  return e;
}
RawEntry unpackedTooSmall() {
  RawEntry e = compressed("bad.bin", kContent);
  e.unpackedSize = static_cast<std::uint32_t>(kContent.size() - 1);
  return e;
}
RawEntry truncatedStream() {
  RawEntry e = compressed("bad.bin", kContent);
  e.stored.resize(e.stored.size() / 2);
  return e;
}
RawEntry compressedPastTheEnd() {
  RawEntry e = compressed("bad.bin", kContent);
  e.dataOffsets = std::vector<std::uint32_t>{0x7FFFFF00u};
  return e;
}
RawEntry storedPastTheEnd() {
  RawEntry e = stored("bad.bin", kContent);
  e.storedSizeField = 0x00FFFFFFu;  // the record claims far more than the file holds
  return e;
}
RawEntry offsetAtTheVeryEnd() {
  RawEntry e = stored("bad.bin", kContent);
  e.dataOffsets = std::vector<std::uint32_t>{0xFFFFFFFFu};
  return e;
}
RawEntry absurdUnpackedSize() {
  RawEntry e = compressed("bad.bin", kContent);
  e.unpackedSize = 0xFFFFFFFFu;  // 4 GiB from a few dozen bytes: refused before allocating
  return e;
}

enum class Reason { AsGiven, PastTheEnd, UnpackedTooLarge };

struct DamageCase {
  const char* name;
  RawEntry entry;
  std::string reason;  // the engine's reason, for Reason::AsGiven
  bool inflated;       // reported under its "Unzipping" line
  Reason kind = Reason::AsGiven;
};

class DamagedEntry : public ::testing::Test,
                     public ProgramFolder,
                     public ::testing::WithParamInterface<DamageCase> {
 protected:
  void loadWithNeighbours() {
    load("ui.mpak", {compressed("first/good.txt", "good one"), GetParam().entry,
                     stored("last.txt", "good two")});
    window.selectAll();
  }
  // The reason the entry at catalogue index 1 should get.
  std::string reason() const {
    const auto& bad = catalogue.entries()[1];
    const auto archiveBytes = fs::file_size(state.currentArchivePath);
    switch (GetParam().kind) {
      case Reason::PastTheEnd:
        return "its data (" + std::to_string(bad.storedSize) + " bytes at offset " +
               util::hexOffset(bad.dataPosition) + ") runs past the end of the archive (" +
               std::to_string(archiveBytes) + " bytes)";
      case Reason::UnpackedTooLarge:
        return "its unpacked size (" + std::to_string(bad.unpackedSize) +
               " bytes) is more than its " + std::to_string(bad.storedSize) +
               " bytes of DEFLATE data can hold (the entry is damaged)";
      case Reason::AsGiven:
        break;
    }
    return GetParam().reason;
  }
};

TEST_P(DamagedEntry, EngineReportsTheReasonAndWritesTheOthers) {
  loadWithNeighbours();
  auto data = testing_support::toBytes(slurp(state.currentArchivePath));
  fs::create_directories(root());

  auto summary =
      extract::extractEntries(data, catalogue.index, extract::everyEntry(catalogue.index), root());

  EXPECT_EQ(summary.written, 2u);
  EXPECT_EQ(summary.inflatedWritten, 1u);
  ASSERT_EQ(summary.failed, 1u);
  ASSERT_EQ(summary.problems.size(), 1u);
  EXPECT_EQ(summary.problems[0].entryIndex, 1u);
  EXPECT_EQ(summary.problems[0].outcome, extract::EntryOutcome::Failed);
  EXPECT_EQ(summary.problems[0].reason, reason());
  EXPECT_EQ(summary.problems[0].inflated, GetParam().inflated);
  EXPECT_EQ(filesBelow(root()), (std::vector<std::string>{"first/good.txt", "last.txt"}));
}

TEST_P(DamagedEntry, CommandLogsItCountsItAndEndsWithAMessage) {
  loadWithNeighbours();

  extract::butMassExtract_Click(shell, catalogue, {});

  EXPECT_EQ(filesBelow(root()), (std::vector<std::string>{"first/good.txt", "last.txt"}));
  EXPECT_EQ(slurp(root() / "first" / "good.txt"), "good one");
  EXPECT_EQ(slurp(root() / "last.txt"), "good two");

  std::vector<std::string> expected = {"Extracting 1\\3: first\\good.txt",
                                       "Extracting 2\\3: \\bad.bin"};
  if (!GetParam().inflated)
    expected.push_back("Failed: " + reason() + ".");
  expected.push_back("Extracting 3\\3: \\last.txt");
  expected.push_back("Unzipping 1\\" + std::string(GetParam().inflated ? "2" : "1") +
                     ": ui.mpak+first+good.txt.gz");
  if (GetParam().inflated) {
    expected.push_back("Unzipping 2\\2: ui.mpak+bad.bin.gz");
    expected.push_back("Failed: " + reason() + ".");
  }
  expected.insert(expected.end(), {"1 files unzipped.", "2 files extracted.", "1 entries failed.",
                                   "Extraction complete."});
  EXPECT_EQ(logLines(), expected);

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, app::Icon::Exclamation);
  EXPECT_EQ(window.messages[0].text,
            "1 entries could not be extracted.\r\n\r\nThe log lists each one with the reason.");
  EXPECT_FALSE(window.busy);
}

TEST_P(DamagedEntry, LeavesAFileFromAnEarlierRunAsItWas) {
  loadWithNeighbours();
  home.write("ExtractedFiles/ui.mpak/bad.bin", "from an earlier, good archive");

  extract::butMassExtract_Click(shell, catalogue, {});

  EXPECT_EQ(slurp(root() / "bad.bin"), "from an earlier, good archive");
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedEntry,
    ::testing::Values(
        DamageCase{"NotDeflate", notDeflate(), "the data is not valid DEFLATE data", true},
        DamageCase{"TruncatedStream", truncatedStream(), "the data is not valid DEFLATE data",
                   true},
        DamageCase{"UnpackedSizeTooLarge", unpackedTooLarge(),
                   "the data inflates to fewer bytes than the unpacked size", true},
        DamageCase{"UnpackedSizeTooSmall", unpackedTooSmall(),
                   "the data inflates to more bytes than the unpacked size", true},
        DamageCase{"CompressedPastTheEnd", compressedPastTheEnd(), "", false, Reason::PastTheEnd},
        DamageCase{"StoredPastTheEnd", storedPastTheEnd(), "", false, Reason::PastTheEnd},
        DamageCase{"OffsetAtTheVeryEnd", offsetAtTheVeryEnd(), "", false, Reason::PastTheEnd},
        DamageCase{"AbsurdUnpackedSize", absurdUnpackedSize(), "", false,
                   Reason::UnpackedTooLarge}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace extract_tests
