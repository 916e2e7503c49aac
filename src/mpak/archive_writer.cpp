#include "mpak/archive_writer.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/temporary.h"
#include "util/byte_reader.h"

namespace mpak {

namespace {

constexpr std::uint64_t kU32Max = std::numeric_limits<std::uint32_t>::max();

void appendU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void storeU32(std::vector<std::uint8_t>& out, std::uint64_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

void appendText(std::vector<std::uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

std::string describeEntry(std::size_t index, const std::string& path) {
  return "entry " + std::to_string(index) + " (" + path + ")";
}

[[noreturn]] void failFile(int err, const std::string& what, const std::filesystem::path& path) {
  platform::throwFileError(err, what, path);
}

// Keeps the regular file at `target` under the name `previous` too (a hard link, or a copy
// where the file system has none), replacing `previous` in one rename. False when there is
// no such file.
bool keepAs(const std::filesystem::path& target, const std::filesystem::path& previous) {
  std::error_code ec;
  if (std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::regular)
    return false;
  const auto staged =
      previous.parent_path() /
      platform::pathFromUtf8(platform::temporaryName(platform::utf8(previous.filename())));
  platform::TemporaryFile guard(staged);
  std::filesystem::create_hard_link(target, staged, ec);
  if (ec) {
    ec.clear();
    std::filesystem::copy_file(target, staged, ec);
    if (ec)
      failFile(ec.value(), "cannot keep the earlier archive as", previous);
  }
  if (int err = platform::replaceFile(staged, previous))
    failFile(err, "cannot keep the earlier archive as", previous);
  guard.release();
  return true;
}

// The sizes of the TOC and STOC records (without their tags) and the STOC's record count.
struct BlockSizes {
  std::uint64_t tocBytes = 0;
  std::uint64_t stocBytes = 0;
  std::size_t stocCount = 0;
};

// Checks the entries' count and paths and measures the blocks they take.
BlockSizes measureBlocks(const std::vector<WriterEntry>& entries, std::size_t maxEntries) {
  maxEntries = std::min(maxEntries, kFormatMaxEntries);
  if (entries.size() > maxEntries)
    throw FormatError("archive: " + std::to_string(entries.size()) + " entries, more than " +
                      std::to_string(maxEntries));
  BlockSizes sizes;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const WriterEntry& e = entries[i];
    if (e.path.empty())
      throw FormatError(describeEntry(i, e.path) + ": the path is empty");
    if (e.path.size() > layout::kMaxPathLength)
      throw FormatError(describeEntry(i, e.path) + ": the path is " +
                        std::to_string(e.path.size()) + " bytes long, more than " +
                        std::to_string(layout::kMaxPathLength));
    sizes.tocBytes += layout::kTocFixedSize + e.path.size() + 4ull * e.copies;
    if (e.inStoc) {
      ++sizes.stocCount;
      sizes.stocBytes += layout::kStocFixedSize + e.path.size();
    }
  }
  // At most 65535 entries make the STOC count fit as well.
  if (sizes.tocBytes + layout::kTagSize > kU32Max)
    throw FormatError("archive: the TOC block would be " +
                      std::to_string(sizes.tocBytes + layout::kTagSize) +
                      " bytes, more than a 32-bit block size can hold");
  return sizes;
}

// The 16-byte header and the "TOC" tag.
std::vector<std::uint8_t> headerBlock(const BlockSizes& sizes, std::size_t entryCount) {
  std::vector<std::uint8_t> head;
  head.reserve(static_cast<std::size_t>(layout::kTocPosition + layout::kTagSize));
  appendText(head, "MPAK");
  appendU32(head, static_cast<std::uint32_t>(sizes.tocBytes + layout::kTagSize));
  appendU32(head, static_cast<std::uint32_t>(sizes.stocBytes + layout::kTagSize));
  appendU16(head, static_cast<std::uint16_t>(entryCount));
  appendU16(head, static_cast<std::uint16_t>(sizes.stocCount));
  appendText(head, std::string_view("TOC\0", 4));
  return head;
}

// One TOC record with zero sizes, flag and data offsets, which addData fills in.
void appendTocRecord(std::vector<std::uint8_t>& records, const WriterEntry& e) {
  auto pathLength = static_cast<std::uint8_t>(e.path.size());
  appendU16(records, static_cast<std::uint16_t>(pathLength + 11));
  appendU32(records, 0);  // stored size, filled in by addData
  appendU32(records, 0);  // unpacked size
  records.push_back(0);   // compressed flag
  records.push_back(pathLength);
  appendText(records, e.path);
  records.push_back(0);
  appendU16(records, e.copies);
  records.resize(records.size() + 4ull * e.copies, 0);
}

// The members' TOC indices in the order of `given`, or in TOC order when none is given.
std::vector<std::size_t> stocMembers(const std::vector<WriterEntry>& entries,
                                     std::vector<std::size_t> given) {
  std::vector<std::size_t> members;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].inStoc)
      members.push_back(i);
  if (given.empty())
    return members;
  std::vector<std::size_t> sorted = given;
  std::sort(sorted.begin(), sorted.end());
  if (sorted != members)
    throw std::invalid_argument("ArchiveWriter: the STOC order does not name each member once");
  return given;
}

// The "STOC" tag, one record per member naming its TOC position, and the "RAWD" tag.
std::vector<std::uint8_t> stocBlock(const std::vector<WriterEntry>& entries,
                                    const std::vector<std::size_t>& members,
                                    const BlockSizes& sizes) {
  std::vector<std::uint8_t> stoc;
  stoc.reserve(static_cast<std::size_t>(sizes.stocBytes + 2 * layout::kTagSize));
  appendText(stoc, "STOC");
  for (const std::size_t i : members) {
    const WriterEntry& e = entries[i];
    auto pathLength = static_cast<std::uint8_t>(e.path.size());
    appendU16(stoc, static_cast<std::uint16_t>(pathLength + 4));
    appendU16(stoc, static_cast<std::uint16_t>(i));
    stoc.push_back(pathLength);
    appendText(stoc, e.path);
    stoc.push_back(0);
  }
  appendText(stoc, "RAWD");
  return stoc;
}

}  // namespace

