#include "pack/assembler.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <utility>

#include "mpak/archive.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/deflate.h"
#include "util/work_pool.h"

namespace pack {

namespace {

struct Slot {
  // What goes into the archive. Buffers are not cleared before use: the bytes are read or
  // compressed into them.
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
  std::uint64_t unpacked = 0;  // the bytes read
  std::string error;           // why the file could not be read
  bool done = false;           // set by the pool
  std::exception_ptr failure;  // what else stopped it (the base could not be read)
  // Against a base: what became of the entry; when Kept, the writer copies the base's
  // stored bytes and `data` holds nothing.
  Outcome outcome = Outcome::New;
  std::string why;  // Damaged: what is wrong with the base entry

  std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
  std::size_t heldBytes() const { return outcome == Outcome::Kept ? 0 : size; }
};

// Reads the whole file `relative` below the open folder `root` into the slot.
void readFile(const platform::Folder& root, const std::string& relative, std::uint64_t size,
              Slot& slot) {
  platform::File file;
  if (int err = root.openFile(relative, file)) {
    slot.error = platform::errorText(err);
    return;
  }
  std::size_t capacity = static_cast<std::size_t>(size);
  slot.data = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  slot.size = 0;
  for (;;) {
    if (slot.size == capacity) {  // the file grew since it was listed
      capacity += 65536;
      auto bigger = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
      std::copy_n(slot.data.get(), slot.size, bigger.get());
      slot.data = std::move(bigger);
    }
    std::int64_t n = file.readAt(slot.size, {slot.data.get() + slot.size, capacity - slot.size});
    if (n < 0) {
      slot.error = platform::errorText(static_cast<int>(-n));
      break;
    }
    if (n == 0)
      break;
    slot.size += static_cast<std::size_t>(n);
  }
}

// True when the file `relative` holds exactly `content`: read piece by piece, up to the
// first differing byte. Sets `error` when the file cannot be read.
bool fileHolds(const platform::Folder& root, const std::string& relative,
               std::span<const std::uint8_t> content, std::span<std::uint8_t> piece,
               std::string& error) {
  platform::File file;
  if (int err = root.openFile(relative, file)) {
    error = platform::errorText(err);
    return false;
  }
  for (std::size_t done = 0;;) {
    const std::int64_t n = file.readAt(done, piece);
    if (n <= 0) {
      if (n < 0)
        error = platform::errorText(static_cast<int>(-n));
      return n == 0 && done == content.size();
    }
    const auto got = static_cast<std::size_t>(n);
    if (got > content.size() - done || std::memcmp(piece.data(), content.data() + done, got) != 0)
      return false;
    done += got;
  }
}

// Whether the file is compared with a base entry before anything else.
bool comparedWithBase(const Plan& plan, const PlannedEntry& entry) {
  return plan.base && entry.baseEntry >= 0;
}

// True when the file that has a base entry holds that entry's content under the same flag:
// the slot then takes the base's stored bytes as they are.
bool keptFromBase(const platform::Folder& root, const Plan& plan, const PlannedEntry& entry,
                  Slot& slot) {
  const BaseArchive& base = *plan.base;
  thread_local CompareBuffers buffers;
  buffers.stored.room(static_cast<std::size_t>(plan.largestStored));
  buffers.content.room(static_cast<std::size_t>(plan.largestContent) + 1);
  auto holds = [&](std::span<const std::uint8_t> content) {
    const auto piece = buffers.piece.room(CompareBuffers::kPiece).first(CompareBuffers::kPiece);
    return fileHolds(root, entry.source, content, piece, slot.error);
  };
  const auto index = static_cast<std::size_t>(entry.baseEntry);
  const mpak::ArchiveEntry& e = base.index().entries[index];
  slot.outcome = compareWithBase(base, index, entry.size, holds, buffers, slot.why);
  if (slot.outcome == Outcome::Kept && e.isCompressed() != entry.compress)
    slot.outcome = Outcome::Flipped;
  if (slot.outcome != Outcome::Kept || !slot.error.empty())
    return false;
  slot.size = e.storedSize;
  slot.unpacked = e.unpackedSize;
  return true;
}

// Loads one planned file into its slot: its base entry's bytes as they are, or the file,
// compressed when planned so. A file compared with its base entry holds nothing while it
// is compared; before it is read after all, `room()` waits until its bytes may be held
// (false: the pack is being given up).
void load(const platform::Folder& root, const PlannedEntry& entry, const Plan& plan, int level,
          Slot& slot, const std::function<bool()>& room) {
  try {
    const bool compared = comparedWithBase(plan, entry);
    if (compared && keptFromBase(root, plan, entry, slot))
      return;
    if (!slot.error.empty() || (compared && !room()))
      return;
    readFile(root, entry.source, entry.size, slot);
    slot.unpacked = slot.size;
    if (entry.compress && slot.error.empty()) {
      auto deflated = util::deflateRawUncleared(slot.bytes(), level);
      slot.data = std::move(deflated.bytes);
      slot.size = deflated.size;
    }
  } catch (const std::bad_alloc&) {
    slot.error = "not enough memory";
  } catch (...) {
    slot.failure = std::current_exception();
  }
}

// Bytes a file counts while it is read ahead of the writer: twice its size while it is
// compressed (its bytes and the DEFLATE output). Comparing a file with its base entry
// happens in the thread's CompareBuffers, which are not counted.
std::size_t heldWhileLoading(const PlannedEntry& entry) {
  return static_cast<std::size_t>(entry.compress ? 2 * entry.size : entry.size);
}

// The bytes held by files read ahead of the writer, slot by slot. The file the writer waits
// for (the head) counts apart, so that a large one does not keep the other threads idle: at
// most the bound plus that one file are held at once.
class Budget {
 public:
  Budget(std::size_t slots, std::size_t bound) : m_held(slots), m_bound(bound) {}

