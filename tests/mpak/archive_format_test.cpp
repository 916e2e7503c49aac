// Writer bytes and limits, atomic writes, reading odd and damaged bytes, tables, Windows-1252.
#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "mpak/library_toc.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/failing_sink.h"
#include "support/temp_dir.h"
#include "util/cp1252.h"

namespace {

using namespace testing_support;

TEST(ArchiveFormat, WorkedBytesAndPathsOfUpTo255Bytes) {
  EXPECT_EQ(toString(mpak::buildArchive({})),
            std::string("MPAK\x04\0\0\0\x04\0\0\0\0\0\0\0TOC\0STOCRAWD", 28));
  // Header (30, 4, 1 entry, 0 STOC), "TOC\0", the record (length 18, sizes 10 and 10, flag 0,
  // path 7, "a/b.txt\0", 1 copy, offset 4), "STOC", "RAWD" and the data.
  EXPECT_EQ(toString(mpak::buildArchive({{"a/b.txt", toBytes("0123456789"), 10, false, 1, false}})),
            std::string("MPAK\x1E\0\0\0\x04\0\0\0\x01\0\0\0TOC\0"
                        "\x12\0\x0A\0\0\0\x0A\0\0\0\0\x07"
                        "a/b.txt\0\x01\0\x04\0\0\0STOCRAWD0123456789",
                        64));
  // A path of 255 bytes is written and read back, one of 256 refused before any byte.
  const std::string path = "dir/" + std::string(251, 'p');
  auto index =
      mpak::readArchiveIndex(mpak::buildArchive({{path, toBytes("xyz"), 3, false, 1, true}}));
  ASSERT_EQ(index.entries.size(), 1u);
  EXPECT_EQ(index.entries[0].path, "dir\\" + std::string(251, 'p'));
  ASSERT_EQ(index.stoc.size(), 1u);
  EXPECT_EQ(index.stoc[0].path, path);
  mpak::MemorySink sink;
  const std::string tooLong(256, 'q');
  EXPECT_EQ(thrown<mpak::FormatError>([&] {
              mpak::ArchiveWriter(sink, {{"ok", 1, false}, {tooLong, 1, false}});
            }),
            "entry 1 (" + tooLong + "): the path is 256 bytes long, more than 255");
  EXPECT_EQ(sink.position(), 0u);
}

// Budgets that fail in the header, the TOC, the data and the TOC's rewrite; the last is enough.
TEST(FileSink, AFailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
  const std::vector<mpak::BuiltEntry> entries = {
      {"a/b.txt", toBytes("hello"), 5, false, 2, true},
      {"c.bin", std::vector<std::uint8_t>(300, 0x5A), 1000, true, 1, false},
      {"empty", {}, 0, false, 0, true}};
  const std::string archive = toString(mpak::buildArchive(entries));
  for (std::uint64_t budget : {0, 40, 200, static_cast<int>(archive.size()), 1 << 20}) {
    SCOPED_TRACE(budget);
    const bool written = budget == 1 << 20;
    TempDir dir;
    const auto target = dir.write("old.mpak", "the previous archive");
    try {
      mpak::FileSink file(target);
      FailingSink sink(file, budget);
      std::vector<mpak::WriterEntry> layout;
      for (const auto& e : entries)
        layout.push_back({e.path, e.copies, e.inStoc});
      mpak::ArchiveWriter writer(sink, layout);
      for (const auto& e : entries)
        writer.addData(e.stored, e.unpackedSize, e.compressed);
      writer.finish();
      file.commit();
      EXPECT_TRUE(written);
    } catch (const SinkFull&) {
      EXPECT_FALSE(written);
    }
    EXPECT_EQ(slurp(target), written ? archive : "the previous archive");
    EXPECT_EQ(filesBelow(dir.path()), Strings{"old.mpak"});
  }
}

TEST(ArchiveReader, HandLaidOddArchiveLoadsWithTheLaidOutValuesAndDataRangesAreJudged) {
  const std::vector<RawEntry> entries = {
      {.path = "a\\b.txt", .stored = "0123456789", .recordLength = 0},
      {.path = "c.bin", .stored = "xy", .flag = 7, .inStoc = true, .recordLength = 0xFFFF},
      {.path = "none", .stored = "ignored", .copies = 0},
      {.path = "d", .stored = "22", .flag = 255, .copies = 5, .terminator = 'Z'},
      {.path = "", .stored = "q"},
  };
  auto built = buildArchive(
      entries, {{65535, "far", 999}},
      {.fileTag = "KAPM", .tocTag = "toc!", .stocTag = "stoc", .rawdTag = std::string(4, '\0')});
  auto index = mpak::readArchiveIndex(toBytes(built.bytes));
  ASSERT_EQ(index.entries.size(), entries.size());
  EXPECT_EQ(index.stocPosition, built.stocPosition);
  EXPECT_EQ(index.rawdPosition, built.rawdPosition);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& got = index.entries[i];
    SCOPED_TRACE(entries[i].path);
    EXPECT_EQ(got.recordOffset, built.recordOffsets[i]);
    EXPECT_EQ(got.path, entries[i].path);
    EXPECT_EQ(got.compressedFlag, entries[i].flag);
    EXPECT_EQ(got.copies, entries[i].copies);
    EXPECT_EQ(got.inStoc, entries[i].inStoc ? 1 : 0);
    if (got.copies > 0) {
      EXPECT_EQ(built.bytes.substr(got.dataPosition, got.storedSize), entries[i].stored);
    }
  }
  EXPECT_EQ(index.entries[2].dataPosition, built.rawdPosition);  // no copies
  ASSERT_EQ(index.stoc.size(), 2u);
  EXPECT_EQ(index.stoc[1].tocIndex, 65535u);
  EXPECT_EQ(index.stoc[1].path, "far");
  EXPECT_EQ(index.entries[1].stocRecord, 0);
  // A file ending with "RAWD" and the last entry's 8 bytes: offsets 4 to 11 are data.
  index = mpak::readArchiveIndex(toBytes(buildArchiveBytes(
      {{.path = "out", .copies = 2, .storedSizeField = 2, .dataOffsets = {{4, 11}}},
       {.path = "in", .copies = 2, .storedSizeField = 4, .dataOffsets = {{8, 4}}},
       {.path = "z", .stored = "12345678"}})));
  EXPECT_FALSE(mpak::dataInBounds(index, index.entries[0]));
  EXPECT_TRUE(mpak::dataInBounds(index, index.entries[1]));
}