// ---- FileBytes and Sink ----

void FileBytes::read(std::uint64_t at, std::span<std::uint8_t> out) const {
  for (std::size_t done = 0; done < out.size();) {
    const std::int64_t n = file->readAt(offset + at + done, out.subspan(done));
    if (n == 0)
      throw platform::MappingChanged(source);
    if (n < 0)
      throw std::system_error(static_cast<int>(-n), std::generic_category(),
                              "cannot read the " + std::string(source));
    done += static_cast<std::size_t>(n);
  }
}

void Sink::copy(const FileBytes& bytes) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  std::vector<std::uint8_t> piece(
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size, kPiece)));
  for (std::uint64_t done = 0; done < bytes.size; done += piece.size()) {
    piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size - done, kPiece)));
    bytes.read(done, piece);
    write(piece);
  }
}

// ---- MemorySink ----

void MemorySink::write(std::span<const std::uint8_t> bytes) {
  m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void MemorySink::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > m_bytes.size() || bytes.size() > m_bytes.size() - offset)
    throw std::out_of_range("MemorySink: writeAt beyond the bytes written");
  std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

// ---- FileSink ----

FileSink::FileSink(std::filesystem::path target)
    : m_target(std::move(target)),
      m_staged(m_target.parent_path() / platform::pathFromUtf8(platform::temporaryName(
                                            platform::utf8(m_target.filename())))),
      m_temporary(m_staged) {
  if (int err = platform::File::createNew(m_staged, m_file))
    failFile(err, "cannot create", m_target);
}

FileSink::~FileSink() = default;

void FileSink::writeAll(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!m_file.isOpen())
    throw std::logic_error("FileSink: write after commit");
  copyPending();
  if (int err = m_file.writeAt(offset, bytes))
    failFile(err, "cannot write", m_target);
}

void FileSink::write(std::span<const std::uint8_t> bytes) {
  writeAll(m_position, bytes);
  advance(bytes.size());
}

void FileSink::advance(std::uint64_t written) {
  m_position += written;
  // The disk writes while the rest is made, so that commit() does not wait for it all.
  if (m_position - m_writing >= kWriteAhead) {
    m_file.startWriting(m_writing, m_position - m_writing);
    m_writing = m_position;
  }
}

void FileSink::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > m_position || bytes.size() > m_position - offset)
    throw std::out_of_range("FileSink: writeAt beyond the bytes written");
  writeAll(offset, bytes);
}

void FileSink::copy(const FileBytes& bytes) {
  if (!m_file.isOpen())
    throw std::logic_error("FileSink: write after commit");
  // Bytes that follow the ones waiting in the same file join them: the system is asked
  // once per run of kept entries (up to the write-ahead size), not once per entry.
  if (m_pending.file != bytes.file || m_pending.offset + m_pending.size != bytes.offset)
    copyPending();
  if (!m_pending.file)
    m_pending = {bytes.file, bytes.offset, 0, bytes.source};
  m_pending.size += bytes.size;
  m_position += bytes.size;
  if (m_pending.size >= kWriteAhead)
    copyPending();
}

void FileSink::copyPending() {
  if (!m_pending.file)
    return;
  const FileBytes pending = std::exchange(m_pending, {});
  // The waiting bytes end where the file does so far.
  if (int err =
          m_file.copyFrom(*pending.file, pending.offset, pending.size, m_position - pending.size)) {
    if (err == ENODATA)
      throw platform::MappingChanged(pending.source);
    failFile(err, "cannot write", m_target);
  }
  advance(0);
}

bool FileSink::commit(const std::filesystem::path& previous) {
  if (!m_file.isOpen())
    throw std::logic_error("FileSink: commit twice");
  copyPending();
  if (int err = m_file.flush())
    failFile(err, "cannot write", m_target);
  if (int err = m_file.close())
    failFile(err, "cannot write", m_target);
  const bool kept = !previous.empty() && keepAs(m_target, previous);
  if (int err = platform::replaceFile(m_staged, m_target))
    failFile(err, "cannot replace", m_target);
  m_temporary.release();
  return kept;
}