  // Whether `bytes` more fit now.
  bool fits(std::size_t bytes) {
    const std::lock_guard lock(m_mutex);
    return fitsLocked(bytes);
  }
  // Counts `bytes` for slot `k`.
  void take(std::size_t k, std::size_t bytes) {
    const std::lock_guard lock(m_mutex);
    m_held[k] += bytes;
    m_total += bytes;
  }
  // Waits until `bytes` fit or slot `k` is the head, then counts them; false when given up.
  bool await(std::size_t k, std::size_t bytes) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stopped || k == m_head || fitsLocked(bytes); });
    if (m_stopped)
      return false;
    m_held[k] += bytes;
    m_total += bytes;
    return true;
  }
  // Slot `k` holds at most `bytes` from now on.
  void settle(std::size_t k, std::size_t bytes) {
    const std::lock_guard lock(m_mutex);
    const std::size_t freed = m_held[k] - std::min(m_held[k], bytes);
    m_held[k] -= freed;
    m_total -= freed;
    m_changed.notify_all();
  }
  // The head is written: its bytes go and the next slot is the head.
  void advance() {
    const std::lock_guard lock(m_mutex);
    m_total -= std::exchange(m_held[m_head], 0);
    ++m_head;
    m_changed.notify_all();
  }
  // Wakes every waiting thread for good (the writer stopped).
  void stop() {
    const std::lock_guard lock(m_mutex);
    m_stopped = true;
    m_changed.notify_all();
  }

 private:
  bool fitsLocked(std::size_t bytes) const {
    const std::size_t head = m_head < m_held.size() ? m_held[m_head] : 0;
    return m_total - head + bytes <= m_bound;
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::size_t> m_held;
  std::size_t m_total = 0, m_head = 0;
  const std::size_t m_bound;
  bool m_stopped = false;
};

// Stops the budget when the writer leaves, by an error or a cancel too, so that no worker
// waits for room that will not come (declared after the pool: stopped before it is joined).
struct StopOnLeaving {
  Budget& budget;
  ~StopOnLeaving() { budget.stop(); }
};

// Hands the file loaded into `slot` (entry `index`) to the writer, lets go of its bytes and
// counts it.
void addEntry(mpak::ArchiveWriter& writer, std::size_t index, const PlannedEntry& entry,
              const Plan& plan, Slot& slot, PackResult& result) {
  if (slot.failure)
    std::rethrow_exception(slot.failure);
  if (!slot.error.empty())
    throw PackError("cannot read " + entry.source + ": " + slot.error);
  const auto unpacked = static_cast<std::uint32_t>(slot.unpacked);
  if (slot.outcome == Outcome::Kept)
    writer.addDataOf(index, plan.base->stored(static_cast<std::size_t>(entry.baseEntry)), unpacked,
                     entry.compress);
  else
    writer.addDataOf(index, slot.bytes(), unpacked, entry.compress);
  result.storedSizes[index] = static_cast<std::uint32_t>(slot.size);
  result.unpackedSizes[index] = static_cast<std::uint32_t>(slot.unpacked);
  result.outcomes[index] = slot.outcome;
  if (slot.outcome == Outcome::Damaged)
    result.damaged.emplace_back(index, slot.why);
  slot.data.reset();
  result.compressed += entry.compress;
  result.stocEntries += entry.inStoc;
  ++result.entries;
}

