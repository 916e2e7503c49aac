// The content of archive entries, produced on a pool of worker threads and handed out in
// order on the calling thread.
//
// A stored entry's content is a view into the archive bytes (no copy); a compressed
// entry's content is inflated on a worker into a buffer of exactly its unpacked size.
// Before anything is allocated the entry is checked: its data must lie inside the archive
// and its unpacked size must be one that its stored size of DEFLATE data can hold, so no
// entry allocates more than about 1032 times the bytes it really has in the archive. The
// inflated bytes waiting to be consumed are bounded by maxInFlightBytes (one larger entry
// is let through alone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "mpak/archive.h"

namespace extract {

// DEFLATE expands at most 1032:1 (a 258-byte match per two bits); the slack covers the
// few bytes of very short streams.
inline constexpr std::uint64_t kMaxDeflateRatio = 1032;
inline constexpr std::uint64_t kDeflateSlackBytes = 4096;

struct EntryData {
  enum class State {
    Ready,    // `bytes` holds the entry's content
    Failed,   // `reason` says why there is no content
    Skipped,  // the caller asked not to load it
  };
  State state = State::Skipped;
  // True when the content comes (or was to come) from inflating: a compressed entry with
  // at least one stored copy whose data lies inside the archive.
  bool inflated = false;
  std::string reason;
  std::span<const std::uint8_t> bytes;
  std::unique_ptr<std::uint8_t[]> buffer;  // owns `bytes` when inflated
};

struct PipelineOptions {
  unsigned threads = 0;  // inflating threads; 0 = one per core
  std::size_t maxInFlightBytes = std::size_t{64} << 20;
};

// Why an entry's stored data cannot be used, or "" when it can: data past the end of
// `archiveBytes`, or an unpacked size no DEFLATE data of that stored size can give.
// Reads nothing.
std::string dataFault(const mpak::ArchiveEntry& entry, std::uint64_t archiveBytes);

// For each position p of `order` (catalogue indices), in order: calls skip(p) on the
// calling thread (true = do not load), loads entry order[p] of `index` from `archive`,
// and calls consume(p, data) on the calling thread. Inflating runs ahead on the workers.
// An exception from skip or consume stops the work (after the running inflations end) and
// propagates. Throws std::out_of_range when an index is not below index.entries.size().
void forEachEntryData(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                      std::span<const std::size_t> order, const PipelineOptions& options,
                      const std::function<bool(std::size_t position)>& skip,
                      const std::function<void(std::size_t position, EntryData& data)>& consume);

}  // namespace extract
