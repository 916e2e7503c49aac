// Property: a damaged entry is reported and never written, and never stops the other entries.
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(DamagedEntry, IsLoggedWithItsReasonWhileTheOthersAreExtracted) {
  const std::string content = "the entry's real content, long enough to compress a little";
  auto damaged = [&](bool packed, auto change) {
    RawEntry e = packed ? compressed("bad.bin", content) : stored("bad.bin", content);
    change(e);
    return e;
  };
  const auto size = static_cast<std::uint32_t>(content.size());
  struct Row {
    const char* name;
    RawEntry entry;
    std::string reason;  // found in the "Failed: " line
    bool inflated;       // reported under its "Unzipping" line
  } rows[] = {
      {"NotDeflate", damaged(true, [](RawEntry& e) { e.stored = "\x07\xFF\xFF\xFF"; }),
       "the data is not valid DEFLATE data", true},
      {"Truncated", damaged(true, [](RawEntry& e) { e.stored.resize(e.stored.size() / 2); }),
       "the data is not valid DEFLATE data", true},
      {"UnpackedTooLarge", damaged(true, [&](RawEntry& e) { e.unpackedSize = size + 1; }),
       "the data inflates to fewer bytes than the unpacked size", true},
      {"UnpackedTooSmall", damaged(true, [&](RawEntry& e) { e.unpackedSize = size - 1; }),
       "the data inflates to more bytes than the unpacked size", true},
      {"CompressedPastTheEnd",
       damaged(true, [](RawEntry& e) { e.dataOffsets = std::vector<std::uint32_t>{0x7FFFFF00}; }),
       "runs past the end of the archive", false},
      {"StoredPastTheEnd", damaged(false, [](RawEntry& e) { e.storedSizeField = 0xFFFFFF; }),
       "runs past the end of the archive", false},
      {"AbsurdUnpackedSize", damaged(true, [](RawEntry& e) { e.unpackedSize = 0xFFFFFFFF; }),
       "bytes of DEFLATE data can hold (the entry is damaged)", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramFolder p;
    p.load("ui.mpak", {compressed("first/good.txt", "good one"), row.entry, stored("z.txt", "two")},
           {0, 1, 2});
    p.home.write("ExtractedFiles/ui.mpak/bad.bin", "from an earlier run");

    p.extract();

    EXPECT_EQ(filesBelow(p.root()), (Strings{"bad.bin", "first/good.txt", "z.txt"}));
    EXPECT_EQ(slurp(p.root() / "bad.bin"), "from an earlier run");
    EXPECT_EQ(slurp(p.root() / "first" / "good.txt"), "good one");
    EXPECT_EQ(slurp(p.root() / "z.txt"), "two");
    auto log = p.window.log;
    auto at = log.find("Failed: ");
    ASSERT_NE(at, std::string::npos) << log;
    auto end = log.find("\r\n", at);
    EXPECT_NE(log.substr(at, end - at).find(row.reason), std::string::npos) << log;
    log.replace(at, end - at, "Failed: *");
    Strings expected = {"Extracting 1\\3: first\\good.txt", "Extracting 2\\3: \\bad.bin"};
    if (!row.inflated)
      expected.push_back("Failed: *");
    expected.push_back("Extracting 3\\3: \\z.txt");
    expected.push_back(row.inflated ? "Unzipping 1\\2: ui.mpak+first+good.txt.gz"
                                    : "Unzipping 1\\1: ui.mpak+first+good.txt.gz");
    if (row.inflated)
      expected.insert(expected.end(), {"Unzipping 2\\2: ui.mpak+bad.bin.gz", "Failed: *"});
    expected.insert(expected.end(), {"1 files unzipped.", "2 files extracted.", "1 entries failed.",
                                     "Extraction complete."});
    EXPECT_EQ(log, crlf(expected));
    ASSERT_EQ(p.window.messages.size(), 1u);
    EXPECT_EQ(p.window.messages[0].icon, app::Icon::Exclamation);
    EXPECT_EQ(p.window.messages[0].text,
              "1 entries could not be extracted.\r\n\r\nThe log lists each one with the reason.");
    EXPECT_FALSE(p.window.busy);
    EXPECT_TRUE(filesBelow(p.state.folders.temp).empty());
  }
}

}  // namespace
}  // namespace extract_tests