// A result with room for each entry's sizes and outcome.
PackResult resultFor(std::size_t total) {
  PackResult result;
  result.storedSizes.resize(total);
  result.unpackedSizes.resize(total);
  result.outcomes.resize(total);
  return result;
}

std::vector<mpak::WriterEntry> layoutOf(const Plan& plan) {
  std::vector<mpak::WriterEntry> layout;
  layout.reserve(plan.entries.size());
  for (const auto& e : plan.entries)
    layout.push_back({e.path, e.copies, e.inStoc});
  return layout;
}

// The archive read back must hold exactly what the plan and the writer said.
void checkWritten(const std::filesystem::path& file, const Plan& plan, const PackResult& result) {
  platform::MappedFile mapped(file);
  const auto index = mpak::readArchiveIndex(mapped.bytes());
  auto fail = [&](const std::string& what) {
    throw PackError("the archive written does not read back as planned: " + what);
  };
  if (index.entries.size() != plan.entries.size())
    fail(std::to_string(index.entries.size()) + " entries for " +
         std::to_string(plan.entries.size()));
  for (std::size_t i = 0; i < plan.entries.size(); ++i) {
    const auto& got = index.entries[i];
    const auto& want = plan.entries[i];
    std::string path = want.path;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (got.path != path || got.copies != want.copies || got.isCompressed() != want.compress ||
        (got.inStoc == 1) != want.inStoc || got.storedSize != result.storedSizes[i] ||
        got.unpackedSize != result.unpackedSizes[i] || !mpak::dataInBounds(index, got))
      fail("entry " + std::to_string(i) + " (" + want.source + ")");
  }
}

}  // namespace

PackResult assemble(const std::filesystem::path& root, const Plan& plan, mpak::Sink& sink,
                    const PackOptions& options, const PackObserver& observer,
                    util::Progress& progress) {
  mpak::ArchiveWriter writer(sink, layoutOf(plan), options.maxEntries, plan.stocOrder);
  const platform::Folder rootFolder = openRootFolder(root);

  const std::size_t total = plan.entries.size();
  progress.begin(total);
  // Slot k holds the k-th entry whose data is written (plan.dataOrder, or TOC order).
  auto at = [&](std::size_t k) { return plan.dataOrder.empty() ? k : plan.dataOrder[k]; };
  std::vector<Slot> slots(total);
  Budget budget(total, options.maxInFlightBytes);
  // A file compared with its base entry counts nothing until it turns out to need reading.
  auto reserve = [&](std::size_t k) {
    const PlannedEntry& entry = plan.entries[at(k)];
    return comparedWithBase(plan, entry) ? 0 : heldWhileLoading(entry);
  };
  PackResult result = resultFor(total);
  util::WorkPool workers(options.threads);
  const StopOnLeaving stopper{budget};

  std::size_t next = 0;
  auto room = [&] { return next < total && budget.fits(reserve(next)); };
  for (std::size_t head = 0; head < total; ++head) {
    // Files start while there is room, and as soon as a finished one leaves some.
    for (bool headDone = false; !headDone;) {
      while (next == head || room()) {
        const std::size_t k = next++;
        budget.take(k, reserve(k));
        const PlannedEntry& entry = plan.entries[at(k)];
        workers.submit(slots[k].done, [&, k, level = options.level] {
          Slot& slot = slots[k];
          load(rootFolder, entry, plan, level, slot,
               [&] { return budget.await(k, heldWhileLoading(entry)); });
          budget.settle(k, slot.heldBytes());
        });
      }
      workers.waitUntil([&] {
        headDone = slots[head].done;
        return headDone || room();
      });
    }
    Slot& slot = slots[head];
    const PlannedEntry& entry = plan.entries[at(head)];
    util::stopIfCancelled(progress, head, total);
    addEntry(writer, at(head), entry, plan, slot, result);
    budget.advance();
    if (observer)
      observer(head + 1, total, entry);
    progress.step(head + 1, entry.source);
  }
  writer.finish();
  result.bytes = sink.position();
  return result;
}

PackResult packArchive(const std::filesystem::path& root, const Plan& plan,
                       const std::filesystem::path& target, const PackOptions& options,
                       const PackObserver& observer, const SinkFilter& filter,
                       const std::filesystem::path& keepPrevious, util::Progress& progress) {
  mpak::FileSink file(target);
  std::unique_ptr<mpak::Sink> filtered = filter ? filter(file) : nullptr;
  PackResult result =
      assemble(root, plan, filtered ? *filtered : file, options, observer, progress);
  checkWritten(file.temporaryPath(), plan, result);
  if (plan.base)  // it may be the archive replaced
    plan.base->close();
  result.previousKept = file.commit(keepPrevious);
  return result;
}

}  // namespace pack
