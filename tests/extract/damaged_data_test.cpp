// Property: a damaged entry is reported and never written, and never stops the other entries.
#include "extract_fixture.h"

namespace extract_tests {
namespace {

TEST(DamagedEntry, IsLoggedWithItsReasonWhileTheOthersAreExtracted) {
  const std::string content = "the entry's real content, long enough to compress a little";
  const auto size = static_cast<std::uint32_t>(content.size());
  auto notDeflate = compressed("bad.bin", content), tooLarge = notDeflate, tooSmall = notDeflate;
  notDeflate.stored = "\x07\xFF\xFF\xFF";
  tooLarge.unpackedSize = size + 1;
  tooSmall.unpackedSize = size - 1;
  auto pastEnd = stored("bad.bin", content);
  pastEnd.storedSizeField = 0xFFFFFF;
  const std::pair<RawEntry, std::string> rows[] = {
      {notDeflate, "the data is not valid DEFLATE data"},
      {tooLarge, "the data inflates to fewer bytes than the unpacked size"},
      {tooSmall, "the data inflates to more bytes than the unpacked size"},
      {pastEnd, "runs past the end of the archive"}};
  for (const auto& [entry, reason] : rows) {
    SCOPED_TRACE(reason);
    ProgramFolder p;
    p.load("ui.mpak", {compressed("first/good.txt", "good one"), entry, stored("z.txt", "two")},
           {0, 1, 2});
    p.home.write("ExtractedFiles/ui.mpak/bad.bin", "from an earlier run");

    p.extract();

    EXPECT_EQ(filesBelow(p.root()), (Strings{"bad.bin", "first/good.txt", "z.txt"}));
    EXPECT_EQ(slurp(p.root() / "bad.bin"), "from an earlier run");
    EXPECT_EQ(slurp(p.root() / "z.txt"), "two");
    const auto& log = p.window.log;
    const auto at = log.find("Failed: ");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.substr(at, log.find("\r\n", at) - at).find(reason), std::string::npos) << log;
    EXPECT_TRUE(log.ends_with(crlf(
        {"1 files unzipped.", "2 files extracted.", "1 entries failed.", "Extraction complete."})))
        << log;
    ASSERT_EQ(p.window.messages.size(), 1u);
    EXPECT_EQ(p.window.messages[0].icon, app::Icon::Exclamation);
    EXPECT_EQ(p.window.messages[0].text,
              "1 entries could not be extracted.\r\n\r\nThe log lists each one with the reason.");
  }
}

}  // namespace
}  // namespace extract_tests
