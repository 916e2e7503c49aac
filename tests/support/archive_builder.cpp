#include "support/archive_builder.h"

#include <stdexcept>

namespace testing_support {

void appendU16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void appendU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint16_t readU16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                    (static_cast<unsigned char>(bytes.at(at + 1)) << 8));
}

std::uint32_t readU32(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return v;
}

void storeU16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes.at(at) = static_cast<char>(value & 0xFF);
  bytes.at(at + 1) = static_cast<char>(value >> 8);
}

void storeU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::vector<std::uint8_t> toBytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string toString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

BuiltArchive buildArchive(const std::vector<RawEntry>& entries,
                          const std::vector<RawStoc>& extraStoc, const RawHeader& header) {
  BuiltArchive built;

  // Where each entry's copies land: one after another, entries in TOC order.
  std::vector<std::vector<std::uint32_t>> natural;
  std::uint64_t dataOffset = 4;
  for (const RawEntry& e : entries) {
    std::vector<std::uint32_t> offsets;
    for (unsigned k = 0; k < e.copies; ++k) {
      offsets.push_back(static_cast<std::uint32_t>(dataOffset));
      if (e.writeData)
        dataOffset += e.stored.size();
    }
    natural.push_back(std::move(offsets));
  }

  std::string toc;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    if (e.path.size() > 255)
      throw std::invalid_argument("archive builder: a path longer than 255 bytes");
    auto pathLength = static_cast<std::uint8_t>(e.path.size());
    built.recordOffsets.push_back(20 + toc.size());
    appendU16(toc, e.recordLength.value_or(static_cast<std::uint16_t>(pathLength + 11)));
    appendU32(toc, e.storedSizeField.value_or(static_cast<std::uint32_t>(e.stored.size())));
    appendU32(toc, e.unpackedSize.value_or(static_cast<std::uint32_t>(e.stored.size())));
    toc.push_back(static_cast<char>(e.flag));
    toc.push_back(static_cast<char>(e.pathLengthField.value_or(pathLength)));
    toc += e.path;
    toc.push_back(static_cast<char>(e.terminator));
    appendU16(toc, e.copies);
    const std::vector<std::uint32_t>& offsets = e.dataOffsets ? *e.dataOffsets : natural[i];
    for (std::uint32_t o : offsets)
      appendU32(toc, o);
    built.dataOffsets.push_back(offsets);
  }

  std::vector<RawStoc> stocRecords;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].inStoc)
      stocRecords.push_back({static_cast<std::uint16_t>(i), entries[i].path, std::nullopt});
  stocRecords.insert(stocRecords.end(), extraStoc.begin(), extraStoc.end());

  built.stocPosition = 20 + toc.size();
  std::string stoc;
  for (const RawStoc& s : stocRecords) {
    built.stocRecordOffsets.push_back(built.stocPosition + 4 + stoc.size());
    auto pathLength = static_cast<std::uint8_t>(s.path.size());
    appendU16(stoc, s.recordLength.value_or(static_cast<std::uint16_t>(pathLength + 4)));
    appendU16(stoc, s.tocIndex);
    stoc.push_back(static_cast<char>(pathLength));
    stoc += s.path;
    stoc.push_back('\0');
  }
  built.rawdPosition = built.stocPosition + 4 + stoc.size();

  std::string& out = built.bytes;
  out += header.fileTag;
  appendU32(out, header.tocBlockSize.value_or(static_cast<std::uint32_t>(toc.size() + 4)));
  appendU32(out, header.stocBlockSize.value_or(static_cast<std::uint32_t>(stoc.size() + 4)));
  appendU16(out, header.entryCount.value_or(static_cast<std::uint16_t>(entries.size())));
  appendU16(out, header.stocCount.value_or(static_cast<std::uint16_t>(stocRecords.size())));
  out += header.tocTag;
  out += toc;
  out += header.stocTag;
  out += stoc;
  out += header.rawdTag;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    built.dataPositions.push_back(out.size());
    if (!entries[i].writeData)
      continue;
    for (unsigned k = 0; k < entries[i].copies; ++k)
      out += entries[i].stored;
  }
  return built;
}

std::string buildArchiveBytes(const std::vector<RawEntry>& entries,
                              const std::vector<RawStoc>& extraStoc, const RawHeader& header) {
  return buildArchive(entries, extraStoc, header).bytes;
}

}  // namespace testing_support
