// Property: packing an extracted folder with its own library table gives back the archive's
// entries (order, paths, flags, copies, STOC membership, contents); the table's decisions
// follow their rules; the folder walk packs every depth and nothing that is not the user's
// file; and a failed pack leaves the previous archive as it was and no temporary file.
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
#include "util/deflate.h"
#include "util/mapped_file.h"
#include "util/temporary.h"

namespace {

namespace fs = std::filesystem;
using testing_support::slurp;
using testing_support::toBytes;

// What a reader of the archive sees of each entry, content inflated.
struct Seen {
  std::string path, content;
  bool compressed;
  std::uint16_t copies;
  bool inStoc;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> seen(std::span<const std::uint8_t> bytes) {
  auto index = mpak::readArchiveIndex(bytes);
  std::vector<Seen> out;
  for (const auto& e : index.entries) {
    std::string content;
    if (e.copies > 0) {
      auto stored = bytes.subspan(e.dataPosition, e.storedSize);
      content.assign(stored.begin(), stored.end());
      if (e.isCompressed()) {
        content.assign(e.unpackedSize, '\0');
        auto r = util::inflateRaw(
            stored, {reinterpret_cast<std::uint8_t*>(content.data()), content.size()});
        EXPECT_EQ(r.status, util::InflateStatus::Ok) << e.path;
      }
    }
    out.push_back({e.path, content, e.isCompressed(), e.copies, e.inStoc == 1});
  }
  return out;
}

mpak::BuiltEntry built(std::string path, std::string_view content, bool compress,
                       std::uint16_t copies = 1, bool inStoc = false) {
  auto raw = toBytes(content);
  return {std::move(path),
          compress ? util::deflateRaw(raw, 9) : raw,
          static_cast<std::uint32_t>(raw.size()),
          compress,
          copies,
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
  const auto original = mpak::buildArchive(entries);
  const auto index = mpak::readArchiveIndex(original);
  testing_support::TempDir dir;
  fs::create_directory(dir.path() / "tree");
  auto summary =
      extract::extractEntries(original, index, extract::everyEntry(index), dir.path() / "tree");
  ASSERT_TRUE(summary.problems.empty());
  const auto plan = planFor(dir.path() / "tree", mpak::libraryTocText(index.entries));
  EXPECT_TRUE(plan.unusedLines.empty());
  EXPECT_TRUE(plan.unnamedFiles.empty());

  std::vector<std::string> archives;
  for (unsigned threads : {1u, 2u}) {
    pack::PackOptions options;
    options.threads = threads;
    options.maxInFlightBytes = 1;  // one file at a time ahead of the writer
    auto target = dir.path() / ("new" + std::to_string(threads) + ".mpak");
    auto result = pack::packArchive(dir.path() / "tree", plan, target, options);
    EXPECT_EQ(result.entries, entries.size());
    EXPECT_EQ(result.bytes, fs::file_size(target));
    archives.push_back(slurp(target));
  }
  EXPECT_EQ(seen(toBytes(archives[0])), seen(original));
  EXPECT_EQ(archives[0], archives[1]) << "the thread count changed the bytes";
}

TEST(PackPlan, TheFirstLineThatNamesAFileDecides) {
  testing_support::TempDir dir;
  for (const char* f : {"Data/Table.bin", "fx/wave.bin", "one.bin", "oh-one.bin", "extra.bin",
                        "new.txt", "m+n.txt"})
    dir.write(std::string("tree/") + f, "x");
  const std::string table =
      "--comment\r\n"
      "  -- indented comment\r\n"
      "00 3 0 data\\table.bin\r\n"
      "01 9 0 DATA\\TABLE.BIN\r\n"  // a later line for the same file does not count
      "01 1 01 fx/wave.bin\r\n"     // "/" names the file too; "01" is STOC 1
      "1 1 0 one.bin\r\n"           // only "01" compresses
      "001 1 2 oh-one.bin\r\n"
      "00 2 0 extra.bin old note\r\n"  // the fourth field alone names the file
      "00 1 1 m+n.txt\r\n"
      "01 1 0 removed\\file.dds";
  struct Row {
    pack::PackOptions options;
    std::map<std::string, std::string> decisions;  // source -> "compress copies stoc"
  } rows[] = {
      {{},
       {{"Data/Table.bin", "0 3 0"},
        {"fx/wave.bin", "1 1 1"},
        {"one.bin", "0 1 0"},
        {"oh-one.bin", "0 1 0"},
        {"extra.bin", "0 2 0"},
        {"new.txt", "1 1 1"},
        {"m+n.txt", "0 1 1"}}},
      {{.compressAll = true, .allStoc = true},
       {{"Data/Table.bin", "1 3 1"},
        {"fx/wave.bin", "1 1 1"},
        {"one.bin", "1 1 1"},
        {"oh-one.bin", "1 1 1"},
        {"extra.bin", "1 2 1"},
        {"new.txt", "1 1 1"},
        {"m+n.txt", "1 1 1"}}},
  };
  for (const auto& row : rows) {
    const auto plan = planFor(dir.path() / "tree", table, row.options);
    std::map<std::string, std::string> decisions;
    std::vector<std::string> order;
    for (const auto& e : plan.entries) {
      decisions[e.source] = std::to_string(e.compress) + " " + std::to_string(e.copies) + " " +
                            std::to_string(e.inStoc);
      order.push_back(e.path);
    }
    EXPECT_EQ(decisions, row.decisions);
    EXPECT_EQ(order, (std::vector<std::string>{"Data/Table.bin", "fx/wave.bin", "one.bin",
                                               "oh-one.bin", "extra.bin", "m+n.txt", "new.txt"}));
    EXPECT_EQ(plan.unusedLines,
              (std::vector<std::string>{"01 9 0 DATA\\TABLE.BIN", "01 1 0 removed\\file.dds"}));
    EXPECT_EQ(plan.unnamedFiles, std::vector<std::string>{"new.txt"});
  }
  EXPECT_EQ(pack::stagedName(planFor(dir.path() / "tree", table).entries[0]),
            "Data+Table.bin.1.3.0.unc");
}

TEST(PackPlan, WhatCannotBecomeAnArchiveStopsThePlanNamingIt) {
  const std::pair<std::string, std::string> bad[] = {
      {"00 -1 0 a.bin", "library table line 1 (\"00 -1 0 a.bin\"): copies \"-1\""},
      {"00 32768 0 a.bin", "copies \"32768\" is not a whole number from 0 to 32767"},
      {"00 x 0 a.bin", "copies \"x\""},
      {"00 1 256 a.bin", "STOC field \"256\" is not a whole number from 0 to 255"}};
  for (const auto& [line, message] : bad) {
    testing_support::TempDir dir;
    dir.write("tree/a.bin", "a");
    try {
      planFor(dir.path() / "tree", line);
      ADD_FAILURE() << line;
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  const std::pair<std::string, std::string> names[] = {
      {std::string(120, 'd') + "/" + std::string(140, 'f'), "the path is 261 bytes long"},
      {"\xE6\x97\xA5.txt", "the name has characters an archive path cannot hold"}};
  for (const auto& [name, message] : names) {
    testing_support::TempDir dir;
    dir.write("tree/" + name, "a");
    try {
      planFor(dir.path() / "tree", "");
      ADD_FAILURE() << name;
    } catch (const pack::PackError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
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
  try {
    pack::packArchive(dir.path() / "tree", plan, target, {});
    ADD_FAILURE() << "packed without f7.bin";
  } catch (const pack::PackError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot read f7.bin: No such file or directory");
  }
  EXPECT_EQ(slurp(target), "the previous archive");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "out"), fs::directory_iterator()), 1);
}

}  // namespace
