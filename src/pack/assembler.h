// Assembly: the planned files become an archive in one pass.
//
// The TOC and STOC are laid out from the plan before any data exists (mpak::ArchiveWriter).
// Worker threads read and compress the files ahead of the writer; the data is written in
// plan order, so the same tree and table give the same bytes whatever the thread count.
// Memory: the files read or compressed ahead of the writer are bounded by
// options.maxInFlightBytes besides the file the writer waits for. A file counts its size
// twice while it is compressed (its bytes and its DEFLATE data), then what it holds. So at
// most the bound plus twice the largest file are held at once: 32 + 2 x 37 MiB for the
// bench corpus. Against a base, a file counts nothing while it is compared with its base
// entry and waits for room only once it turns out changed; each thread keeps the largest
// entry it compared, stored and inflated (CompareBuffers), and what is kept of the base is
// copied file to file by the writer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "mpak/archive_writer.h"
#include "pack/base.h"
#include "pack/plan.h"
#include "util/progress.h"

namespace pack {

struct PackResult {
  std::size_t entries = 0, compressed = 0, stocEntries = 0;
  std::uint64_t bytes = 0;                   // the archive's size
  std::vector<std::uint32_t> storedSizes;    // per entry, as written
  std::vector<std::uint32_t> unpackedSizes;  // per entry: the bytes read
  bool previousKept = false;  // packArchive kept the replaced archive as keepPrevious
  // Against a base (Plan::base): per entry what became of it, and the damaged base
  // entries (entry, what is wrong).
  std::vector<Outcome> outcomes;
  std::vector<std::pair<std::size_t, std::string>> damaged;
};

// What a pack against a base kept, compressed again, added and removed.
RepackReport repackReport(const Plan& plan, const PackResult& result);

// Called on the calling thread after entry `n` (1-based) of `total` is written.
using PackObserver =
    std::function<void(std::size_t n, std::size_t total, const PlannedEntry& entry)>;

// Writes the archive of `plan`, reading the files below `root`, into `sink`. Throws
// PackError naming a file that cannot be read, mpak::FormatError when the data passes the
// 32-bit offsets, and whatever the sink or the observer throws. `progress` counts entries
// written; asked to stop, it throws util::Cancelled before the next entry is written.
PackResult assemble(const std::filesystem::path& root, const Plan& plan, mpak::Sink& sink,
                    const PackOptions& options, const PackObserver& observer = {},
                    util::Progress& progress = util::Progress::none());

// Places a sink between the assembler and the file (tests use it to fail a write).
using SinkFilter = std::function<std::unique_ptr<mpak::Sink>(mpak::Sink& file)>;

// assemble() into a temporary file beside `target`, then reads the new archive's index
// back and checks every entry against the plan, and only then renames it over `target`.
// On any failure the temporary file is removed and `target` stays as it was; a base
// (Plan::base) is let go of before the rename, so `target` may be the base itself. With
// `keepPrevious` given, an archive at `target` is kept under that name once the new one is
// complete.
PackResult packArchive(const std::filesystem::path& root, const Plan& plan,
                       const std::filesystem::path& target, const PackOptions& options,
                       const PackObserver& observer = {}, const SinkFilter& filter = {},
                       const std::filesystem::path& keepPrevious = {},
                       util::Progress& progress = util::Progress::none());

}  // namespace pack