TEST(DamagedArchive, IsRefusedNamingWhatAndWhere) {
  const struct {
    std::string message;
    std::vector<RawEntry> entries;
    RawHeader header = {};
    std::size_t cutTo = std::string::npos;
  } rows[] = {
      {"header: the file is 15 bytes long, shorter than the 16-byte header", {}, {}, 15},
      {"header: TOC block size 4294967295 at offset 0x4 puts the STOC block past the end of the "
       "file (28 bytes)",
       {},
       {.tocBlockSize = 0xFFFFFFFF}},
      {"header: STOC block size 2147483632 at offset 0x8 puts the RAWD block past the end of the "
       "file (49 bytes)",
       {{.path = "a", .stored = "1"}},
       {.stocBlockSize = 0x7FFFFFF0}},
      {"TOC record 3 at offset 0x44: record runs past the end of the file (76 bytes)",
       {{.path = "a", .copies = 0}, {.path = "b", .copies = 0}, {.path = "c", .copies = 0}},
       {.entryCount = 5}},
      {"STOC record 1 at offset 0x2F: record runs past the end of the file (51 bytes)",
       {{.path = "a", .copies = 0, .inStoc = true}},
       {.stocCount = 3}},
      {"TOC record 0 at offset 0x14: path (200 bytes) runs past the end of the file (48 bytes)",
       {{.path = "short", .copies = 0, .pathLengthField = 200}}},
      {"TOC record 1 at offset 0x29: 1000 data offsets at offset 0x3B run past the end of the "
       "file (72 bytes)",
       {{.path = "ok", .stored = "1"}, {.path = "big", .copies = 1000, .dataOffsets = {{4}}}}},
  };
  for (const auto& row : rows) {
    const auto bytes = buildArchiveBytes(row.entries, {}, row.header).substr(0, row.cutTo);
    EXPECT_EQ(thrown<mpak::FormatError>([&] { mpak::readArchiveIndex(toBytes(bytes)); }),
              row.message);
  }
}

