#include "extract/verifier.h"

#include <algorithm>

#include "extract/entry_path.h"
#include "extract/extractor.h"
#include "util/byte_reader.h"

namespace extract {

namespace {

std::string copyRange(std::size_t copy, std::uint64_t bytes, std::uint64_t position) {
  return "copy " + std::to_string(copy + 1) + " (" + std::to_string(bytes) + " bytes at offset " +
         util::hexOffset(position) + ")";
}

}  // namespace

VerifyReport verifyArchive(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                           const PipelineOptions& options) {
  VerifyReport report;
  const auto order = everyEntry(index);
  report.entries = order.size();

  auto consume = [&](std::size_t position, EntryData& data) {
    const std::size_t i = order[position];
    const auto& entry = index.entries[i];
    std::vector<std::string> faults;

    if (auto path = checkEntryPath(entry.path); !path.safe())
      faults.push_back("unsafe path: " + path.unsafeReason);
    if (entry.dataOffsets.size() != entry.copies)
      faults.push_back("it has " + std::to_string(entry.dataOffsets.size()) + " data offsets for " +
                       std::to_string(entry.copies) + " copies");

    if (data.state == EntryData::State::Failed) {
      faults.push_back(data.inflated ? "the data does not inflate: " + data.reason : data.reason);
    } else if (data.inflated) {
      ++report.inflated;
    } else if (!entry.isCompressed() && entry.hasData() && entry.unpackedSize != entry.storedSize) {
      faults.push_back("it is stored as is, but its unpacked size (" +
                       std::to_string(entry.unpackedSize) + " bytes) is not its stored size (" +
                       std::to_string(entry.storedSize) + " bytes)");
    }
    data.buffer.reset();

    // Copies after the first: in range and equal to the first.
    const std::uint64_t size = archive.size();
    const std::uint64_t stored = entry.storedSize;
    const bool firstInRange = entry.dataPosition <= size && stored <= size - entry.dataPosition;
    for (std::size_t k = 1; k < entry.dataOffsets.size(); ++k) {
      const std::uint64_t at = mpak::copyPosition(index, entry, k);
      if (at > size || stored > size - at) {
        faults.push_back(copyRange(k, stored, at) + " runs past the end of the archive (" +
                         std::to_string(size) + " bytes)");
      } else if (firstInRange &&
                 !std::equal(archive.begin() + static_cast<std::ptrdiff_t>(at),
                             archive.begin() + static_cast<std::ptrdiff_t>(at + stored),
                             archive.begin() + static_cast<std::ptrdiff_t>(entry.dataPosition))) {
        faults.push_back(copyRange(k, stored, at) + " differs from copy 1");
      }
    }

    if (!faults.empty())
      ++report.badEntries;
    for (auto& what : faults)
      report.faults.push_back({i, std::move(what)});
  };

  forEachEntryData(archive, index, order, options, {}, consume);
  return report;
}

}  // namespace extract