// ---- ArchiveWriter ----

ArchiveWriter::ArchiveWriter(Sink& out, std::vector<WriterEntry> entries, std::size_t maxEntries,
                             std::vector<std::size_t> stocOrder)
    : m_out(out), m_entries(std::move(entries)), m_written(m_entries.size()) {
  const BlockSizes sizes = measureBlocks(m_entries, maxEntries);
  const std::vector<std::uint8_t> head = headerBlock(sizes, m_entries.size());
  m_tocRecords.reserve(static_cast<std::size_t>(sizes.tocBytes));
  m_recordOffsets.reserve(m_entries.size());
  for (const WriterEntry& e : m_entries) {
    m_recordOffsets.push_back(m_tocRecords.size());
    appendTocRecord(m_tocRecords, e);
  }
  const std::vector<std::uint8_t> stoc =
      stocBlock(m_entries, stocMembers(m_entries, std::move(stocOrder)), sizes);

  std::uint64_t start = m_out.position();
  m_tocRecordsPosition = start + layout::kTocPosition + layout::kTagSize;
  m_out.write(head);
  m_out.write(m_tocRecords);
  m_out.write(stoc);
  m_rawdPosition = m_tocRecordsPosition + sizes.tocBytes + layout::kTagSize + sizes.stocBytes;
}

void ArchiveWriter::addData(std::span<const std::uint8_t> stored, std::uint32_t unpackedSize,
                            bool compressed) {
  if (m_next >= m_entries.size())
    throw std::logic_error("ArchiveWriter: more data than entries");
  addDataOf(m_next++, stored, unpackedSize, compressed);
}

void ArchiveWriter::addDataOf(std::size_t entry, std::span<const std::uint8_t> stored,
                              std::uint32_t unpackedSize, bool compressed) {
  storeData(entry, stored.size(), unpackedSize, compressed, [&] { m_out.write(stored); });
}

void ArchiveWriter::addDataOf(std::size_t entry, const FileBytes& stored,
                              std::uint32_t unpackedSize, bool compressed) {
  storeData(entry, stored.size, unpackedSize, compressed, [&] { m_out.copy(stored); });
}

template <class WriteCopy>
void ArchiveWriter::storeData(std::size_t entry, std::uint64_t storedSize,
                              std::uint32_t unpackedSize, bool compressed,
                              const WriteCopy& writeCopy) {
  if (entry >= m_entries.size() || m_written[entry] || m_finished)
    throw std::logic_error("ArchiveWriter: data for entry " + std::to_string(entry) +
                           " given twice or beyond the entries");
  const WriterEntry& e = m_entries[entry];
  if (storedSize > kU32Max)
    throw FormatError(describeEntry(entry, e.path) + ": " + std::to_string(storedSize) +
                      " stored bytes do not fit a 32-bit size");
  std::uint64_t record = m_recordOffsets[entry];
  storeU32(m_tocRecords, record + layout::kTocStoredSize, static_cast<std::uint32_t>(storedSize));
  storeU32(m_tocRecords, record + layout::kTocUnpackedSize, unpackedSize);
  m_tocRecords[record + layout::kTocCompressedFlag] = compressed ? 1 : 0;
  std::uint64_t offsetsAt = record + layout::kTocFixedSize + e.path.size();
  for (std::uint32_t k = 0; k < e.copies; ++k) {
    std::uint64_t dataOffset = m_out.position() - m_rawdPosition;
    if (dataOffset > kU32Max)
      throw FormatError(describeEntry(entry, e.path) + ": copy " + std::to_string(k) +
                        " would start at data offset " + util::hexOffset(dataOffset) +
                        ", beyond the 4 GiB that data offsets reach");
    storeU32(m_tocRecords, offsetsAt + 4ull * k, static_cast<std::uint32_t>(dataOffset));
    writeCopy();
  }
  m_written[entry] = true;
  ++m_writtenCount;
}

void ArchiveWriter::finish() {
  if (m_finished)
    throw std::logic_error("ArchiveWriter: finished twice");
  if (m_writtenCount != m_entries.size())
    throw std::logic_error("ArchiveWriter: finished after " + std::to_string(m_writtenCount) +
                           " of " + std::to_string(m_entries.size()) + " entries");
  m_out.writeAt(m_tocRecordsPosition, m_tocRecords);
  m_finished = true;
}

std::vector<std::uint8_t> buildArchive(const std::vector<BuiltEntry>& entries) {
  std::vector<WriterEntry> layoutEntries;
  layoutEntries.reserve(entries.size());
  for (const BuiltEntry& e : entries)
    layoutEntries.push_back({e.path, e.copies, e.inStoc});
  MemorySink sink;
  ArchiveWriter writer(sink, std::move(layoutEntries));
  for (const BuiltEntry& e : entries)
    writer.addData(e.stored, e.unpackedSize, e.compressed);
  writer.finish();
  return sink.take();
}

}  // namespace mpak
