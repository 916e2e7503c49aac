// Packing against a base: untouched entries keep their stored bytes, edits are said as they are.
#include <zlib.h>

#include "extract/extractor.h"
#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "platform/mapped_file.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

// Raw DEFLATE from zlib at level 9 (its stream without header and checksum): bytes this
// program's compressor does not make.
RawEntry zlibCompressed(std::string path, const std::string& content) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(content.data()), content.size(), 9),
            Z_OK);
  return {.path = std::move(path),
          .stored = out.substr(2, size - 6),
          .unpackedSize = static_cast<std::uint32_t>(content.size()),
          .flag = 1};
}

// Extracts every entry of the archive at `path` into a new `folder`; returns its index.
mpak::ArchiveIndex unpack(const fs::path& path, const fs::path& folder) {
  const platform::MappedFile file(path);
  auto index = mpak::readArchiveIndex(file.bytes());
  fs::remove_all(folder);
  fs::create_directory(folder);
  const auto extracted =
      extract::extractEntries(file.bytes(), index, extract::everyEntry(index), folder);
  EXPECT_TRUE(extracted.problems.empty());
  return index;
}

struct Repack {
  TempDir dir;
  fs::path tree = dir.path() / "tree", base = dir.path() / "base.mpak";
  std::string table;

  explicit Repack(const std::string& bytes) {
    dir.write("base.mpak", bytes);
    table = mpak::libraryTocText(unpack(base, tree).entries);
  }
  // The files the archive at `path` holds.
  Files contentsOf(const fs::path& path) {
    unpack(path, dir.path() / "back");
    return contents(dir.path() / "back");
  }
  // Packs the tree into `target`, against the base unless `withBase` is false.
  pack::RepackReport pack(const fs::path& target, bool withBase = true,
                          const pack::SinkFilter& filter = {},
                          const pack::PackOptions& options = {},
                          util::Progress& progress = util::Progress::none()) {
    const auto parsed = mpak::LibraryTable::parse(table);
    auto plan = pack::makePlan(pack::scanFolder(tree), &parsed, options);
    std::optional<pack::BaseArchive> opened;
    if (withBase)
      pack::matchBase(plan, opened.emplace(base));
    return pack::repackReport(
        plan, pack::packArchive(tree, plan, target, options, {}, filter, {}, progress));
  }
};

// Text whose matches two compressors choose differently.
std::string lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "line " + std::to_string(i % 97) + " = " + std::to_string(i * i % 1009) + "\n";
  return text;
}

std::vector<RawEntry> foreignEntries() {
  std::vector<RawEntry> entries = {
      zlibCompressed("scripts/init.lua", lines(400) + "print('hello')"),
      stored("font.dat", "glyphs, stored though they compress: " + std::string(400, 'g')),
      zlibCompressed("textures/back.tga", noise(9000) + std::string(9000, 't')),
      zlibCompressed("flip.txt", std::string(2000, 'f')), stored("gone.txt", "bye")};
  entries[1].copies = 3;
  entries[0].inStoc = entries[2].inStoc = true;
  return entries;
}

TEST(PackAgainstABase, AnUntouchedTreeGivesTheForeignBaseBackAndEditsAreSaidAsTheyAre) {
  Repack r(buildArchiveBytes(foreignEntries()));
  const auto same = r.dir.path() / "same.mpak";
  EXPECT_EQ(r.pack(same).summary(),
            "5 entries kept as they were, 0 compressed again, 0 new, 0 "
            "removed");
  EXPECT_TRUE(slurp(same) == slurp(r.base)) << "an unedited repack changed the bytes";
  r.pack(same, false);
  EXPECT_FALSE(slurp(same) == slurp(r.base)) << "a full pack compresses anew";

  r.dir.write("tree/scripts/init.lua", lines(400) + "print('HELLO')");
  r.dir.write("tree/new/added.txt", "new");
  fs::remove(r.tree / "gone.txt");
  r.table.replace(r.table.find("01 1 0 flip.txt"), 2, "00");
  const auto edited = r.dir.path() / "edited.mpak";
  const auto report = r.pack(edited);
  EXPECT_EQ(report.summary(), "2 entries kept as they were, 2 compressed again, 1 new, 1 removed");
  EXPECT_EQ(report.kept, (Strings{"font.dat", "textures\\back.tga"}));
  EXPECT_EQ(report.again, (Strings{"scripts\\init.lua", "flip.txt"}));
  EXPECT_EQ(report.modified, Strings{"scripts\\init.lua"});
  EXPECT_EQ(report.added, Strings{"new\\added.txt"});
  EXPECT_EQ(report.removed, Strings{"gone.txt"});
  EXPECT_EQ(r.contentsOf(edited), contents(r.tree));
  const auto index = unpack(edited, r.dir.path() / "back");
  EXPECT_EQ(index.entries[3].path + " " + std::to_string(index.entries[3].compressedFlag),
            "flip.txt 0");
}

