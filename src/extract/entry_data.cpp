#include "extract/entry_data.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "util/byte_reader.h"
#include "util/deflate.h"

namespace extract {

namespace {

// Slots waiting to be consumed, whatever their size: stored entries cost no memory but
// still take a place in the queue.
constexpr std::size_t kMaxSlots = 4096;

struct Slot {
  std::size_t position = 0;
  std::size_t costBytes = 0;
  EntryData data;
  bool done = false;  // guarded by Pool::m_mutex while a worker may touch the slot
};

// A fixed set of threads running inflate jobs. The destructor drops the jobs not started
// and waits for the running ones, so no job outlives the slots it writes.
class Pool {
 public:
  explicit Pool(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i)
      m_threads.emplace_back([this] { run(); });
  }
  ~Pool() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
      m_jobs.clear();
    }
    m_workAvailable.notify_all();
    for (auto& t : m_threads)
      t.join();
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  void submit(Slot* slot, std::span<const std::uint8_t> stored, std::uint32_t unpackedBytes) {
    {
      std::lock_guard lock(m_mutex);
      m_jobs.push_back({slot, stored, unpackedBytes});
    }
    m_workAvailable.notify_one();
  }

  void waitFor(const Slot& slot) {
    std::unique_lock lock(m_mutex);
    m_jobDone.wait(lock, [&] { return slot.done; });
  }

 private:
  struct Job {
    Slot* slot;
    std::span<const std::uint8_t> stored;
    std::uint32_t unpackedBytes;
  };

  void run() {
    for (;;) {
      Job job{};
      {
        std::unique_lock lock(m_mutex);
        m_workAvailable.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
          return;
        job = m_jobs.front();
        m_jobs.pop_front();
      }
      inflateInto(job.slot->data, job.stored, job.unpackedBytes);
      {
        std::lock_guard lock(m_mutex);
        job.slot->done = true;
      }
      m_jobDone.notify_all();
    }
  }

  static void inflateInto(EntryData& data, std::span<const std::uint8_t> stored,
                          std::uint32_t unpackedBytes) {
    try {
      data.buffer = std::make_unique_for_overwrite<std::uint8_t[]>(unpackedBytes);
    } catch (const std::bad_alloc&) {
      data.state = EntryData::State::Failed;
      data.reason =
          "there is not enough memory for its " + std::to_string(unpackedBytes) + " unpacked bytes";
      return;
    }
    std::span<std::uint8_t> out(data.buffer.get(), unpackedBytes);
    auto status = util::inflateExact(stored, out);
    if (status == util::InflateStatus::Ok) {
      data.state = EntryData::State::Ready;
      data.bytes = out;
    } else {
      data.state = EntryData::State::Failed;
      data.reason = util::describe(status);
      data.buffer.reset();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_workAvailable, m_jobDone;
  std::deque<Job> m_jobs;
  bool m_stop = false;
  std::vector<std::thread> m_threads;
};

unsigned threadCount(unsigned wanted) {
  if (wanted > 0)
    return wanted;
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

std::string dataFault(const mpak::ArchiveEntry& entry, std::uint64_t archiveBytes) {
  if (!entry.hasData())
    return {};
  std::uint64_t start = entry.dataPosition;
  std::uint64_t count = entry.storedSize;
  if (start > archiveBytes || count > archiveBytes - start)
    return "its data (" + std::to_string(count) + " bytes at offset " + util::hexOffset(start) +
           ") runs past the end of the archive (" + std::to_string(archiveBytes) + " bytes)";
  if (entry.isCompressed() && entry.unpackedSize > count * kMaxDeflateRatio + kDeflateSlackBytes)
    return "its unpacked size (" + std::to_string(entry.unpackedSize) +
           " bytes) is more than its " + std::to_string(count) +
           " bytes of DEFLATE data can hold (the entry is damaged)";
  return {};
}

void forEachEntryData(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                      std::span<const std::size_t> order, const PipelineOptions& options,
                      const std::function<bool(std::size_t position)>& skip,
                      const std::function<void(std::size_t position, EntryData& data)>& consume) {
  const auto& entries = index.entries;
  for (std::size_t i : order)
    if (i >= entries.size())
      throw std::out_of_range("item " + std::to_string(i) + " has no catalogue entry (" +
                              std::to_string(entries.size()) + " entries)");

  std::deque<Slot> slots;  // declared before the pool: the pool ends first
  Pool pool(threadCount(options.threads));
  std::size_t inFlightBytes = 0;
  std::size_t next = 0;

  // Settles a slot on the calling thread, or hands its inflating to the pool.
  auto start = [&](Slot& slot) {
    const auto& entry = entries[order[slot.position]];
    auto& data = slot.data;
    if (skip && skip(slot.position)) {
      data.state = EntryData::State::Skipped;
      slot.done = true;
      return;
    }
    if (!entry.hasData()) {
      data.state = EntryData::State::Ready;  // nothing stored: an empty file
      slot.done = true;
      return;
    }
    if (auto fault = dataFault(entry, archive.size()); !fault.empty()) {
      data.state = EntryData::State::Failed;
      data.reason = std::move(fault);
      slot.done = true;
      return;
    }
    auto stored = archive.subspan(entry.dataPosition, entry.storedSize);
    if (!entry.isCompressed()) {
      data.state = EntryData::State::Ready;
      data.bytes = stored;
      slot.done = true;
      return;
    }
    data.inflated = true;
    if (entry.unpackedSize == 0 && entry.storedSize == 0) {
      data.state = EntryData::State::Ready;
      slot.done = true;
      return;
    }
    slot.costBytes = entry.unpackedSize;
    inFlightBytes += slot.costBytes;
    pool.submit(&slot, stored, entry.unpackedSize);
  };

  while (!slots.empty() || next < order.size()) {
    while (next < order.size() && slots.size() < kMaxSlots) {
      const auto& entry = entries[order[next]];
      std::size_t cost = entry.isCompressed() ? entry.unpackedSize : 0;
      if (!slots.empty() && cost > 0 && inFlightBytes + cost > options.maxInFlightBytes)
        break;
      slots.emplace_back();
      slots.back().position = next++;
      start(slots.back());
    }
    Slot& head = slots.front();
    pool.waitFor(head);
    consume(head.position, head.data);
    inFlightBytes -= head.costBytes;
    slots.pop_front();
  }
}

}  // namespace extract
