// Lays out MPAK archive bytes by hand from a table of fields, independently of
// mpak::ArchiveWriter, so the reader and the extraction are tested against bytes our
// writer did not make. Every field can be overridden to build odd or damaged archives:
// wrong record lengths, odd tags and terminators, 0 copies, counts that do not match the
// records, data offsets anywhere; truncate the result for cut-off files.
//
// Layout: header, "TOC\0", the TOC records, "STOC", the STOC records, "RAWD", then each
// entry's stored bytes `copies` times, entries in TOC order. Data offsets count from the
// "RAWD" tag (the first stored byte has offset 4).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct RawEntry {
  std::string path{};    // as stored in the record ("/" separators)
  std::string stored{};  // one copy's bytes, written `copies` times
  std::optional<std::uint32_t> unpackedSize = std::nullopt;  // default: stored.size()
  std::uint8_t flag = 0;                                     // the compressed flag
  std::uint16_t copies = 1;
  bool inStoc = false;  // adds a STOC record naming this entry (see buildArchive)

  // Overrides of what the record says; the bytes written stay as above.
  std::optional<std::uint16_t> recordLength = std::nullopt;     // default L + 11
  std::optional<std::uint32_t> storedSizeField = std::nullopt;  // default stored.size()
  std::optional<std::uint8_t> pathLengthField =
      std::nullopt;  // default path.size() (path must be <= 255)
  std::uint8_t terminator = 0;
  std::optional<std::vector<std::uint32_t>> dataOffsets =
      std::nullopt;       // default: where the copies land
  bool writeData = true;  // false: no stored bytes at all
};

struct RawStoc {
  std::uint16_t tocIndex = 0;
  std::string path{};
  std::optional<std::uint16_t> recordLength = std::nullopt;  // default L + 4
};

// Tags should stay 4 bytes long for the positions in BuiltArchive to hold.
struct RawHeader {
  std::string fileTag = "MPAK";
  std::string tocTag = std::string("TOC\0", 4);
  std::string stocTag = "STOC";
  std::string rawdTag = "RAWD";
  std::optional<std::uint32_t> tocBlockSize = std::nullopt;   // default T + 4
  std::optional<std::uint32_t> stocBlockSize = std::nullopt;  // default S + 4
  std::optional<std::uint16_t> entryCount = std::nullopt;     // default entries.size()
  std::optional<std::uint16_t> stocCount = std::nullopt;      // default the number of STOC records
};

struct BuiltArchive {
  std::string bytes;
  std::uint64_t stocPosition = 0;  // at the "STOC" tag (as laid out, whatever the header says)
  std::uint64_t rawdPosition = 0;  // at the "RAWD" tag
  std::vector<std::uint64_t> recordOffsets;             // file position of each TOC record
  std::vector<std::uint64_t> stocRecordOffsets;         // file position of each STOC record
  std::vector<std::vector<std::uint32_t>> dataOffsets;  // as written into each record
  std::vector<std::uint64_t> dataPositions;             // where each entry's stored bytes begin
                                             // (for an entry with copies: its first copy)
};

// The STOC records are first one per entry with inStoc (TOC order, naming its index and
// path), then `extraStoc` as given.
BuiltArchive buildArchive(const std::vector<RawEntry>& entries,
                          const std::vector<RawStoc>& extraStoc = {}, const RawHeader& header = {});

// Just the bytes of buildArchive.
std::string buildArchiveBytes(const std::vector<RawEntry>& entries,
                              const std::vector<RawStoc>& extraStoc = {},
                              const RawHeader& header = {});

// Little-endian helpers for hand-made bytes.
void appendU16(std::string& out, std::uint16_t value);
void appendU32(std::string& out, std::uint32_t value);
std::uint16_t readU16(std::string_view bytes, std::size_t at);
std::uint32_t readU32(std::string_view bytes, std::size_t at);
void storeU16(std::string& bytes, std::size_t at, std::uint16_t value);
void storeU32(std::string& bytes, std::size_t at, std::uint32_t value);

// Bytes as the span type the readers take, and back.
std::vector<std::uint8_t> toBytes(std::string_view text);
std::string toString(const std::vector<std::uint8_t>& bytes);

}  // namespace testing_support