// Another writer's order: data and STOC records the other way round from the TOC.
TEST(PackAgainstABase, TheBasesOrderOfDataAndStocRecordsIsKeptAndNewEntriesJoinTheirNeighbour) {
  auto entries = foreignEntries();
  std::uint32_t offset = 4;
  std::string data;
  for (std::size_t i = entries.size(); i-- > 0;) {
    entries[i].dataOffsets = std::vector<std::uint32_t>(entries[i].copies);
    for (auto& copy : *entries[i].dataOffsets) {
      copy = offset;
      offset += static_cast<std::uint32_t>(entries[i].stored.size());
      data += entries[i].stored;
    }
  }
  entries[0].inStoc = entries[2].inStoc = false;
  const auto built = buildArchive(entries, {{2, "textures/back.tga"}, {0, "scripts/init.lua"}});
  Repack r(built.bytes.substr(0, built.rawdPosition + 4) + data);
  const auto same = r.dir.path() / "same.mpak";
  r.pack(same);
  EXPECT_TRUE(slurp(same) == slurp(r.base)) << "the base's order was not kept";

  r.dir.write("tree/flip.txt2", "new, right after flip.txt");
  r.table += "\r\n01 1 1 flip.txt2";
  r.pack(same);
  const auto index = unpack(same, r.dir.path() / "back");
  std::string layout;  // entries by data position; STOC records
  std::vector<std::size_t> byData{0, 1, 2, 3, 4, 5};
  std::sort(byData.begin(), byData.end(), [&](std::size_t a, std::size_t b) {
    return index.entries[a].dataPosition < index.entries[b].dataPosition;
  });
  for (std::size_t i : byData)
    layout += std::to_string(i);
  for (const auto& record : index.stoc)
    layout += " " + std::to_string(record.tocIndex);
  EXPECT_EQ(layout, "453210 2 5 0");  // flip.txt2 follows gone.txt, and back.tga in the STOC
}

// Data that does not inflate, or copies that differ, are never copied: compressed again.
TEST(PackAgainstABase, ADamagedBaseEntryIsCompressedAgainFromTheFileAndSaidSo) {
  const auto entries = foreignEntries();
  Repack r(buildArchiveBytes(entries));
  const auto built = buildArchive(entries);
  std::string damaged = built.bytes;
  const auto data = built.rawdPosition + 4;
  damaged[data] = '\x07';  // init.lua: a final block of the reserved type
  damaged[data + entries[0].stored.size() + 2 * entries[1].stored.size()] ^= 1;  // font.dat
  r.dir.write("base.mpak", damaged);
  const auto target = r.dir.path() / "new.mpak";
  const auto report = r.pack(target);
  EXPECT_EQ(report.damaged, (Strings{"scripts\\init.lua: the data is not valid DEFLATE data",
                                     "font.dat: copy 3 differs from the first"}));
  EXPECT_EQ(report.summary(), "3 entries kept as they were, 2 compressed again, 0 new, 0 removed");
  EXPECT_TRUE(report.modified.empty());
  EXPECT_EQ(r.contentsOf(target), contents(r.tree));
}

// Files that turn out changed take memory only as the bound allows, whichever thread
// reaches them first; a cancel meanwhile wakes the threads waiting for room.
TEST(PackAgainstABase, ChangedFilesWaitForRoomAndACancelEndsTheWaiting) {
  std::vector<RawEntry> entries;
  for (int i = 0; i < 12; ++i)
    entries.push_back(zlibCompressed("f" + std::to_string(i) + ".txt", lines(300 + i)));
  Repack r(buildArchiveBytes(entries));
  for (int i = 0; i < 12; ++i) {  // the same sizes, other bytes
    const std::string name = "tree/f" + std::to_string(i) + ".txt";
    r.dir.write(name, "X" + slurp(r.dir.path() / name).substr(1));
  }
  pack::PackOptions tight;
  tight.threads = 2;
  tight.maxInFlightBytes = 1;
  const auto target = r.dir.path() / "new.mpak";
  EXPECT_EQ(r.pack(target, true, {}, tight).summary(),
            "0 entries kept as they were, 12 compressed again, 0 new, 0 removed");
  EXPECT_EQ(r.contentsOf(target), contents(r.tree));
  CancelAfter progress(2);
  EXPECT_EQ(thrown<util::Cancelled>([&] { r.pack(target, true, {}, tight, progress); }),
            "cancelled after 2 of 12");
}

// The base is read while the pack runs: one that shrinks meanwhile stops it, said as such,
// and nothing is written.
TEST(PackAgainstABase, ABaseThatShrinksMidWayStopsThePackAndSaysSo) {
  Repack r(buildArchiveBytes(foreignEntries()));
  const auto parsed = mpak::LibraryTable::parse(r.table);
  auto plan = pack::makePlan(pack::scanFolder(r.tree), &parsed, {});
  pack::BaseArchive base(r.base);
  pack::matchBase(plan, base);
  fs::resize_file(r.base, fs::file_size(r.base) / 2);
  const auto target = r.dir.path() / "new.mpak";
  EXPECT_EQ(thrown<platform::MappingChanged>([&] { pack::packArchive(r.tree, plan, target, {}); }),
            "the base archive changed while it was being read");
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(filesBelow(r.dir.path()).size(), 1 + filesBelow(r.tree).size());
}

TEST(PackAgainstABase, TheBaseItselfMayBeReplacedAndSurvivesAFailureMidWay) {
  Repack r(buildArchiveBytes(foreignEntries()));
  r.dir.write("tree/scripts/init.lua", "edited");
  const std::string before = slurp(r.base);
  const pack::SinkFilter failing = [](mpak::Sink& file) {
    return std::make_unique<FailingSink>(file, 300);
  };
  EXPECT_THROW(r.pack(r.base, true, failing), SinkFull);
  EXPECT_EQ(slurp(r.base), before);
  EXPECT_EQ(filesBelow(r.dir.path()).size(), 1 + filesBelow(r.tree).size());
  EXPECT_EQ(r.pack(r.base).summary(),
            "4 entries kept as they were, 1 compressed again, 0 new, 0 removed");
  EXPECT_EQ(r.contentsOf(r.base), contents(r.tree));
}

}  // namespace
