// The content of archive entries, produced on a pool of worker threads and handed out in
// order on the calling thread.
//
// A stored entry's content is a view into the archive bytes (no copy); a compressed
// entry's content is inflated on a worker. The unpacked-size field is only the first guess
// of the content's size: the data decides. The guess is capped at what the entry's stored
// bytes of DEFLATE data can give at most (1032 times their size), so no allocation is
// trusted to the field. Data that holds more than the guess is inflated again on the
// calling thread, in buffers growing to that cap, once every entry before it is consumed.
//
// Memory: the inflated bytes waiting to be consumed are bounded by maxInFlightBytes,
// counted by each entry's guess; an entry larger than the bound is let through alone, and
// an entry whose data holds more than its guess adds its real size to that while it is
// the next to be consumed.
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

// The most bytes `storedBytes` of DEFLATE data can inflate to.
inline std::uint64_t maxInflatedSize(std::uint64_t storedBytes) {
  return storedBytes * kMaxDeflateRatio + kDeflateSlackBytes;
}

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
  // Inflated and Ready only: the stored bytes after the end of the DEFLATE stream.
  std::size_t trailingBytes = 0;

  // Inflated and Ready, but to another size than the entry's unpacked-size field.
  bool sizeDiffers(const mpak::ArchiveEntry& entry) const {
    return inflated && state == State::Ready && bytes.size() != entry.unpackedSize;
  }
};

struct PipelineOptions {
  unsigned threads = 0;  // inflating threads; 0 = one per core
  std::size_t maxInFlightBytes = std::size_t{64} << 20;
};

// For each position p of `order` (catalogue indices), in order: calls skip(p) on the
// calling thread (true = do not load), loads entry order[p] of `index` from `archive`,
// and calls consume(p, data) on the calling thread. Inflating runs ahead on the workers.
// An exception from skip or consume stops the work (after the running inflations end) and
// propagates. Throws std::out_of_range when an index is not below index.entries.size().
// Returns the most inflated bytes that were held at once (in-flight and being consumed).
std::size_t forEachEntryData(
    std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
    std::span<const std::size_t> order, const PipelineOptions& options,
    const std::function<bool(std::size_t position)>& skip,
    const std::function<void(std::size_t position, EntryData& data)>& consume);

}  // namespace extract
