#include "pack/plan.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <set>

#include "mpak/archive_writer.h"
#include "util/cp1252.h"
#include "util/text.h"

namespace pack {

namespace {

constexpr std::size_t kMaxPath = 255;

PlannedEntry planFile(const FoundFile& file, const mpak::LibraryTable* table,
                      const PackOptions& options, std::set<int>& usedLines) {
  PlannedEntry e;
  e.source = file.relative;
  e.size = file.size;
  bool unmappable = false;
  e.path = util::utf8ToCp1252(file.relative, &unmappable);
  if (unmappable)
    throw PackError(file.relative + ": the name has characters an archive path cannot hold " +
                    "(Windows-1252)");
  if (e.path.size() > kMaxPath)
    throw PackError(file.relative + ": the path is " + std::to_string(e.path.size()) +
                    " bytes long; an archive path holds at most 255");
  if (file.size > std::numeric_limits<std::uint32_t>::max())
    throw PackError(file.relative + ": the file is " + std::to_string(file.size) +
                    " bytes long; an archive entry holds less than 4 GiB");

  if (const mpak::TocLine* line = table ? table->find(e.path) : nullptr) {
    e.tableLine = line->lineNumber;
    e.compress = line->compress() || options.compressAll;
    e.copies = line->copies();
    e.inStoc = line->inStoc();
    e.copiesText = line->copiesField;
    e.stocText = line->stocField;
    usedLines.insert(line->lineNumber);
  }
  if (options.allStoc) {
    e.inStoc = true;
    e.stocText = "1";
  }
  return e;
}

}  // namespace

Plan makePlan(const FolderScan& scan, const mpak::LibraryTable* table, const PackOptions& options) {
  const std::size_t maxEntries = std::min(options.maxEntries, mpak::kFormatMaxEntries);
  if (scan.files.size() > maxEntries)
    throw PackError("the folder holds " + std::to_string(scan.files.size()) +
                    " files; an archive holds at most " + std::to_string(maxEntries) + " entries");
  Plan plan;
  std::set<int> usedLines;
  std::vector<PlannedEntry> found;
  found.reserve(scan.files.size());
  for (const auto& file : scan.files)
    found.push_back(planFile(file, table, options, usedLines));

  // Table order first, then the files no line names by path.
  std::vector<std::size_t> order(found.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const auto& x = found[a];
    const auto& y = found[b];
    const int lineX = x.tableLine ? x.tableLine : std::numeric_limits<int>::max();
    const int lineY = y.tableLine ? y.tableLine : std::numeric_limits<int>::max();
    return lineX != lineY ? lineX < lineY : x.path < y.path;
  });
  plan.walkOrder.resize(found.size());
  for (std::size_t k = 0; k < order.size(); ++k)
    plan.walkOrder[order[k]] = k;
  for (std::size_t i : order) {
    auto& e = found[i];
    plan.compressed += e.compress;
    plan.stocMembers += e.inStoc;
    if (e.tableLine == 0)
      plan.unnamedFiles.push_back(util::replaceAll(e.source, '/', '\\'));
    plan.entries.push_back(std::move(e));
  }
  if (plan.stocMembers > maxEntries)
    throw PackError(std::to_string(plan.stocMembers) +
                    " files would be STOC members; an archive holds at most " +
                    std::to_string(maxEntries));
  // Data offsets reach 4 GiB: the files stored as they are tell at once when no
  // compression of the others can make them fit (every copy but the last must start below).
  std::uint64_t storedBytes = 0, largest = 0;
  for (const auto& e : plan.entries)
    if (!e.compress && e.copies > 0) {
      storedBytes += e.size * e.copies;
      largest = std::max(largest, e.size);
    }
  if (storedBytes > largest && storedBytes - largest > std::numeric_limits<std::uint32_t>::max())
    throw PackError("the files to be stored uncompressed take " + std::to_string(storedBytes) +
                    " bytes with their copies; an archive's data offsets reach 4 GiB");
  if (table)
    for (const auto& line : table->lines())
      if (!usedLines.count(line.lineNumber))
        plan.unusedLines.push_back(util::cp1252ToUtf8(line.text));
  return plan;
}

std::string stagedName(const PlannedEntry& entry) {
  return util::replaceAll(util::replaceAll(entry.source, '/', '+'), '\\', '+') + "." +
         std::to_string(entry.size) + "." + util::cp1252ToUtf8(entry.copiesText) + "." +
         util::cp1252ToUtf8(entry.stocText) + (entry.compress ? ".cmp" : ".unc");
}

}  // namespace pack
