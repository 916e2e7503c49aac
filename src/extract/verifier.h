// Checking an archive without writing anything: every entry's path, every stored copy's
// data range, the copies against the first, and every compressed entry inflated in memory.
// Inflating runs on a pool of worker threads with bounded memory (extract/entry_data.h).
// Faults make an entry bad: data that cannot be read or inflated, an unsafe path, copies
// that differ. Warnings do not: data that inflates to another size than the unpacked-size
// field, and stored bytes after the end of the DEFLATE stream; extraction gives such an
// entry's data whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "extract/entry_data.h"
#include "mpak/archive.h"

namespace extract {

struct EntryFault {
  std::size_t entryIndex = 0;
  // What is wrong and where ("copy 2 (812 bytes at offset 0x1F40) runs past the end of
  // the archive (8000 bytes)").
  std::string what;
};

struct VerifyReport {
  std::size_t entries = 0;           // entries checked
  std::size_t inflated = 0;          // compressed entries that inflated correctly
  std::vector<EntryFault> faults;    // in catalogue order; an entry may have several
  std::size_t badEntries = 0;        // entries with at least one fault
  std::vector<EntryFault> warnings;  // in catalogue order
};

// Checks every entry of `index`, read from `archive` (the whole file). Never throws for
// a damaged entry; throws std::bad_alloc only when memory runs out outside the entries'
// own bounded buffers.
VerifyReport verifyArchive(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                           const PipelineOptions& options = {});

}  // namespace extract
