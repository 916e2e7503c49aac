// The archive index reader. Every position is computed in 64 bits from values that are at
// most 32 bits wide, so no sum below can overflow; every read is preceded by a check
// against the file size that names the record and the field.
#include <algorithm>
#include <string>
#include <string_view>

#include "mpak/archive.h"
#include "util/byte_reader.h"
#include "util/counted.h"

namespace mpak {

namespace {

using util::hexOffset;

class IndexReader {
 public:
  explicit IndexReader(std::span<const std::uint8_t> file) : m_file(file), m_reader(file) {}

  ArchiveIndex read() {
    readHeader();
    readToc();
    readStoc();
    return std::move(m_index);
  }

 private:
  std::uint64_t size() const { return m_file.size(); }

  std::string endOfFile() const {
    return "past the end of the file (" + std::to_string(size()) + " bytes)";
  }

  [[noreturn]] void fail(std::string_view where, std::uint64_t offset,
                         std::string_view what) const {
    throw FormatError(std::string(where) + " at offset " + hexOffset(offset) + ": " +
                      std::string(what));
  }

  void readHeader() {
    static_cast<ArchiveHeader&>(m_index) = readArchiveHeader(m_file);
    m_index.fileSize = size();

    // A block size below 4 cannot even hold the block's tag, and the walks below start
    // 4 bytes into each block.
    if (m_index.tocBlockSize < layout::kTagSize)
      headerFault("TOC block size", layout::kTocBlockSize, m_index.tocBlockSize,
                  "is smaller than the 4-byte TOC tag");
    if (m_index.stocBlockSize < layout::kTagSize)
      headerFault("STOC block size", layout::kStocBlockSize, m_index.stocBlockSize,
                  "is smaller than the 4-byte STOC tag");
    if (m_index.stocPosition + layout::kTagSize > size())
      headerFault("TOC block size", layout::kTocBlockSize, m_index.tocBlockSize,
                  "puts the STOC block " + endOfFile());
    if (m_index.rawdPosition + layout::kTagSize > size())
      headerFault("STOC block size", layout::kStocBlockSize, m_index.stocBlockSize,
                  "puts the RAWD block " + endOfFile());
  }

  [[noreturn]] void headerFault(std::string_view field, std::uint64_t offset, std::uint64_t value,
                                const std::string& what) const {
    throw FormatError("header: " + std::string(field) + " " + std::to_string(value) +
                      " at offset " + hexOffset(offset) + " " + what);
  }

  void readToc() {
    auto& entries = m_index.entries;
    // Every record takes at least 15 bytes, so the file bounds what can really be there.
    std::uint64_t tocStart = layout::kTocPosition + layout::kTagSize;
    std::uint64_t room = size() > tocStart ? (size() - tocStart) / layout::kTocFixedSize : 0;
    entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(m_index.entryCount, room)));

    std::uint64_t p = tocStart;
    for (std::uint32_t i = 0; i < m_index.entryCount; ++i) {
      // The numbered name is only built for a message; the bounds checks before each
      // read make the reads themselves safe.
      auto record = [i] { return "TOC record " + std::to_string(i); };
      if (p + layout::kTocPath > size())
        fail(record(), p, "record runs " + endOfFile());
      ArchiveEntry entry;
      entry.recordOffset = p;
      entry.storedSize = m_reader.u32(p + layout::kTocStoredSize, "TOC record");
      entry.unpackedSize = m_reader.u32(p + layout::kTocUnpackedSize, "TOC record");
      entry.compressedFlag = m_reader.u8(p + layout::kTocCompressedFlag, "TOC record");
      std::uint64_t pathLength = m_reader.u8(p + layout::kTocPathLength, "TOC record");
      if (p + layout::kTocPath + pathLength > size())
        fail(record(), p,
             "path (" + util::counted(pathLength, "byte", "bytes") + ") runs " + endOfFile());
      std::uint64_t copiesAt = p + layout::kTocPath + pathLength + 1;  // after the 0x00
      if (copiesAt + 2 > size())
        fail(record(), p, "copies field at offset " + hexOffset(copiesAt) + " runs " + endOfFile());
      entry.path = m_reader.text(p + layout::kTocPath, pathLength, "TOC record");
      std::replace(entry.path.begin(), entry.path.end(), '/', '\\');
      entry.copies = m_reader.u16(copiesAt, "TOC record");
      std::uint64_t offsetsAt = copiesAt + 2;
      std::uint64_t offsetsSize = 4ull * entry.copies;
      if (offsetsAt + offsetsSize > size())
        fail(record(), p,
             util::counted(entry.copies, "data offset", "data offsets") + " at offset " +
                 hexOffset(offsetsAt) + (entry.copies == 1 ? " runs " : " run ") + endOfFile());
      entry.dataOffsets.resize(entry.copies);
      for (std::uint32_t k = 0; k < entry.copies; ++k)
        entry.dataOffsets[k] = m_reader.u32(offsetsAt + 4ull * k, "TOC record");
      // An entry without copies has no stored data; it points at the RAWD tag rather than
      // at whatever bytes follow its record.
      entry.dataPosition =
          m_index.rawdPosition + (entry.copies > 0 ? entry.dataOffsets.front() : 0);
      entries.push_back(std::move(entry));
      p = offsetsAt + offsetsSize;
    }
  }

