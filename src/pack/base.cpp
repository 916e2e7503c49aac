#include "pack/base.h"

#include <algorithm>
#include <cstring>

#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "util/cp1252.h"
#include "util/deflate.h"
#include "util/text.h"

namespace pack {

BaseArchive::BaseArchive(const std::filesystem::path& path)
    : m_file(path), m_index(mpak::readArchiveIndex(m_file.bytes())) {
  for (std::size_t i = 0; i < m_index.entries.size(); ++i)
    m_firstByPath.emplace(mpak::LibraryTable::pathKey(m_index.entries[i].path),
                          static_cast<int>(i));
}

int BaseArchive::find(std::string_view path) const {
  const auto it = m_firstByPath.find(mpak::LibraryTable::pathKey(path));
  return it == m_firstByPath.end() ? -1 : it->second;
}

void matchBase(Plan& plan, BaseArchive& base) {
  plan.base = &base;
  plan.largestCompared = 0;
  std::vector<bool> named(base.index().entries.size());
  for (auto& entry : plan.entries) {
    entry.baseEntry = base.find(entry.path);
    if (entry.baseEntry < 0)
      continue;
    named[static_cast<std::size_t>(entry.baseEntry)] = true;
    plan.largestCompared = std::max(plan.largestCompared, entry.size);
  }
  plan.removed.clear();
  for (std::size_t i = 0; i < named.size(); ++i) {
    const auto& path = base.index().entries[i].path;
    if (!named[i] && base.find(path) == static_cast<int>(i))
      plan.removed.push_back(util::cp1252ToUtf8(path));
  }
}

namespace {

// The entry's data is sound enough to be copied: every copy inside the file, all alike.
std::string copiesFault(const BaseArchive& base, const mpak::ArchiveEntry& e) {
  for (std::size_t k = 0; k < e.dataOffsets.size(); ++k)
    if (auto fault = mpak::copyFault(base.index(), e, k); !fault.empty())
      return fault;
  const auto first = base.bytes().subspan(mpak::copyPosition(base.index(), e, 0), e.storedSize);
  for (std::size_t k = 1; k < e.dataOffsets.size(); ++k)
    if (std::memcmp(base.bytes().data() + mpak::copyPosition(base.index(), e, k), first.data(),
                    first.size()) != 0)
      return "copy " + std::to_string(k + 1) + " differs from the first";
  return {};
}

}  // namespace

Outcome compareWithBase(const BaseArchive& base, std::size_t entry, std::uint64_t fileSize,
                        const std::function<bool(std::span<const std::uint8_t>)>& holds,
                        std::span<std::uint8_t> scratch, std::string& why) {
  const mpak::ArchiveEntry& e = base.index().entries.at(entry);
  // Entries without data have no content to compare; other sizes need no compare.
  if (!e.hasData() || (e.isCompressed() ? e.unpackedSize : e.storedSize) != fileSize)
    return Outcome::Changed;
  if ((why = copiesFault(base, e)); !why.empty())
    return Outcome::Damaged;
  const auto stored = base.bytes().subspan(e.dataPosition, e.storedSize);
  if (!e.isCompressed())
    return holds(stored) ? Outcome::Kept : Outcome::Changed;
  // One byte more than the file: data that holds more does not fit and differs.
  const auto size = static_cast<std::size_t>(fileSize);
  const auto inflated = util::inflateRaw(stored, scratch.first(size + 1));
  if (inflated.status == util::InflateStatus::BadData) {
    why = util::describe(inflated.status);
    return Outcome::Damaged;
  }
  return inflated.status == util::InflateStatus::Ok && inflated.outBytes == size &&
                 holds(scratch.first(size))
             ? Outcome::Kept
             : Outcome::Changed;
}

std::string baseLayoutDiffers(const mpak::ArchiveIndex& index) {
  std::uint64_t next = index.rawdPosition + mpak::layout::kTagSize;
  for (std::size_t i = 0; i < index.entries.size(); ++i) {
    const auto& e = index.entries[i];
    for (std::size_t k = 0; k < e.dataOffsets.size(); ++k, next += e.storedSize)
      if (mpak::copyPosition(index, e, k) != next)
        return "the data of entry " + std::to_string(i) + " (" + util::cp1252ToUtf8(e.path) +
               ") does not follow the entry before it";
  }
  if (next != index.fileSize)
    return "the file goes on after the data of the last entry";
  for (std::size_t s = 1; s < index.stoc.size(); ++s)
    if (index.stoc[s].tocIndex <= index.stoc[s - 1].tocIndex)
      return "the STOC does not list its members in TOC order";
  return {};
}

std::string RepackReport::summary() const {
  return std::to_string(kept.size()) + " entries kept as they were, " +
         std::to_string(again.size()) + " compressed again, " + std::to_string(added.size()) +
         " new, " + std::to_string(removed.size()) + " removed";
}

RepackReport repackReport(const Plan& plan, const PackResult& result) {
  RepackReport report;
  report.removed = plan.removed;
  for (std::size_t i = 0; i < result.outcomes.size(); ++i) {
    const std::string path = util::replaceAll(plan.entries[i].source, '/', '\\');
    switch (result.outcomes[i]) {
      case Outcome::New:
        report.added.push_back(path);
        break;
      case Outcome::Kept:
        report.kept.push_back(path);
        break;
      case Outcome::Changed:
        report.modified.push_back(path);
        [[fallthrough]];
      default:
        report.again.push_back(path);
    }
  }
  std::sort(report.added.begin(), report.added.end());
  for (const auto& [entry, why] : result.damaged)
    report.damaged.push_back(util::replaceAll(plan.entries[entry].source, '/', '\\') + ": " + why);
  return report;
}

}  // namespace pack
