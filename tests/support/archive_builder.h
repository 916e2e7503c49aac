// Lays out MPAK archive bytes by hand, independently of mpak::ArchiveWriter, so readers
// are tested against bytes our writer did not make. Every field can be overridden to
// build odd or damaged archives. Data offsets count from the "RAWD" tag (first byte: 4).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct RawEntry {
  std::string path{};    // as stored ("/" separators, at most 255 bytes)
  std::string stored{};  // one copy's bytes, written `copies` times
  std::optional<std::uint32_t> unpackedSize = std::nullopt;  // default: stored.size()
  std::uint8_t flag = 0;
  std::uint16_t copies = 1;
  bool inStoc = false;  // adds a STOC record naming this entry
  // Overrides of what the record says; the bytes written stay as above.
  std::optional<std::uint16_t> recordLength = std::nullopt;     // default L + 11
  std::optional<std::uint32_t> storedSizeField = std::nullopt;  // default stored.size()
  std::optional<std::uint8_t> pathLengthField = std::nullopt;   // default path.size()
  std::uint8_t terminator = 0;
  std::optional<std::vector<std::uint32_t>> dataOffsets = std::nullopt;  // default: as laid out
};

struct RawStoc {
  std::uint16_t tocIndex = 0;
  std::string path{};
  std::optional<std::uint16_t> recordLength = std::nullopt;  // default L + 4
};

struct RawHeader {  // tags stay 4 bytes long
  std::string fileTag = "MPAK";
  std::string tocTag = std::string("TOC\0", 4);
  std::string stocTag = "STOC";
  std::string rawdTag = "RAWD";
  std::optional<std::uint32_t> tocBlockSize = std::nullopt;   // default T + 4
  std::optional<std::uint32_t> stocBlockSize = std::nullopt;  // default S + 4
  std::optional<std::uint16_t> entryCount = std::nullopt;
  std::optional<std::uint16_t> stocCount = std::nullopt;
};

struct BuiltArchive {
  std::string bytes;
  std::uint64_t stocPosition = 0;            // at the "STOC" tag as laid out
  std::uint64_t rawdPosition = 0;            // at the "RAWD" tag as laid out
  std::vector<std::uint64_t> recordOffsets;  // of each TOC record
};

// The STOC records are one per entry with inStoc (TOC order), then `extraStoc`.
BuiltArchive buildArchive(const std::vector<RawEntry>& entries,
                          const std::vector<RawStoc>& extraStoc = {}, const RawHeader& header = {});
std::string buildArchiveBytes(const std::vector<RawEntry>& entries,
                              const std::vector<RawStoc>& extraStoc = {},
                              const RawHeader& header = {});

// An entry stored as it is, and one stored DEFLATE-compressed (flag 1).
RawEntry stored(std::string path, std::string content);
RawEntry compressed(std::string path, std::string_view content);

std::vector<std::uint8_t> toBytes(std::string_view text);
std::string toString(const std::vector<std::uint8_t>& bytes);

}  // namespace testing_support
