#include "extract/verifier.h"

#include <algorithm>

#include "extract/entry_path.h"
#include "extract/extractor.h"
#include "util/byte_reader.h"
#include "util/counted.h"

namespace extract {

namespace {

// The entry's first copy as loaded: a fault when it cannot be read or inflated, or when
// stored data is not the unpacked size; warnings for inflating to another size than the
// table's and for bytes after the DEFLATE data.
void checkData(std::size_t i, const mpak::ArchiveEntry& entry, const EntryData& data,
               VerifyReport& report, std::vector<std::string>& faults) {
  if (data.state == EntryData::State::Failed) {
    faults.push_back(data.inflated ? "the data does not inflate: " + data.reason : data.reason);
  } else if (data.inflated) {
    ++report.inflated;
    if (data.sizeDiffers(entry))
      report.warnings.push_back({i, "the data inflates to " + std::to_string(data.bytes.size()) +
                                        " bytes, the table says " +
                                        std::to_string(entry.unpackedSize)});
    if (data.trailingBytes > 0)
      report.warnings.push_back(
          {i, util::counted(data.trailingBytes, "stored byte follows", "stored bytes follow") +
                  " the end of the DEFLATE data"});
  } else if (!entry.isCompressed() && entry.hasData() && entry.unpackedSize != entry.storedSize) {
    faults.push_back("it is stored as is, but its unpacked size (" +
                     std::to_string(entry.unpackedSize) + " bytes) is not its stored size (" +
                     std::to_string(entry.storedSize) + " bytes)");
  }
}

// Copies after the first: in the file and equal to the first.
void checkCopies(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                 const mpak::ArchiveEntry& entry, std::vector<std::string>& faults) {
  const bool firstInFile = entry.hasData() && mpak::copyInFile(index, entry, 0);
  for (std::size_t k = 1; k < entry.dataOffsets.size(); ++k) {
    if (auto fault = mpak::copyFault(index, entry, k); !fault.empty()) {
      faults.push_back(std::move(fault));
    } else if (firstInFile) {
      const auto copy = archive.subspan(mpak::copyPosition(index, entry, k), entry.storedSize);
      const auto first = archive.subspan(entry.dataPosition, entry.storedSize);
      if (!std::equal(copy.begin(), copy.end(), first.begin()))
        faults.push_back("copy " + std::to_string(k + 1) + " (" +
                         util::counted(entry.storedSize, "byte", "bytes") + " at offset " +
                         util::hexOffset(mpak::copyPosition(index, entry, k)) +
                         ") differs from copy 1");
    }
  }
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
    checkData(i, entry, data, report, faults);
    data.buffer.reset();
    checkCopies(archive, index, entry, faults);

    if (!faults.empty())
      ++report.badEntries;
    for (auto& what : faults)
      report.faults.push_back({i, std::move(what)});
  };

  forEachEntryData(archive, index, order, options, {}, consume);
  return report;
}

}  // namespace extract
