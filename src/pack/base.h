// Packing against a base archive: a file whose content its base entry still holds, under
// the same compressed flag, takes that entry's stored bytes as they are instead of being
// compressed again. The data and the STOC records follow the base's order (Plan::dataOrder,
// Plan::stocOrder), so an unedited tree packs back to the base byte for byte whichever
// writer made it, as long as its layout has nothing this writer cannot make (gaps, copies
// apart: baseLayoutDiffers says).
//
// The base is read through the same checks as any archive. An entry whose data runs past
// the end of the file, does not inflate or has copies that differ is damaged: its file is
// compressed again and the entry is reported, never copied.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace pack {

struct Plan;

class BaseArchive {
 public:
  // Reads the archive's index (through a mapping, let go of once read) and keeps the file
  // open to read and copy entries' data. Throws mpak::FormatError for an index that does
  // not read, std::system_error naming the path when the file cannot be opened,
  // platform::MappingChanged when it changed while the index was read.
  explicit BaseArchive(const std::filesystem::path& path);

  const mpak::ArchiveIndex& index() const { return m_index; }
  // The first entry of `path` (any separators, letter case ignored), or -1.
  int find(std::string_view path) const;
  // Reads `out.size()` bytes at `offset` (several threads may at once). Throws
  // platform::MappingChanged when the file ends first (it changed since its index was
  // read), std::system_error when it cannot be read.
  void read(std::uint64_t offset, std::span<std::uint8_t> out) const;
  // The stored bytes of entry `entry` (its first copy), to be copied as they are.
  mpak::FileBytes stored(std::size_t entry) const;
  // Lets go of the file (so that it can be replaced); the index stays.
  void close() { m_data = {}; }

 private:
  mpak::ArchiveIndex m_index;
  std::unordered_map<std::string, int> m_firstByPath;
  mutable platform::File m_data;
};

// What comparing works in: kept by each thread and used again and again, so that its pages
// are touched once (made at once as large as the plan's largest compare needs:
// Plan::largestStored, Plan::largestContent). `piece` holds a piece of a file or of a
// further copy.
struct CompareBuffers {
  platform::PageBuffer stored, content, piece;
  static constexpr std::size_t kPiece = std::size_t{1} << 20;
};

// What became of a planned entry against the base.
enum class Outcome : std::uint8_t {
  New,      // no base entry of its path
  Kept,     // the base entry's stored bytes, as they were
  Changed,  // its content differs from the base entry's: compressed again
  Flipped,  // same content, but the table flips the compressed flag: compressed again
  Damaged,  // the base entry is damaged: compressed again from the file
};

// Names each planned entry's base entry (Plan::baseEntries) and the base entries no file
// names any more (Plan::removed). The base must outlive the pack.
void matchBase(Plan& plan, BaseArchive& base);

// Compares a file of `fileSize` bytes with base entry `entry`: Kept when the file holds
// exactly its content (`holds(content)` says so) and the entry's data is sound, Changed
// when it differs, Damaged with `why` set when the entry's data cannot be trusted. Sizes
// are compared first and other sizes need no reading; the entry's stored bytes are read
// into `buffers.stored` and, compressed, inflated into `buffers.content`.
Outcome compareWithBase(const BaseArchive& base, std::size_t entry, std::uint64_t fileSize,
                        const std::function<bool(std::span<const std::uint8_t>)>& holds,
                        CompareBuffers& buffers, std::string& why);

// "" when a pack against the base can give it back byte for byte: its data lie one after
// another from the start of the data area to the end of the file, each entry's copies
// together, and its STOC names each member once. Otherwise what differs, for the report:
// such a base comes back entry for entry, not byte for byte.
std::string baseLayoutDiffers(const mpak::ArchiveIndex& index);

// The counts and the paths (UTF-8, "\" separators) of a pack against a base.
struct RepackReport {
  std::vector<std::string> kept, again, added, removed;
  std::vector<std::string> modified;  // of `again`: those whose content differs
  std::vector<std::string> damaged;   // "path: why"
  // "N entries kept as they were, M compressed again, K new, R removed"
  std::string summary() const;
};

}  // namespace pack
