#include "pack/assembler.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

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
  std::uint64_t unpacked = 0;        // the bytes read
  std::string error;                 // why the file could not be read
  std::atomic<std::size_t> held{0};  // bytes counted in flight for it
  bool done = false;                 // set by the pool
  // Against a base: what became of the entry; when Kept, `kept` holds the base's stored
  // bytes and `data` nothing.
  Outcome outcome = Outcome::New;
  std::span<const std::uint8_t> kept;
  std::string why;  // Damaged: what is wrong with the base entry

  std::span<const std::uint8_t> bytes() const {
    return outcome == Outcome::Kept ? kept : std::span<const std::uint8_t>{data.get(), size};
  }
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

// True when the file read into `slot` takes its base entry's stored bytes as they are: the
// same content under the same compressed flag.
bool keepFromBase(const BaseArchive& base, const PlannedEntry& entry, Slot& slot) {
  const auto index = static_cast<std::size_t>(entry.baseEntry);
  slot.outcome = compareWithBase(base, index, slot.bytes(), slot.why);
  const mpak::ArchiveEntry& e = base.index().entries[index];
  if (slot.outcome == Outcome::Kept && e.isCompressed() != entry.compress)
    slot.outcome = Outcome::Flipped;
  if (slot.outcome != Outcome::Kept)
    return false;
  slot.kept = base.bytes().subspan(e.dataPosition, e.storedSize);
  slot.data.reset();
  slot.size = e.storedSize;
  slot.unpacked = e.unpackedSize;
  return true;
}

// Reads one planned file into its slot, then takes its base entry's bytes or compresses it.
void load(const platform::Folder& root, const PlannedEntry& entry, const BaseArchive* base,
          int level, Slot& slot) {
  try {
    readFile(root, entry.source, entry.size, slot);
    slot.unpacked = slot.size;
    if (slot.error.empty() && base && entry.baseEntry >= 0 && keepFromBase(*base, entry, slot))
      return;
    if (entry.compress && slot.error.empty()) {
      auto deflated = util::deflateRawUncleared(slot.bytes(), level);
      slot.data = std::move(deflated.bytes);
      slot.size = deflated.size;
    }
  } catch (const std::bad_alloc&) {
    slot.error = "not enough memory";
  }
}

// Bytes a file counts while it is read ahead of the writer: twice its size while it is
// compared with its base entry (its bytes and the inflated entry) or compressed (its bytes
// and the DEFLATE output).
std::size_t heldWhileLoading(const PlannedEntry& entry) {
  return static_cast<std::size_t>(entry.compress || entry.baseEntry >= 0 ? 2 * entry.size
                                                                         : entry.size);
}

// Hands the file loaded into `slot` to the writer, lets go of its bytes and counts it.
void addEntry(mpak::ArchiveWriter& writer, const PlannedEntry& entry, Slot& slot,
              PackResult& result) {
  if (!slot.error.empty())
    throw PackError("cannot read " + entry.source + ": " + slot.error);
  writer.addData(slot.bytes(), static_cast<std::uint32_t>(slot.unpacked), entry.compress);
  result.storedSizes.push_back(static_cast<std::uint32_t>(slot.size));
  result.unpackedSizes.push_back(static_cast<std::uint32_t>(slot.unpacked));
  result.outcomes.push_back(slot.outcome);
  if (slot.outcome == Outcome::Damaged)
    result.damaged.emplace_back(result.entries, slot.why);
  slot.data.reset();
  result.compressed += entry.compress;
  result.stocEntries += entry.inStoc;
  ++result.entries;
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
  mpak::ArchiveWriter writer(sink, layoutOf(plan), options.maxEntries);
  const platform::Folder rootFolder = openRootFolder(root);

  const std::size_t total = plan.entries.size();
  progress.begin(total);
  std::vector<Slot> slots(total);
  // Bytes held by files read ahead of the writer: a file being compressed counts twice
  // (its bytes and the DEFLATE output), a file waiting to be written counts what it holds.
  std::atomic<std::size_t> inFlight{0};
  auto reserve = [&](std::size_t i) { return heldWhileLoading(plan.entries[i]); };
  PackResult result;
  result.storedSizes.reserve(total);
  result.unpackedSizes.reserve(total);
  util::WorkPool workers(options.threads);

  std::size_t next = 0;
  // The file the writer waits for counts apart, so that a large one does not keep the
  // other threads idle: at most the bound plus that one file are held at once.
  std::size_t head = 0;
  auto room = [&] {
    return next < total && inFlight - slots[head].held + reserve(next) <= options.maxInFlightBytes;
  };
  for (; head < total; ++head) {
    // Files start while there is room, and as soon as a finished one leaves some.
    for (bool headDone = false; !headDone;) {
      while (next == head || room()) {
        Slot& slot = slots[next];
        slot.held = reserve(next);
        inFlight += slot.held;
        const PlannedEntry& entry = plan.entries[next++];
        workers.submit(slot.done, [&, level = options.level] {
          load(rootFolder, entry, plan.base, level, slot);
          const std::size_t kept = std::min<std::size_t>(slot.held, slot.heldBytes());
          inFlight -= slot.held - kept;
          slot.held = kept;
        });
      }
      workers.waitUntil([&] {
        headDone = slots[head].done;
        return headDone || room();
      });
    }
    Slot& slot = slots[head];
    const PlannedEntry& entry = plan.entries[head];
    util::stopIfCancelled(progress, head, total);
    addEntry(writer, entry, slot, result);
    inFlight -= slot.held;
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
  if (plan.base) {  // what was taken from the base was read as it is, and it may be replaced
    plan.base->checkUnchanged();
    plan.base->close();
  }
  result.previousKept = file.commit(keepPrevious);
  return result;
}

}  // namespace pack