  void readStoc() {
    auto& entries = m_index.entries;
    std::uint64_t q = m_index.stocPosition + layout::kTagSize;
    std::uint64_t room = size() > q ? (size() - q) / layout::kStocFixedSize + 1 : 1;
    m_index.stoc.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(m_index.stocCount, room)));
    for (std::uint32_t i = 0; i < m_index.stocCount; ++i) {
      auto record = [i] { return "STOC record " + std::to_string(i); };
      if (q + layout::kStocPath > size())
        fail(record(), q, "record runs " + endOfFile());
      StocRecord stoc;
      stoc.recordOffset = q;
      stoc.tocIndex = m_reader.u16(q + layout::kStocTocIndex, "STOC record");
      std::uint64_t pathLength = m_reader.u8(q + layout::kStocPathLength, "STOC record");
      if (q + layout::kStocPath + pathLength > size())
        fail(record(), q,
             "path (" + util::counted(pathLength, "byte", "bytes") + ") runs " + endOfFile());
      stoc.path = m_reader.text(q + layout::kStocPath, pathLength, "STOC record");
      if (stoc.tocIndex < entries.size()) {
        ArchiveEntry& member = entries[stoc.tocIndex];
        if (member.inStoc == 0)
          member.stocRecord = static_cast<int>(i);
        member.inStoc = 1;
      }
      m_index.stoc.push_back(std::move(stoc));
      q += layout::kStocFixedSize + pathLength;
    }
  }

  std::span<const std::uint8_t> m_file;
  util::ByteReader m_reader;
  ArchiveIndex m_index;
};

}  // namespace

ArchiveHeader readArchiveHeader(std::span<const std::uint8_t> file) {
  if (file.size() < layout::kHeaderSize && !notAnMpakArchive(file).empty())
    throw FormatError(notAnMpakArchive(file));
  if (file.size() < layout::kHeaderSize)
    throw FormatError("header: the file is " + util::counted(file.size(), "byte", "bytes") +
                      " long, shorter than the 16-byte header");
  util::ByteReader reader(file);
  ArchiveHeader header;
  header.tocBlockSize = reader.u32(layout::kTocBlockSize, "TOC block size");
  header.stocBlockSize = reader.u32(layout::kStocBlockSize, "STOC block size");
  header.entryCount = reader.u16(layout::kEntryCount, "entry count");
  header.stocCount = reader.u16(layout::kStocCount, "STOC count");
  header.stocPosition = layout::kTocPosition + header.tocBlockSize;
  header.rawdPosition = header.stocPosition + header.stocBlockSize;
  return header;
}

std::string notAnMpakArchive(std::span<const std::uint8_t> file) {
  if (file.size() >= 4 && std::string_view(reinterpret_cast<const char*>(file.data()), 4) == "MPAK")
    return {};
  if (file.empty())
    return "not an MPAK archive: the file is empty";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex, text;
  for (std::size_t i = 0; i < std::min<std::size_t>(file.size(), 8); ++i) {
    const std::uint8_t b = file[i];
    hex += (i ? " " : "") + std::string{kHex[b >> 4], kHex[b & 15]};
    text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
  }
  return "not an MPAK archive: it starts with " + hex + " (\"" + text + "\")";
}

ArchiveIndex readArchiveIndex(std::span<const std::uint8_t> file) {
  try {
    return IndexReader(file).read();
  } catch (const std::runtime_error& e) {  // FormatError, or util::RangeError as one
    if (auto notArchive = notAnMpakArchive(file); !notArchive.empty())
      throw FormatError(notArchive);
    throw FormatError(e.what());
  }
}

std::uint64_t copyPosition(const ArchiveIndex& index, const ArchiveEntry& entry, std::size_t copy) {
  return index.rawdPosition + entry.dataOffsets.at(copy);
}

bool copyInFile(const ArchiveIndex& index, const ArchiveEntry& entry, std::size_t copy) {
  std::uint64_t start = copyPosition(index, entry, copy);
  return start <= index.fileSize && entry.storedSize <= index.fileSize - start;
}

std::string copyFault(const ArchiveIndex& index, const ArchiveEntry& entry, std::size_t copy) {
  if (copyInFile(index, entry, copy))
    return {};
  return "copy " + std::to_string(copy + 1) + " (" +
         util::counted(entry.storedSize, "byte", "bytes") + " at offset " +
         hexOffset(copyPosition(index, entry, copy)) + ") runs past the end of the file (" +
         util::counted(index.fileSize, "byte", "bytes") + ")";
}

bool dataInBounds(const ArchiveIndex& index, const ArchiveEntry& entry) {
  for (std::size_t k = 0; k < entry.dataOffsets.size(); ++k)
    if (!copyInFile(index, entry, k))
      return false;
  return true;
}

}  // namespace mpak
