#include "pack/assembler.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mpak/archive.h"
#include "util/deflate.h"
#include "util/mapped_file.h"
#include "util/work_pool.h"

namespace pack {

namespace {

struct Slot {
  std::vector<std::uint8_t> data;  // what goes into the archive
  std::uint64_t unpacked = 0;      // the bytes read
  std::string error;               // why the file could not be read
  bool done = false;               // set by the pool
};

// Reads the whole file `relative` below the open folder `rootFd`.
std::vector<std::uint8_t> readFile(int rootFd, const std::string& relative, std::uint64_t size,
                                   std::string& error) {
  std::vector<std::uint8_t> bytes;
  int fd = ::openat(rootFd, relative.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return bytes;
  }
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size())
      bytes.resize(bytes.size() + 65536);  // the file grew since it was listed
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = std::strerror(errno);
      break;
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

// Reads (and compresses) one planned file into its slot.
void load(int rootFd, const PlannedEntry& entry, int level, Slot& slot) {
  try {
    auto bytes = readFile(rootFd, entry.source, entry.size, slot.error);
    slot.unpacked = bytes.size();
    slot.data =
        entry.compress && slot.error.empty() ? util::deflateRaw(bytes, level) : std::move(bytes);
  } catch (const std::bad_alloc&) {
    slot.error = "not enough memory";
  }
}

struct FolderHandle {
  int fd;
  ~FolderHandle() { ::close(fd); }
};

std::vector<mpak::WriterEntry> layoutOf(const Plan& plan) {
  std::vector<mpak::WriterEntry> layout;
  layout.reserve(plan.entries.size());
  for (const auto& e : plan.entries)
    layout.push_back({e.path, e.copies, e.inStoc});
  return layout;
}

// The archive read back must hold exactly what the plan and the writer said.
void checkWritten(const std::filesystem::path& file, const Plan& plan, const PackResult& result) {
  util::MappedFile mapped(file);
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
                    const PackOptions& options, const PackObserver& observer) {
  mpak::ArchiveWriter writer(sink, layoutOf(plan));
  FolderHandle rootFolder{::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (rootFolder.fd < 0)
    throw PackError("cannot read the folder " + root.string() + ": " + std::strerror(errno));

  const std::size_t total = plan.entries.size();
  std::vector<Slot> slots(total);
  auto cost = [&](std::size_t i) {
    const auto& e = plan.entries[i];
    return static_cast<std::size_t>(e.compress ? 2 * e.size : e.size);
  };
  PackResult result;
  result.storedSizes.reserve(total);
  result.unpackedSizes.reserve(total);
  util::WorkPool workers(options.threads);

  std::size_t next = 0, inFlight = 0;
  for (std::size_t head = 0; head < total; ++head) {
    while (next < total && (next == head || inFlight + cost(next) <= options.maxInFlightBytes)) {
      inFlight += cost(next);
      Slot& slot = slots[next];
      const PlannedEntry& entry = plan.entries[next++];
      workers.submit(slot.done, [fd = rootFolder.fd, &entry, level = options.level, &slot] {
        load(fd, entry, level, slot);
      });
    }
    workers.waitFor(slots[head].done);
    Slot& slot = slots[head];
    const PlannedEntry& entry = plan.entries[head];
    if (!slot.error.empty())
      throw PackError("cannot read " + entry.source + ": " + slot.error);
    writer.addData(slot.data, static_cast<std::uint32_t>(slot.unpacked), entry.compress);
    result.storedSizes.push_back(static_cast<std::uint32_t>(slot.data.size()));
    result.unpackedSizes.push_back(static_cast<std::uint32_t>(slot.unpacked));
    std::vector<std::uint8_t>().swap(slot.data);
    inFlight -= cost(head);
    result.compressed += entry.compress;
    result.stocEntries += entry.inStoc;
    ++result.entries;
    if (observer)
      observer(head + 1, total, entry);
  }
  writer.finish();
  result.bytes = sink.position();
  return result;
}

PackResult packArchive(const std::filesystem::path& root, const Plan& plan,
                       const std::filesystem::path& target, const PackOptions& options,
                       const PackObserver& observer, const SinkFilter& filter) {
  mpak::FileSink file(target);
  std::unique_ptr<mpak::Sink> filtered = filter ? filter(file) : nullptr;
  PackResult result = assemble(root, plan, filtered ? *filtered : file, options, observer);
  checkWritten(file.temporaryPath(), plan, result);
  file.commit();
  return result;
}

}  // namespace pack
