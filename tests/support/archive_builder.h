// MPAK bytes laid out by hand, not by mpak::ArchiveWriter; any field can be overridden to build
// odd or damaged archives. Data offsets count from the "RAWD" tag (first byte: 4).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "util/deflate.h"

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
  std::string fileTag = "MPAK", tocTag = std::string("TOC\0", 4), stocTag = "STOC",
              rawdTag = "RAWD";
  // Defaults: T + 4 and S + 4, the numbers of records laid out.
  std::optional<std::uint32_t> tocBlockSize = std::nullopt, stocBlockSize = std::nullopt;
  std::optional<std::uint16_t> entryCount = std::nullopt, stocCount = std::nullopt;
};

struct BuiltArchive {
  std::string bytes;
  std::uint64_t stocPosition = 0, rawdPosition = 0;  // at the "STOC" and "RAWD" tags
  std::vector<std::uint64_t> recordOffsets;          // of each TOC record
};

inline std::vector<std::uint8_t> toBytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}
inline std::string toString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// `value` little-endian in `bytes` bytes.
inline std::string le(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>(value >> (8 * i) & 0xFF);
  return out;
}

// The STOC records are one per entry with inStoc (TOC order), then `extraStoc`.
inline BuiltArchive buildArchive(const std::vector<RawEntry>& entries,
                                 const std::vector<RawStoc>& extraStoc = {},
                                 const RawHeader& header = {}) {
  BuiltArchive built;
  std::string toc, stoc;
  std::uint32_t dataOffset = 4;
  std::vector<RawStoc> stocRecords;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    if (e.path.size() > 255)
      throw std::invalid_argument("archive builder: a path longer than 255 bytes");
    built.recordOffsets.push_back(20 + toc.size());
    toc += le(e.recordLength.value_or(e.path.size() + 11), 2) +
           le(e.storedSizeField.value_or(e.stored.size()), 4) +
           le(e.unpackedSize.value_or(e.stored.size()), 4) + static_cast<char>(e.flag) +
           static_cast<char>(e.pathLengthField.value_or(e.path.size())) + e.path +
           static_cast<char>(e.terminator) + le(e.copies, 2);
    std::vector<std::uint32_t> offsets;
    for (unsigned k = 0; k < e.copies; ++k, dataOffset += e.stored.size())
      offsets.push_back(dataOffset);
    for (std::uint32_t o : e.dataOffsets.value_or(offsets))
      toc += le(o, 4);
    if (e.inStoc)
      stocRecords.push_back({static_cast<std::uint16_t>(i), e.path, std::nullopt});
  }
  stocRecords.insert(stocRecords.end(), extraStoc.begin(), extraStoc.end());
  for (const RawStoc& s : stocRecords)
    stoc += le(s.recordLength.value_or(s.path.size() + 4), 2) + le(s.tocIndex, 2) +
            static_cast<char>(s.path.size()) + s.path + '\0';
  built.stocPosition = 20 + toc.size();
  built.rawdPosition = built.stocPosition + 4 + stoc.size();
  built.bytes = header.fileTag + le(header.tocBlockSize.value_or(toc.size() + 4), 4) +
                le(header.stocBlockSize.value_or(stoc.size() + 4), 4) +
                le(header.entryCount.value_or(entries.size()), 2) +
                le(header.stocCount.value_or(stocRecords.size()), 2) + header.tocTag + toc +
                header.stocTag + stoc + header.rawdTag;
  for (const RawEntry& e : entries)
    for (unsigned k = 0; k < e.copies; ++k)
      built.bytes += e.stored;
  return built;
}

inline std::string buildArchiveBytes(const std::vector<RawEntry>& entries,
                                     const std::vector<RawStoc>& extraStoc = {},
                                     const RawHeader& header = {}) {
  return buildArchive(entries, extraStoc, header).bytes;
}

// An entry stored as it is, and one stored DEFLATE-compressed (flag 1).
inline RawEntry stored(std::string path, std::string content) {
  return {.path = std::move(path), .stored = std::move(content)};
}
inline RawEntry compressed(std::string path, std::string_view content) {
  return {.path = std::move(path),
          .stored = toString(util::deflateRaw(toBytes(content), 6)),
          .unpackedSize = static_cast<std::uint32_t>(content.size()),
          .flag = 1};
}

}  // namespace testing_support
