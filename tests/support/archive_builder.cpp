#include "support/archive_builder.h"

#include <stdexcept>

#include "util/deflate.h"

namespace testing_support {

namespace {

void appendLe(std::string& out, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::vector<std::uint8_t> toBytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}
std::string toString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

RawEntry stored(std::string path, std::string content) {
  return {.path = std::move(path), .stored = std::move(content)};
}
RawEntry compressed(std::string path, std::string_view content) {
  return {.path = std::move(path),
          .stored = toString(util::deflateRaw(toBytes(content), 6)),
          .unpackedSize = static_cast<std::uint32_t>(content.size()),
          .flag = 1};
}

BuiltArchive buildArchive(const std::vector<RawEntry>& entries,
                          const std::vector<RawStoc>& extraStoc, const RawHeader& header) {
  BuiltArchive built;
  std::string toc;
  std::uint32_t dataOffset = 4;
  std::vector<RawStoc> stocRecords;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    if (e.path.size() > 255)
      throw std::invalid_argument("archive builder: a path longer than 255 bytes");
    auto pathLength = static_cast<std::uint8_t>(e.path.size());
    std::vector<std::uint32_t> offsets;
    for (unsigned k = 0; k < e.copies;
         ++k, dataOffset += static_cast<std::uint32_t>(e.stored.size()))
      offsets.push_back(dataOffset);
    built.recordOffsets.push_back(20 + toc.size());
    appendLe(toc, e.recordLength.value_or(static_cast<std::uint16_t>(pathLength + 11)), 2);
    appendLe(toc, e.storedSizeField.value_or(static_cast<std::uint32_t>(e.stored.size())), 4);
    appendLe(toc, e.unpackedSize.value_or(static_cast<std::uint32_t>(e.stored.size())), 4);
    toc.push_back(static_cast<char>(e.flag));
    toc.push_back(static_cast<char>(e.pathLengthField.value_or(pathLength)));
    toc += e.path;
    toc.push_back(static_cast<char>(e.terminator));
    appendLe(toc, e.copies, 2);
    for (std::uint32_t o : e.dataOffsets.value_or(offsets))
      appendLe(toc, o, 4);
    if (e.inStoc)
      stocRecords.push_back({static_cast<std::uint16_t>(i), e.path, std::nullopt});
  }
  stocRecords.insert(stocRecords.end(), extraStoc.begin(), extraStoc.end());

  std::string stoc;
  for (const RawStoc& s : stocRecords) {
    auto pathLength = static_cast<std::uint8_t>(s.path.size());
    appendLe(stoc, s.recordLength.value_or(static_cast<std::uint16_t>(pathLength + 4)), 2);
    appendLe(stoc, s.tocIndex, 2);
    stoc.push_back(static_cast<char>(pathLength));
    stoc += s.path;
    stoc.push_back('\0');
  }
  built.stocPosition = 20 + toc.size();
  built.rawdPosition = built.stocPosition + 4 + stoc.size();

  std::string& out = built.bytes;
  out += header.fileTag;
  appendLe(out, header.tocBlockSize.value_or(static_cast<std::uint32_t>(toc.size() + 4)), 4);
  appendLe(out, header.stocBlockSize.value_or(static_cast<std::uint32_t>(stoc.size() + 4)), 4);
  appendLe(out, header.entryCount.value_or(static_cast<std::uint16_t>(entries.size())), 2);
  appendLe(out, header.stocCount.value_or(static_cast<std::uint16_t>(stocRecords.size())), 2);
  out += header.tocTag + toc + header.stocTag + stoc + header.rawdTag;
  for (const RawEntry& e : entries)
    for (unsigned k = 0; k < e.copies; ++k)
      out += e.stored;
  return built;
}

std::string buildArchiveBytes(const std::vector<RawEntry>& entries,
                              const std::vector<RawStoc>& extraStoc, const RawHeader& header) {
  return buildArchive(entries, extraStoc, header).bytes;
}

}  // namespace testing_support