TEST(LibraryTable, FindsTheRightLine) {
  const struct {
    std::string table, path;
    int line;            // 0: no line matches
    std::string fields;  // "f1|f2|f3|path" of the match
  } rows[] = {
      {"--c\r\n\r\n01 2 1 Data\\File.BIN", "data\\file.bin", 3, "01|2|1|Data\\File.BIN"},
      {"00 1 0 \xC9t\xC9", "\xE9T\xE9", 1, "00|1|0|\xC9t\xC9"},
      {"   --note 1 1 x\r\n00 1 0 --note 1 1 x", "--note 1 1 x", 2, "00|1|0|--note 1 1 x"},
      {"01 1 0 my folder\\a file.txt", "my folder\\a file.txt", 1, "01|1|0|my folder\\a file.txt"},
      {"--c\n00 3 1 a\\b.dat\n01 1 0 c.dat\n", "c.dat", 3, "01|1|0|c.dat"},
      {"   01 4 1 x\\y   \r\n", "x\\y", 1, "01|4|1|x\\y"},
      {"00 2 0 extra.bin old note", "EXTRA.bin", 1, "00|2|0|extra.bin old note"},
      {"01 1 a\\b.txt", "a\\b.txt", 0, ""},
      {"00 1 0 a\r00 2 0 b", "a\r00 2 0 b", 1, "00|1|0|a\r00 2 0 b"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.table);
    auto table = mpak::LibraryTable::parse(row.table);
    const mpak::TocLine* line = table.find(row.path);
    ASSERT_EQ(line != nullptr, row.line != 0);
    if (line) {
      EXPECT_EQ(std::to_string(line->lineNumber) + " " + line->compressField + "|" +
                    line->copiesField + "|" + line->stocField + "|" + line->path,
                std::to_string(row.line) + " " + row.fields);
    }
  }
}

TEST(LibraryTable, ValidatesTheFieldsAsThePackNeedsThem) {
  auto bad = [](const std::string& line, const std::string& field) {
    return "library table line 2 (\"" + line + "\"): copies \"" + field +
           "\" is not a whole number from 0 to 32767";
  };
  // The line, then "compress|copies|stoc", each field's value or error.
  const std::pair<std::string, std::string> rows[] = {
      {"00 3 1 a\\b.dat", "0|3|1"},
      {"01 32767 0 a", "1|32767|0"},
      {"01 32768 0 a", "1|" + bad("01 32768 0 a", "32768") + "|0"},
      {"00 -1 0 a", "0|" + bad("00 -1 0 a", "-1") + "|0"},
      {"01  0 a b", "1|" + bad("01  0 a b", "") + "|0"},
      {"00 1 255 a", "0|1|0"},
      {"00 1 256 a",
       "0|1|library table line 2 (\"00 1 256 a\"): STOC field \"256\" is not a whole number from "
       "0 to 255"}};
  const auto outcome = [](auto read) {
    try {
      return std::to_string(read());
    } catch (const mpak::FormatError& e) {
      return std::string(e.what());
    }
  };
  for (const auto& [text, fields] : rows) {
    auto table = mpak::LibraryTable::parse("--c\r\n" + text);
    ASSERT_EQ(table.lines().size(), 1u) << text;
    const mpak::TocLine& line = table.lines()[0];
    EXPECT_EQ(std::to_string(line.compress()) + "|" + outcome([&] { return line.copies(); }) + "|" +
                  outcome([&] { return line.inStoc(); }),
              fields)
        << text;
  }
}

TEST(Cp1252, EveryByteRoundTripsAndKnownLettersMap) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  EXPECT_EQ(util::utf8ToCp1252(util::cp1252ToUtf8(all)), all);
  EXPECT_EQ(util::cp1252ToUtf8("\x80 caf\xE9"), "€ café");
  EXPECT_EQ(util::utf8ToCp1252("Œuvre"), "\x8Cuvre");
  EXPECT_EQ(util::utf8ToCp1252("日本"), "??");
}

}  // namespace
