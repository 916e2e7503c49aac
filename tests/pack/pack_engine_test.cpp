// Property: packing an extracted folder with its own library table gives back the archive's
// entries (order, paths, flags, copies, STOC membership, contents); the first table line that
// names a file decides how it is packed; the folder walk packs every depth and nothing that is
// not the user's file; and a failed pack leaves the previous archive and no temporary file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "extract/extractor.h"
#include "mpak/archive_writer.h"
#include "pack/assembler.h"
#include "support/archive_builder.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "util/deflate.h"
#include "util/mapped_file.h"
#include "util/temporary.h"

namespace {

namespace fs = std::filesystem;
using testing_support::slurp;
using testing_support::thrown;
using testing_support::toBytes;

// Every file below `folder` with its bytes.
std::map<std::string, std::string> contents(const fs::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& f : testing_support::filesBelow(folder))
    out[f] = slurp(folder / f);
  return out;
}

// Extracts every entry of `bytes` into `folder`; returns the archive's library table.
std::string unpack(std::span<const std::uint8_t> bytes, const fs::path& folder) {
  const auto index = mpak::readArchiveIndex(bytes);
  fs::create_directory(folder);
  auto summary = extract::extractEntries(bytes, index, extract::everyEntry(index), folder);
  EXPECT_TRUE(summary.problems.empty());
  return mpak::libraryTocText(index.entries);
}

mpak::BuiltEntry built(std::string path, std::string_view content, bool compress,
                       std::uint16_t copies = 1, bool inStoc = false) {
  auto raw = toBytes(content);
  const auto size = static_cast<std::uint32_t>(raw.size());
  return {std::move(path), compress ? util::deflateRaw(raw, 9) : raw, size, compress, copies,
          inStoc};
}

pack::Plan planFor(const fs::path& root, const std::string& table,
                   const pack::PackOptions& options = {}) {
  auto parsed = mpak::LibraryTable::parse(table);
  return pack::makePlan(pack::scanFolder(root), &parsed, options);
}

TEST(PackRoundTrip, AnExtractedArchivePacksBackToTheSameEntries) {
  std::string noise(70000, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<char>(i * 7919 % 251);
  const std::vector<mpak::BuiltEntry> entries = {
      built("z/last first.txt", "spaces in the name", true, 1, true),
      built("textures/menu/back+front.dds", noise, true, 3, false),
      built("caf\xE9/\xC4rger.lua", "Windows-1252 letters", false, 2, true),
      built("empty.bin", "", true, 1, false),
      built("gone.bin", "", false, 0, true),
      built("a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/deep.txt", "eighteen folders down", false),
  };
  testing_support::TempDir dir;
  const auto table = unpack(mpak::buildArchive(entries), dir.path() / "tree");
  const auto plan = planFor(dir.path() / "tree", table);
  EXPECT_TRUE(plan.unusedLines.empty());
  EXPECT_TRUE(plan.unnamedFiles.empty());

  std::vector<std::string> archives;
  for (unsigned threads : {1u, 2u}) {
    pack::PackOptions options;
    options.threads = threads;
    options.maxInFlightBytes = 1;  // one file at a time ahead of the writer
    auto target = dir.path() / ("new" + std::to_string(threads) + ".mpak");
    pack::packArchive(dir.path() / "tree", plan, target, options);
    archives.push_back(slurp(target));
  }
  // The same order, paths, flags, copies and STOC membership, and the same contents.
  EXPECT_EQ(unpack(toBytes(archives[0]), dir.path() / "back"), table);
  EXPECT_EQ(contents(dir.path() / "back"), contents(dir.path() / "tree"));
  EXPECT_EQ(archives[0], archives[1]) << "the thread count changed the bytes";
}

TEST(PackPlan, TheFirstLineThatNamesAFileDecides) {
  testing_support::TempDir dir;
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
    EXPECT_EQ(plan.unusedLines,
              (std::vector<std::string>{"01 9 0 DATA\\TABLE.BIN", "01 1 0 removed\\file.dds"}));
    EXPECT_EQ(plan.unnamedFiles, std::vector<std::string>{"new.txt"});
  }
}

TEST(PackPlan, ANameThatCannotBecomeAnEntryPathStopsThePlanNamingIt) {
  const std::pair<std::string, std::string> names[] = {
      {std::string(120, 'd') + "/" + std::string(140, 'f'), "the path is 261 bytes long"},
      {"\xE6\x97\xA5.txt", "the name has characters an archive path cannot hold"}};
  for (const auto& [name, message] : names) {
    testing_support::TempDir dir;
    dir.write("tree/" + name, "a");
    EXPECT_PRED_FORMAT2(testing::IsSubstring, message,
                        thrown<pack::PackError>([&] { planFor(dir.path() / "tree", ""); }));
  }
}

TEST(PackFolder, LinksSpecialFilesAndTemporariesAreReportedNotPacked) {
  testing_support::TempDir dir, outside;
  dir.write("tree/real.txt", "mine");
  dir.write("tree/sub/" + util::temporaryName("x.dds"), "half-written");
  outside.write("secret/key.txt", "not yours");
  fs::create_symlink(outside.path() / "secret", dir.path() / "tree/linked");
  fs::create_symlink(outside.path() / "secret/key.txt", dir.path() / "tree/key.txt");
  ASSERT_EQ(::mkfifo((dir.path() / "tree/pipe").c_str(), 0600), 0);

  auto scan = pack::scanFolder(dir.path() / "tree");
  ASSERT_EQ(scan.files.size(), 1u);
  EXPECT_EQ(scan.files[0].relative, "real.txt");
  std::map<std::string, std::string> skipped;
  for (const auto& s : scan.skipped)
    skipped[s.relative.substr(0, 4)] = s.why;
  EXPECT_EQ(skipped, (std::map<std::string, std::string>{
                         {"key.", "a symbolic link"},
                         {"link", "a linked folder, not entered"},
                         {"pipe", "not a regular file"},
                         {"sub/", "a temporary file left by an interrupted run"}}));
}

TEST(PackAtomicity, AFailedPackLeavesThePreviousArchiveAndNoTemporaryFile) {
  testing_support::TempDir dir;
  for (int i = 0; i < 20; ++i)
    dir.write("tree/f" + std::to_string(i) + ".bin", std::string(5000, 'a' + i));
  const auto target = dir.write("out/old.mpak", "the previous archive");
  const auto plan = planFor(dir.path() / "tree", "");

  // A disk that fills up half way.
  EXPECT_THROW(pack::packArchive(dir.path() / "tree", plan, target, {}, {},
                                 [](mpak::Sink& file) {
                                   return std::make_unique<testing_support::FailingSink>(file, 700);
                                 }),
               testing_support::SinkFull);
  // A file that went away between the walk and the read.
  fs::remove(dir.path() / "tree/f7.bin");
  EXPECT_EQ(
      thrown<pack::PackError>([&] { pack::packArchive(dir.path() / "tree", plan, target, {}); }),
      "cannot read f7.bin: No such file or directory");
  EXPECT_EQ(slurp(target), "the previous archive");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "out"), fs::directory_iterator()), 1);
}

}  // namespace
