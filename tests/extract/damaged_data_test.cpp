// Property: a damaged entry is reported and never written, and never stops the other
// entries; an entry whose data is sound but whose unpacked-size field is wrong is written
// whole, with a warning; a hostile archive cannot crash extraction, over-allocate, or write
// outside the root.
#include <functional>

#include "../../fuzz/fuzz_bodies.h"
#include "extract/extractor.h"
#include "extract/verifier.h"
#include "extract_fixture.h"
#include "util/mapped_file.h"

namespace extract_tests {
namespace {

TEST(DamagedEntry, IsLoggedWithItsReasonWhileTheOthersAreExtracted) {
  auto notDeflate = compressed("bad.bin", "content");
  notDeflate.stored = "\x07\xFF\xFF\xFF";
  auto pastEnd = stored("bad.bin", "content");
  pastEnd.storedSizeField = 0xFFFFFF;
  const std::pair<RawEntry, std::string> rows[] = {
      {notDeflate, "the data is not valid DEFLATE data"},
      {pastEnd, "runs past the end of the file"}};
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

TEST(ResizedEntry, SoundDataWithAWrongSizeFieldIsWrittenWholeWithAWarning) {
  // 2000 bytes that compress to a few dozen: a field of 99999 is more than the stored bytes
  // can give, a field of 5 far less than they do. Noise makes the third one larger than the
  // first guess the field allows and the first retry.
  std::string text(2000, '\0'), noise(3 << 20, '\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = "abcdefgh\r\n"[i % 10];
  std::uint32_t x = 7;
  for (auto& c : noise)
    c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  auto large = compressed("m/large.txt", text), small = compressed("small.txt", text),
       big = compressed("big.bin", noise);
  large.unpackedSize = 99999;
  small.unpackedSize = 5;
  big.unpackedSize = 100;
  ProgramFolder p;
  p.load("ui.mpak", {large, small, big}, {0, 1, 2});

  p.extract();

  EXPECT_EQ(slurp(p.root() / "m" / "large.txt"), text);
  EXPECT_EQ(slurp(p.root() / "small.txt"), text);
  EXPECT_EQ(slurp(p.root() / "big.bin"), noise);
  EXPECT_EQ(
      p.window.log,
      crlf({"Extracting 1\\3: m\\large.txt",
            "Warning: m\\large.txt inflates to 2000 bytes, the table says 99999.",
            "Extracting 2\\3: \\small.txt",
            "Warning: small.txt inflates to 2000 bytes, the table says 5.",
            "Extracting 3\\3: \\big.bin",
            "Warning: big.bin inflates to 3145728 bytes, the table says 100.",
            "Unzipping 1\\3: ui.mpak+m+large.txt.gz", "Unzipping 2\\3: ui.mpak+small.txt.gz",
            "Unzipping 3\\3: ui.mpak+big.bin.gz", "3 files unzipped.", "3 files extracted.",
            "3 files inflated to another size than the table says.", "Extraction complete."}));
  EXPECT_TRUE(p.window.messages.empty());
}

// An archive truncated by another program in the middle of an extraction: no crash (the
// pages past the new end would raise SIGBUS), and either every file whole from data already
// read, or the extraction stopped with nothing wrong written.
TEST(ChangingArchive, ATruncationWhileReadingNeverCrashesOrWritesWhatWasNotThere) {
  testing_support::TempDir dir;
  const std::string big(256 << 10, 'b'), text(100000, 'c');
  const auto path =
      dir.write("live.mpak",
                testing_support::buildArchiveBytes(
                    {stored("a.txt", "first"), stored("big.bin", big), compressed("c.txt", text)}));
  util::MappedFile file(path);
  const auto index = mpak::readArchiveIndex(file.bytes());
  const auto out = dir.path() / "out";
  fs::create_directory(out);
  const auto replacedBefore = util::mappedPagesReplaced();
  auto truncateAfterTheFirst = [&](const extract::EntryReport&, std::size_t n, std::size_t) {
    if (n == 1)
      fs::resize_file(path, 64);
  };
  try {
    extract::extractEntries(file.bytes(), index, extract::everyEntry(index), out, {},
                            truncateAfterTheFirst);
    EXPECT_EQ(slurp(out / "big.bin"), big);
    EXPECT_EQ(slurp(out / "c.txt"), text);
  } catch (const util::MappingChanged& e) {
    EXPECT_STREQ(e.what(), "the archive changed while it was being read");
    EXPECT_EQ(filesBelow(out), Strings{"a.txt"});
  }
  const volatile std::uint8_t* pastTheEnd = file.bytes().data() + file.size() - 1;
  EXPECT_EQ(*pastTheEnd, 0);
  EXPECT_GT(util::mappedPagesReplaced(), replacedBefore);
}

// Every seed of every fuzz target passes through the same code in the normal test run, and
// an archive seed, extracted whole, writes nothing outside the root.
TEST(HostileArchive, FuzzSeedsNeverCrashOrEscape) {
  int files = 0, read = 0;
  auto extractAll = [&read](const std::string& bytes) {
    const auto data = testing_support::toBytes(bytes);
    fuzzing::exerciseArchiveReader(data);
    mpak::ArchiveIndex index;
    try {
      index = mpak::readArchiveIndex(data);
    } catch (const mpak::FormatError&) {
      return;
    }
    ++read;
    testing_support::TempDir dir;
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
  using testing_support::toBytes;
  const std::pair<const char*, std::function<void(const std::string&)>> targets[] = {
      {"archive_reader", extractAll},
      {"library_toc", [](const std::string& s) { fuzzing::exerciseLibraryToc(s); }},
      {"model_scan", [](const std::string& s) { fuzzing::exerciseModelScan(toBytes(s)); }},
      {"package", [](const std::string& s) { fuzzing::exercisePackage(toBytes(s)); }},
      {"sound_bank", [](const std::string& s) { fuzzing::exerciseSoundBank(toBytes(s)); }}};
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

}  // namespace
}  // namespace extract_tests
