#include "pack/base.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "platform/mapped_file.h"
#include "util/cp1252.h"
#include "util/deflate.h"
#include "util/text.h"

namespace pack {

BaseArchive::BaseArchive(const std::filesystem::path& path) {
  {
    const platform::MappingWatch watch;
    const platform::MappedFile mapped(path);
    m_index = mpak::readArchiveIndex(mapped.bytes());
    watch.check("base archive");
  }
  if (int err = platform::File::openForReading(path, m_data))
    platform::throwFileError(err, "cannot open", path);
  for (std::size_t i = 0; i < m_index.entries.size(); ++i)
    m_firstByPath.emplace(mpak::LibraryTable::pathKey(m_index.entries[i].path),
                          static_cast<int>(i));
}

void BaseArchive::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  mpak::FileBytes{&m_data, offset, out.size(), "base archive"}.read(0, out);
}

mpak::FileBytes BaseArchive::stored(std::size_t entry) const {
  const auto& e = m_index.entries.at(entry);
  return {&m_data, e.dataPosition, e.storedSize, "base archive"};
}

int BaseArchive::find(std::string_view path) const {
  const auto it = m_firstByPath.find(mpak::LibraryTable::pathKey(path));
  return it == m_firstByPath.end() ? -1 : it->second;
}

namespace {

// The entries of `plan` in the order of `rank` (a base entry's place in some order of the
// base, or -1 for none) where they have a base entry ranked; an entry without one comes
// right after the entry before it. Only the entries `wanted` says.
template <class Rank, class Wanted>
std::vector<std::size_t> baseOrder(const Plan& plan, Rank&& rank, Wanted&& wanted) {
  std::vector<std::pair<std::pair<long, long>, std::size_t>> keyed;
  std::pair<long, long> key{-1, 0};
  for (std::size_t i = 0; i < plan.entries.size(); ++i) {
    const int b = plan.entries[i].baseEntry;
    const long r = b >= 0 ? rank(static_cast<std::size_t>(b)) : -1;
    key = r >= 0 ? std::pair{r, 0L} : std::pair{key.first, key.second + 1};
    if (wanted(plan.entries[i]))
      keyed.push_back({key, i});
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::size_t> order;
  for (const auto& k : keyed)
    order.push_back(k.second);
  return order;
}

// Where the base keeps each entry's data (by its first copy) and each STOC member.
void followBase(Plan& plan, const mpak::ArchiveIndex& index) {
  std::vector<std::size_t> byData(index.entries.size());
  std::iota(byData.begin(), byData.end(), std::size_t{0});
  std::stable_sort(byData.begin(), byData.end(), [&](std::size_t a, std::size_t b) {
    return index.entries[a].dataPosition < index.entries[b].dataPosition;
  });
  std::vector<long> dataRank(index.entries.size());
  for (std::size_t k = 0; k < byData.size(); ++k)
    dataRank[byData[k]] = static_cast<long>(k);
  plan.dataOrder = baseOrder(
      plan, [&](std::size_t b) { return dataRank[b]; }, [](const PlannedEntry&) { return true; });
  plan.stocOrder = baseOrder(
      plan, [&](std::size_t b) { return static_cast<long>(index.entries[b].stocRecord); },
      [](const PlannedEntry& e) { return e.inStoc; });
}

}  // namespace

void matchBase(Plan& plan, BaseArchive& base) {
  plan.base = &base;
  plan.largestStored = plan.largestContent = 0;
  std::vector<bool> named(base.index().entries.size());
  for (auto& entry : plan.entries) {
    entry.baseEntry = base.find(entry.path);
    if (entry.baseEntry < 0)
      continue;
    const auto b = static_cast<std::size_t>(entry.baseEntry);
    named[b] = true;
    const auto& e = base.index().entries[b];
    if ((e.isCompressed() ? e.unpackedSize : e.storedSize) == entry.size) {
      plan.largestStored = std::max<std::uint64_t>(plan.largestStored, e.storedSize);
      plan.largestContent = std::max(plan.largestContent, entry.size);
    }
  }
  plan.removed.clear();
  for (std::size_t i = 0; i < named.size(); ++i) {
    const auto& path = base.index().entries[i].path;
    if (!named[i] && base.find(path) == static_cast<int>(i))
      plan.removed.push_back(util::cp1252ToUtf8(path));
  }
  followBase(plan, base.index());
}

namespace {

// Which copy of the entry differs from the first (`first`, read), compared piece by piece
// in `piece`; empty when they are all alike.
std::string copiesDiffer(const BaseArchive& base, const mpak::ArchiveEntry& e,
                         std::span<const std::uint8_t> first, platform::PageBuffer& piece) {
  const auto room = piece.room(CompareBuffers::kPiece).first(CompareBuffers::kPiece);
  for (std::size_t k = 1; k < e.dataOffsets.size(); ++k) {
    const std::uint64_t at = mpak::copyPosition(base.index(), e, k);
    for (std::size_t done = 0; done < first.size(); done += room.size()) {
      const auto part = room.first(std::min(room.size(), first.size() - done));
      base.read(at + done, part);
      if (std::memcmp(part.data(), first.data() + done, part.size()) != 0)
        return "copy " + std::to_string(k + 1) + " differs from the first";
    }
  }
  return {};
}

}  // namespace

Outcome compareWithBase(const BaseArchive& base, std::size_t entry, std::uint64_t fileSize,
                        const std::function<bool(std::span<const std::uint8_t>)>& holds,
                        CompareBuffers& buffers, std::string& why) {
  const mpak::ArchiveEntry& e = base.index().entries.at(entry);
  // Entries without data have no content to compare; other sizes need no compare.
  if (!e.hasData() || (e.isCompressed() ? e.unpackedSize : e.storedSize) != fileSize)
    return Outcome::Changed;
  // Sound enough to be copied: every copy inside the file, all alike.
  for (std::size_t k = 0; k < e.dataOffsets.size(); ++k)
    if ((why = mpak::copyFault(base.index(), e, k)); !why.empty())
      return Outcome::Damaged;
  const auto stored = buffers.stored.room(e.storedSize).first(e.storedSize);
  base.read(e.dataPosition, stored);
  if ((why = copiesDiffer(base, e, stored, buffers.piece)); !why.empty())
    return Outcome::Damaged;
  if (!e.isCompressed())
    return holds(stored) ? Outcome::Kept : Outcome::Changed;
  // One byte more than the file: data that holds more does not fit and differs.
  const auto size = static_cast<std::size_t>(fileSize);
  const auto content = buffers.content.room(size + 1).first(size + 1);
  const auto inflated = util::inflateRaw(stored, content);
  if (inflated.status == util::InflateStatus::BadData) {
    why = util::describe(inflated.status);
    return Outcome::Damaged;
  }
  return inflated.status == util::InflateStatus::Ok && inflated.outBytes == size &&
                 holds(content.first(size))
             ? Outcome::Kept
             : Outcome::Changed;
}

std::string baseLayoutDiffers(const mpak::ArchiveIndex& index) {
  std::vector<std::size_t> byData;
  for (std::size_t i = 0; i < index.entries.size(); ++i)
    if (index.entries[i].hasData())
      byData.push_back(i);
  std::stable_sort(byData.begin(), byData.end(), [&](std::size_t a, std::size_t b) {
    return index.entries[a].dataPosition < index.entries[b].dataPosition;
  });
  std::uint64_t next = index.rawdPosition + mpak::layout::kTagSize;
  for (const std::size_t i : byData) {
    const auto& e = index.entries[i];
    for (std::size_t k = 0; k < e.dataOffsets.size(); ++k, next += e.storedSize)
      if (mpak::copyPosition(index, e, k) != next)
        return "the data of entry " + std::to_string(i) + " (" + util::cp1252ToUtf8(e.path) +
               ") does not follow the data before it, copy after copy";
  }
  if (next != index.fileSize)
    return "the file goes on after the data";
  std::size_t members = 0;
  for (const auto& e : index.entries)
    members += e.inStoc;
  if (members != index.stoc.size())
    return "the STOC names an entry twice or names none";
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
