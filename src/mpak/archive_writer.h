// The MPAK archive writer: one pass, streaming.
//
// The TOC and STOC sizes depend only on the paths and the copies, so the writer lays out
// the header, the TOC (with zero data offsets), the STOC, and the "RAWD" tag as soon as it
// knows the entries, then streams every entry's stored data in TOC order, and at the end
// writes the completed TOC records in place. Output goes through a Sink; FileSink writes
// to a temporary file beside the target and renames it over the target only on commit().
//
// Not thread-safe: one writer, one sink, one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mpak/archive.h"
#include "platform/files.h"
#include "platform/temporary.h"

namespace mpak {

// Bytes to store that lie in a file already: `size` bytes at `offset` of `file`, named
// `source` in messages ("base archive").
struct FileBytes {
  platform::File* file = nullptr;
  std::uint64_t offset = 0, size = 0;
  std::string_view source = "archive";

  // Reads `out.size()` bytes from `at` bytes in. Throws platform::MappingChanged when the
  // file ends first, std::system_error ("cannot read the <source>") when it cannot be read.
  void read(std::uint64_t at, std::span<std::uint8_t> out) const;
};

// Where archive bytes go. write() appends at position(); writeAt() overwrites bytes that
// were written before (offset + size <= position()) and leaves position() unchanged.
// Failures throw (std::system_error for files).
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  virtual void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  virtual std::uint64_t position() const = 0;
  // Appends the bytes of a file. Here they are read in and written; a file sink copies
  // them within the system, a run of them at once, so that a failure may show at a later
  // call. Throws platform::MappingChanged when the file ends first.
  virtual void copy(const FileBytes& bytes);
};

class MemorySink : public Sink {
 public:
  void write(std::span<const std::uint8_t> bytes) override;
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  std::uint64_t position() const override { return m_bytes.size(); }

  const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
  std::vector<std::uint8_t> take() { return std::move(m_bytes); }

 private:
  std::vector<std::uint8_t> m_bytes;
};

// Writes to a new temporary file in the target's folder. commit() flushes, closes and
// renames it over `target` (replacing a file there); destroying the sink without commit()
// removes the temporary file, so a failed write never leaves a partial archive behind.
// Errors throw std::system_error whose text names the target path.
class FileSink : public Sink {
 public:
  explicit FileSink(std::filesystem::path target);
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  void write(std::span<const std::uint8_t> bytes) override;
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  void copy(const FileBytes& bytes) override;
  std::uint64_t position() const override { return m_position; }

  // Renames the file written over the target. With `previous` given, an archive already
  // at the target is first kept under that name (replacing what was there), so the build
  // before this one survives; returns true when one was kept. A failure (also to keep the
  // earlier archive) throws and leaves the target as it was.
  bool commit(const std::filesystem::path& previous = {});
  // The file written so far, until commit() renames it (copies still waiting are made by
  // the next write).
  const std::filesystem::path& temporaryPath() const { return m_staged; }

 private:
  void writeAll(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  void advance(std::uint64_t written);
  void copyPending();

  std::filesystem::path m_target;
  std::filesystem::path m_staged;
  platform::TemporaryFile m_temporary;
  platform::File m_file;
  std::uint64_t m_position = 0;
  std::uint64_t m_writing = 0;  // the bytes before it are on their way to the disk
  FileBytes m_pending;          // copy() bytes not yet copied: they end at m_position
  static constexpr std::uint64_t kWriteAhead = std::uint64_t{8} << 20;
};

// What the writer needs to know of an entry before any data is written.
struct WriterEntry {
  std::string path;  // Windows-1252 bytes, "/" separators, 1 to 255 bytes
  std::uint16_t copies = 1;
  bool inStoc = false;
};

// Counts are handled as signed 16-bit by the archives' users; the format's 16-bit fields
// themselves hold up to 65535.
inline constexpr std::size_t kMaxArchiveEntries = 32767;
inline constexpr std::size_t kFormatMaxEntries = 65535;

class ArchiveWriter {
 public:
  // Validates the entries and writes the header, the TOC with zero data offsets, the STOC
  // (one record per member naming its TOC position, in TOC order or, given, in the order
  // of `stocOrder`: the members' TOC indices) and the "RAWD" tag. Throws FormatError
  // naming the entry for an empty path or one longer than 255 bytes, more than
  // `maxEntries` (at most 65535) entries or STOC records, or blocks whose size does not
  // fit 32 bits; std::invalid_argument when `stocOrder` is not the members, each once.
  ArchiveWriter(Sink& out, std::vector<WriterEntry> entries,
                std::size_t maxEntries = kMaxArchiveEntries,
                std::vector<std::size_t> stocOrder = {});

  // Stores the next entry's data (TOC order), `copies` times one after another. The
  // unpacked size and the flag are written as given: whether they describe `stored` is
  // the caller's business. Throws FormatError when a copy would start beyond the 32-bit
  // data offsets, std::logic_error when called more often than there are entries.
  void addData(std::span<const std::uint8_t> stored, std::uint32_t unpackedSize, bool compressed);
  // The same for entry `entry` (TOC index): the data area takes the entries in the order
  // their data is given. std::logic_error for an entry given twice or out of range.
  void addDataOf(std::size_t entry, std::span<const std::uint8_t> stored,
                 std::uint32_t unpackedSize, bool compressed);
  // The same with the stored bytes taken from a file as they are (Sink::copy).
  void addDataOf(std::size_t entry, const FileBytes& stored, std::uint32_t unpackedSize,
                 bool compressed);

  // Writes the completed TOC records in place. Throws std::logic_error when not every
  // entry has had its data.
  void finish();

  std::size_t entryCount() const { return m_entries.size(); }
  std::size_t entriesDone() const { return m_writtenCount; }

 private:
  template <class WriteCopy>
  void storeData(std::size_t entry, std::uint64_t storedSize, std::uint32_t unpackedSize,
                 bool compressed, const WriteCopy& writeCopy);

  Sink& m_out;
  std::vector<WriterEntry> m_entries;
  std::vector<std::uint8_t> m_tocRecords;      // the TOC block without its tag
  std::vector<std::uint64_t> m_recordOffsets;  // into m_tocRecords
  std::uint64_t m_tocRecordsPosition = 0;      // sink position of the first TOC record
  std::uint64_t m_rawdPosition = 0;            // sink position of the "RAWD" tag
  std::size_t m_next = 0;                      // addData's next entry
  std::vector<bool> m_written;                 // per entry: its data is written
  std::size_t m_writtenCount = 0;
  bool m_finished = false;
};

// An entry with its data, for buildArchive.
struct BuiltEntry {
  std::string path;                  // "/" separators
  std::vector<std::uint8_t> stored;  // one copy's bytes
  std::uint32_t unpackedSize = 0;
  bool compressed = false;
  std::uint16_t copies = 1;
  bool inStoc = false;
};

// A whole archive in memory, through ArchiveWriter and a MemorySink.
std::vector<std::uint8_t> buildArchive(const std::vector<BuiltEntry>& entries);

}  // namespace mpak
