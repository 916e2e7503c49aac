#include "extract/extractor.h"

#include <cerrno>
#include <numeric>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "extract/entry_path.h"
#include "extract/tree_writer.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/cp1252.h"
#include "util/cp1252_case.h"

namespace extract {

namespace {
constexpr std::string_view kExistsReason = "the file exists";

// Writes the entry's content at its path: Skipped when a file is there and is not to be
// replaced, Failed when the file cannot be written. A full or read-only disk, an I/O error
// or a page of the archive that is gone stops the extraction instead.
void writeEntry(TreeWriter& writer, const EntryPath& path, const EntryData& data,
                const ExtractOptions& options, const std::filesystem::path& root,
                const platform::MappingWatch& mapping, EntryReport& report) {
  mapping.check();
  try {
    if (writer.write(path.names, data.bytes, options.overwrite) == TreeWriter::Result::Exists) {
      report.outcome = EntryOutcome::Skipped;
      report.reason = kExistsReason;
    }
  } catch (const WriteError& e) {
    if (e.error() == EFAULT)  // written straight from a page that is gone
      throw platform::MappingChanged();
    if (e.diskFailure())
      throw std::runtime_error(std::string(e.what()) + " (below " + platform::utf8(root) +
                               "); extraction stopped");
    report.outcome = EntryOutcome::Failed;
    report.reason = e.what();
  }
}

// Counts a settled entry; keeps its report when it was not written or was resized.
void tally(ExtractSummary& summary, const EntryReport& report) {
  switch (report.outcome) {
    case EntryOutcome::Written:
      ++summary.written;
      if (report.inflated)
        ++summary.inflatedWritten;
      break;
    case EntryOutcome::Refused:
      ++summary.refused;
      break;
    case EntryOutcome::Failed:
      ++summary.failed;
      break;
    case EntryOutcome::Skipped:
      ++summary.skipped;
      break;
  }
  if (report.outcome != EntryOutcome::Written)
    summary.problems.push_back(report);
  if (report.resized)
    summary.resized.push_back(report);
}

// Where names that differ only in letter case are one file, the first entry of such a path
// is written and the others are refused by name, never written over it.
class CaseClashes {
 public:
  // Why the entry at `path` (Windows-1252) is refused; "" when it is not.
  std::string check(std::string_view path) {
    if (!platform::namesIgnoreCase())
      return {};
    auto [first, isFirst] = m_firstOfFolded.emplace(util::foldCaseCp1252(path), path);
    if (isFirst || first->second == path)
      return {};
    return "on this system it is the same file as " + util::cp1252ToUtf8(first->second) +
           ", which is kept";
  }

 private:
  std::unordered_map<std::string, std::string_view> m_firstOfFolded;
};

void notWritten(EntryReport& report, EntryOutcome outcome, std::string_view why) {
  report.outcome = outcome;
  report.reason = why;
}

}  // namespace

ExtractSummary extractEntries(std::span<const std::uint8_t> archive,
                              const mpak::ArchiveIndex& index,
                              std::span<const std::size_t> selection,
                              const std::filesystem::path& root, const ExtractOptions& options,
                              const ExtractObserver& observer, util::Progress& progress) {
  TreeWriter writer(root);
  ExtractSummary summary;
  // A page of the archive that vanished under us (the file was truncated) reads as zeros:
  // nothing read after that is written.
  const platform::MappingWatch mapping;
  // The paths are checked up front, so refused and existing files cost no inflating.
  std::vector<EntryPath> paths(selection.size());
  // Why an entry is left alone: "" when it is to be written.
  std::vector<std::string_view> leftAlone(selection.size());

  CaseClashes clashes;
  auto skip = [&](std::size_t position) {
    const auto& entryPath = index.entries[selection[position]].path;
    auto& path = paths[position] = checkEntryPath(entryPath);
    if (path.safe())
      path.unsafeReason = clashes.check(entryPath);
    if (!path.safe())
      return true;
    if (options.keep.count(selection[position]))
      leftAlone[position] = kKeptReason;
    else if (!options.overwrite && writer.exists(path.names))
      leftAlone[position] = kExistsReason;
    return !leftAlone[position].empty();
  };
  auto consume = [&](std::size_t position, EntryData& data) {
    EntryReport report;
    report.entryIndex = selection[position];
    const auto& path = paths[position];
    report.relative = path.relative();
    report.inflated = data.inflated;
    util::stopIfCancelled(progress, position, selection.size());
    if (!path.safe())
      notWritten(report, EntryOutcome::Refused, path.unsafeReason);
    else if (!leftAlone[position].empty())
      notWritten(report, EntryOutcome::Skipped, leftAlone[position]);
    else if (data.state == EntryData::State::Failed)
      notWritten(report, EntryOutcome::Failed, data.reason);
    else
      writeEntry(writer, path, data, options, root, mapping, report);
    if (report.outcome == EntryOutcome::Written) {
      report.size = data.bytes.size();
      report.resized = data.sizeDiffers(index.entries[report.entryIndex]);
    }
    data.buffer.reset();  // release the inflated bytes before the observer yields
    tally(summary, report);
    if (observer)
      observer(report, position + 1, selection.size());
    progress.step(position + 1, report.relative);
  };

  progress.begin(selection.size());
  forEachEntryData(archive, index, selection, options.pipeline, skip, consume);
  return summary;
}

std::vector<std::size_t> everyEntry(const mpak::ArchiveIndex& index) {
  std::vector<std::size_t> all(index.entries.size());
  std::iota(all.begin(), all.end(), std::size_t{0});
  return all;
}

}  // namespace extract
