// The MPAK archive format: header, TOC records, STOC records and the RAWD data area.
//
// Layout (little-endian, no padding; T and S are the byte sizes of the TOC and STOC
// records without their tags):
//   0  "MPAK"   4 u32 TOC block size (T + 4)   8 u32 STOC block size (S + 4)
//   12 u16 entry count   14 u16 STOC count   16 "TOC\0"   20 TOC records
//   20 + T "STOC"   24 + T STOC records   24 + T + S "RAWD"   28 + T + S stored data
// TOC record: u16 record length (L + 11), u32 stored size, u32 unpacked size,
//   u8 compressed flag, u8 path length L, L path bytes ("/" separators), 0x00,
//   u16 copies N, N x u32 data offsets (from the first byte of the "RAWD" tag).
// STOC record: u16 record length (L + 4), u16 TOC index, u8 L, L path bytes, 0x00.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace mpak {

namespace layout {
inline constexpr std::uint64_t kHeaderSize = 16;  // file tag, two block sizes, two counts
inline constexpr std::uint64_t kTocBlockSize = 4;
inline constexpr std::uint64_t kStocBlockSize = 8;
inline constexpr std::uint64_t kEntryCount = 12;
inline constexpr std::uint64_t kStocCount = 14;
inline constexpr std::uint64_t kTocPosition = 16;  // the TOC block, tag included
inline constexpr std::uint64_t kTagSize = 4;

// Offsets inside a TOC record.
inline constexpr std::uint64_t kTocStoredSize = 2;
inline constexpr std::uint64_t kTocUnpackedSize = 6;
inline constexpr std::uint64_t kTocCompressedFlag = 10;
inline constexpr std::uint64_t kTocPathLength = 11;
inline constexpr std::uint64_t kTocPath = 12;
// After the path (offsets from the path's end, L bytes after kTocPath):
inline constexpr std::uint64_t kTocFixedSize = 15;  // record size = 15 + L + 4 * copies

// Offsets inside a STOC record.
inline constexpr std::uint64_t kStocTocIndex = 2;
inline constexpr std::uint64_t kStocPathLength = 4;
inline constexpr std::uint64_t kStocPath = 5;
inline constexpr std::uint64_t kStocFixedSize = 6;  // record size = 6 + L

inline constexpr std::size_t kMaxPathLength = 255;
}  // namespace layout

// A damaged or impossible archive. The text says what is wrong and where
// ("TOC record 12 at offset 0x1F4: path runs past the end of the file (4096 bytes)").
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One TOC record as the catalogue keeps it.
struct ArchiveEntry {
  std::string path;  // Windows-1252 bytes with "\" separators
  std::uint32_t storedSize = 0;
  std::uint32_t unpackedSize = 0;
  std::uint8_t compressedFlag = 0;  // 1 = raw DEFLATE; anything else is stored as is
  std::uint16_t copies = 0;
  std::vector<std::uint32_t> dataOffsets;  // one per copy, counted from the "RAWD" tag
  // Absolute file position of the first copy; the RAWD position when there are no copies.
  std::uint64_t dataPosition = 0;
  std::uint8_t inStoc = 0;         // 1 when a STOC record names this entry
  int stocRecord = -1;             // index of the first STOC record naming this entry
  std::uint64_t recordOffset = 0;  // file position of the TOC record

  bool hasData() const { return copies > 0; }
  bool isCompressed() const { return compressedFlag == 1; }
};

struct StocRecord {
  std::uint16_t tocIndex = 0;
  std::string path;  // Windows-1252 bytes, "/" separators as stored
  std::uint64_t recordOffset = 0;
};

// The 16-byte header and the block positions it gives.
struct ArchiveHeader {
  std::uint32_t tocBlockSize = 0;
  std::uint32_t stocBlockSize = 0;
  std::uint16_t entryCount = 0;
  std::uint16_t stocCount = 0;
  std::uint64_t tocPosition = layout::kTocPosition;  // at the "TOC" tag
  std::uint64_t stocPosition = 0;                    // at the "STOC" tag
  std::uint64_t rawdPosition = 0;                    // at the "RAWD" tag
};

// Header, TOC and STOC of one archive.
struct ArchiveIndex : ArchiveHeader {
  std::uint64_t fileSize = 0;
  std::vector<ArchiveEntry> entries;  // TOC order
  std::vector<StocRecord> stoc;       // file order
};

// Reads the header fields and the positions they give. Checks only that the file holds
// the 16 bytes; readArchiveIndex checks the block sizes against the file.
ArchiveHeader readArchiveHeader(std::span<const std::uint8_t> file);

// "" when `file` starts with the "MPAK" tag; otherwise "not an MPAK archive: it starts with
// 50 4B 03 04 ... ("PK..")", the first 8 bytes in hexadecimal and as text.
std::string notAnMpakArchive(std::span<const std::uint8_t> file);

// Reads the index of an archive whose whole content is `file`. Walks the records by
// their layout (the record-length fields, the terminators and the tags are not relied
// on), checks every count, length and offset against file.size() before reading, and
// throws FormatError naming the record (0-based, as TOC indices count), its offset and
// the fault. Block sizes below 4, or that put the "STOC" or "RAWD" tag past the end of
// the file, are refused; records running beyond their block are not (the TOC walk follows
// the records, the STOC walk starts after the STOC tag). Counts are unsigned 16-bit;
// there is no entry limit here. Data ranges are not checked (see copyInFile): a damaged
// entry must not stop the others from loading. The "MPAK" tag is not required either, but a
// file without it that does not read is refused as notAnMpakArchive says, not with the
// fault the reader met in bytes that were never an archive.
// A STOC record whose TOC index names no entry is kept in `stoc` and marks nothing.
// Allocates no more than the file's own size warrants; linear in the number of records.
ArchiveIndex readArchiveIndex(std::span<const std::uint8_t> file);

// Absolute file position of copy `copy` (0-based, below entry.dataOffsets.size()):
// RAWD position + that copy's data offset.
std::uint64_t copyPosition(const ArchiveIndex& index, const ArchiveEntry& entry, std::size_t copy);

// True when copy `copy` of `entry` (its stored size at its position) lies inside the file
// the index was read from (index.fileSize bytes).
bool copyInFile(const ArchiveIndex& index, const ArchiveEntry& entry, std::size_t copy);

// "" when copy `copy` lies inside the file; otherwise what is wrong ("copy 2 (812 bytes at
// offset 0x1F40) runs past the end of the file (8000 bytes)", copies counted from 1).
std::string copyFault(const ArchiveIndex& index, const ArchiveEntry& entry, std::size_t copy);

// True when every stored copy of `entry` lies inside the file. An entry with no copies is
// always in bounds.
bool dataInBounds(const ArchiveIndex& index, const ArchiveEntry& entry);

}  // namespace mpak
