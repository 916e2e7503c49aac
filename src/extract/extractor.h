// The extraction engine: writes chosen entries of an archive below an extraction root.
//
// Each entry lands at root/<its path> ("\" and "/" in the catalogue path both separate
// folders; the names become UTF-8). Stored entries are written byte for byte; compressed
// entries are inflated. An entry with no stored copy is
// written as an empty file and nothing is read for it. Inflating runs on a pool of worker
// threads while the files are written and reported in the order given, on the calling
// thread. Nothing is ever written outside the root: unsafe paths are refused
// (extract/entry_path.h) and folders are walked without following links
// (extract/tree_writer.h). A damaged entry (data past the end of the archive, data that
// does not inflate) leaves no file and is reported; the other entries are still written.
// Data that inflates to another size than the unpacked-size field says is written whole
// and reported as resized.
//
// No Qt; the window's command and the command line both call this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "extract/entry_data.h"
#include "mpak/archive.h"
#include "util/progress.h"

namespace extract {

enum class EntryOutcome {
  Written,  // the file holds the entry's content
  Refused,  // unsafe path; nothing written
  Failed,   // damaged data or a file-system failure; nothing written
  Skipped,  // a file was there already and overwriting was not asked for
};

struct EntryReport {
  std::size_t entryIndex = 0;  // catalogue index
  EntryOutcome outcome = EntryOutcome::Written;
  // True for a compressed entry with data in the archive: it went (or was to go) through
  // inflating. False for refused and skipped entries.
  bool inflated = false;
  std::string reason;    // why refused, failed or skipped; "" when written
  std::string relative;  // UTF-8 path below the root with "/" separators; "" when refused
  // Written, but the data inflated to `size` bytes where the unpacked-size field says
  // otherwise.
  bool resized = false;
  std::uint64_t size = 0;  // bytes written
};

// Called on the calling thread once per entry, after the entry is settled: `what` is its
// report, `n` its 1-based place among `total` entries.
using ExtractObserver =
    std::function<void(const EntryReport& what, std::size_t n, std::size_t total)>;

// The reason of a Skipped report for an entry in ExtractOptions::keep.
inline constexpr std::string_view kKeptReason = "kept: the file was changed since extraction";

struct ExtractOptions {
  bool overwrite = true;  // replace existing files; otherwise leave them and report Skipped
  // Catalogue indices whose files are left as they are, whatever `overwrite` says: nothing
  // is read for them and they are reported Skipped with kKeptReason.
  std::unordered_set<std::size_t> keep;
  PipelineOptions pipeline;
};

struct ExtractSummary {
  std::size_t written = 0, refused = 0, failed = 0, skipped = 0;
  std::size_t inflatedWritten = 0;    // written entries whose content was inflated
  std::vector<EntryReport> problems;  // every entry not written, in order
  std::vector<EntryReport> resized;   // written entries whose size differs from the field

  std::size_t total() const { return written + refused + failed + skipped; }
};

// Extracts entries `selection` (catalogue indices into index.entries, handled in that
// order) of the archive whose whole content is `archive` below `root`, which must exist.
// Throws std::system_error when the root cannot be opened, std::out_of_range for an index
// outside the catalogue, and whatever `observer` throws; per-entry faults are reported,
// not thrown. A full or read-only disk, a file-size limit or an I/O error stops the
// extraction with std::runtime_error naming the file: the files written before it stay,
// the one being written is removed. `progress` counts entries (one step each, after the
// observer); asked to stop, the extraction throws util::Cancelled before the next entry,
// the entries settled before it done.
ExtractSummary extractEntries(std::span<const std::uint8_t> archive,
                              const mpak::ArchiveIndex& index,
                              std::span<const std::size_t> selection,
                              const std::filesystem::path& root, const ExtractOptions& options = {},
                              const ExtractObserver& observer = {},
                              util::Progress& progress = util::Progress::none());

// 0, 1, ..., entries - 1: every entry of an archive in catalogue order.
std::vector<std::size_t> everyEntry(const mpak::ArchiveIndex& index);

}  // namespace extract
