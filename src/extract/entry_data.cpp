#include "extract/entry_data.h"

#include <algorithm>
#include <deque>
#include <new>
#include <stdexcept>
#include <vector>

#include "util/byte_reader.h"
#include "util/deflate.h"
#include "util/work_pool.h"

namespace extract {

namespace {

// Slots waiting to be consumed, whatever their size: stored entries cost no memory but
// still take a place in the queue.
constexpr std::size_t kMaxSlots = 4096;

struct Slot {
  std::size_t position = 0;
  std::size_t costBytes = 0;
  EntryData data;
  bool needsRoom = false;  // the data holds more than the guess: inflate again when consumed
  bool done = false;       // set by the pool while a worker may touch the slot
};

// Inflates `stored` into a new buffer of `capacity` bytes. Returns false, with no buffer
// kept, when the data holds more than that and `capacity` is below `cap`, the most the
// data can give.
bool inflateInto(EntryData& data, std::span<const std::uint8_t> stored, std::uint64_t capacity,
                 std::uint64_t cap) {
  try {
    data.buffer = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  } catch (const std::bad_alloc&) {
    data.state = EntryData::State::Failed;
    data.reason = "there is not enough memory for its " + std::to_string(capacity) + " bytes";
    return true;
  }
  auto result = util::inflateRaw(stored, {data.buffer.get(), capacity});
  if (result.status == util::InflateStatus::Ok) {
    data.state = EntryData::State::Ready;
    data.bytes = {data.buffer.get(), result.outBytes};
    data.trailingBytes = stored.size() - result.inBytes;
    return true;
  }
  data.buffer.reset();
  if (result.status == util::InflateStatus::OutputFull && capacity < cap)
    return false;
  data.state = EntryData::State::Failed;
  data.reason = util::describe(util::InflateStatus::BadData);
  return true;
}

constexpr std::uint64_t kFirstRetryBytes = 1 << 20;

// The first guess of an inflated size: the unpacked-size field, capped at what the stored
// bytes can give.
std::size_t guessOf(const mpak::ArchiveEntry& entry) {
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(entry.unpackedSize, maxInflatedSize(entry.storedSize)));
}

// Throws std::out_of_range for an index that names no entry.
void checkOrder(const std::vector<mpak::ArchiveEntry>& entries,
                std::span<const std::size_t> order) {
  for (std::size_t i : order)
    if (i >= entries.size())
      throw std::out_of_range("item " + std::to_string(i) + " has no catalogue entry (" +
                              std::to_string(entries.size()) + " entries)");
}

// Settles the data of `entry` that needs no inflating: nothing stored (an empty file), data
// outside the archive, data stored as it is, or compressed data of nothing. False when it
// is to be inflated (`data.inflated` is set then).
bool settleWithoutInflating(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                            const mpak::ArchiveEntry& entry, EntryData& data) {
  if (!entry.hasData()) {
    data.state = EntryData::State::Ready;  // nothing stored: an empty file
    return true;
  }
  if (auto fault = mpak::copyFault(index, entry, 0); !fault.empty()) {
    data.state = EntryData::State::Failed;
    data.reason = std::move(fault);
    return true;
  }
  if (!entry.isCompressed()) {
    data.state = EntryData::State::Ready;
    data.bytes = archive.subspan(entry.dataPosition, entry.storedSize);
    return true;
  }
  data.inflated = true;
  if (entry.unpackedSize == 0 && entry.storedSize == 0) {
    data.state = EntryData::State::Ready;
    return true;
  }
  return false;
}

// Inflates the data of a slot that held more than its guess again, in buffers doubling
// from the guess: every try inflates from the start, so the work stays within twice that
// of the last try. Returns the size of the buffer that took it.
std::uint64_t inflateWithRoom(std::span<const std::uint8_t> archive,
                              const mpak::ArchiveEntry& entry, Slot& slot) {
  const std::uint64_t cap = maxInflatedSize(entry.storedSize);
  const auto stored = archive.subspan(entry.dataPosition, entry.storedSize);
  std::uint64_t capacity = slot.costBytes;
  do {
    capacity = std::min(cap, std::max<std::uint64_t>(capacity * 2, kFirstRetryBytes));
  } while (!inflateInto(slot.data, stored, capacity, cap));
  return capacity;
}

}  // namespace

std::size_t forEachEntryData(
    std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
    std::span<const std::size_t> order, const PipelineOptions& options,
    const std::function<bool(std::size_t position)>& skip,
    const std::function<void(std::size_t position, EntryData& data)>& consume) {
  const auto& entries = index.entries;
  checkOrder(entries, order);

  std::deque<Slot> slots;  // declared before the pool: the pool ends first
  util::WorkPool pool(options.threads);
  std::size_t inFlightBytes = 0, peakBytes = 0;
  std::size_t next = 0;

  // Settles a slot on the calling thread, or hands its inflating to the pool.
  auto start = [&](Slot& slot) {
    const auto& entry = entries[order[slot.position]];
    if (skip && skip(slot.position)) {
      slot.data.state = EntryData::State::Skipped;
      slot.done = true;
      return;
    }
    if (settleWithoutInflating(archive, index, entry, slot.data)) {
      slot.done = true;
      return;
    }
    slot.costBytes = guessOf(entry);
    inFlightBytes += slot.costBytes;
    peakBytes = std::max(peakBytes, inFlightBytes);
    pool.submit(slot.done, [&slot, stored = archive.subspan(entry.dataPosition, entry.storedSize),
                            cap = maxInflatedSize(entry.storedSize)] {
      slot.needsRoom = !inflateInto(slot.data, stored, slot.costBytes, cap);
    });
  };

  while (!slots.empty() || next < order.size()) {
    while (next < order.size() && slots.size() < kMaxSlots) {
      const auto& entry = entries[order[next]];
      std::size_t cost = entry.isCompressed() ? guessOf(entry) : 0;
      if (!slots.empty() && cost > 0 && inFlightBytes + cost > options.maxInFlightBytes)
        break;
      slots.emplace_back();
      slots.back().position = next++;
      start(slots.back());
    }
    Slot& head = slots.front();
    pool.waitFor(head.done);
    if (head.needsRoom) {
      const std::uint64_t capacity = inflateWithRoom(archive, entries[order[head.position]], head);
      inFlightBytes += capacity - head.costBytes;
      head.costBytes = capacity;
      peakBytes = std::max(peakBytes, inFlightBytes);
    }
    consume(head.position, head.data);
    inFlightBytes -= head.costBytes;
    slots.pop_front();
  }
  return peakBytes;
}

}  // namespace extract
