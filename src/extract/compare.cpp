#include "extract/compare.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "extract/entry_path.h"
#include "platform/mapped_file.h"
#include "platform/temporary.h"

namespace extract {

namespace fs = std::filesystem;

namespace {

// Every regular file below `folder`, relative, UTF-8 with "/" separators; links are not
// followed and temporaries of interrupted runs are left out.
std::vector<std::string> filesIn(const fs::path& folder) {
  std::vector<std::string> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator();
       ++it) {
    if (it->is_symlink() || !it->is_regular_file())
      continue;
    if (platform::isTemporaryName(platform::utf8(it->path().filename())))
      continue;
    const auto relative = fs::relative(it->path(), folder).generic_u8string();
    files.emplace_back(relative.begin(), relative.end());
  }
  return files;
}

bool sameContent(const fs::path& file, std::span<const std::uint8_t> bytes) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec || size != bytes.size())
    return false;
  if (size == 0)
    return true;
  const platform::MappedFile mapped(file);
  return mapped.size() == bytes.size() &&
         std::memcmp(mapped.bytes().data(), bytes.data(), bytes.size()) == 0;
}

}  // namespace

FolderDiff diffFolder(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                      const fs::path& folder, const PipelineOptions& options) {
  FolderDiff diff;
  std::unordered_set<std::string> present;
  for (auto& file : filesIn(folder))
    present.insert(std::move(file));

  // The entries the extractor would have written, each under its path.
  std::vector<std::size_t> order;
  std::vector<std::string> relative;
  std::unordered_set<std::string> named;
  for (std::size_t i = 0; i < index.entries.size(); ++i) {
    const auto path = checkEntryPath(index.entries[i].path);
    if (!path.safe() || !named.insert(path.relative()).second)
      continue;
    if (!present.count(path.relative())) {
      diff.removed.push_back(path.relative());
      continue;
    }
    order.push_back(i);
    relative.push_back(path.relative());
  }
  for (const auto& file : present)
    if (!named.count(file))
      diff.added.push_back(file);
  std::sort(diff.added.begin(), diff.added.end());

  forEachEntryData(
      archive, index, order, options, [](std::size_t) { return false; },
      [&](std::size_t position, EntryData& data) {
        const std::string& path = relative[position];
        if (data.state != EntryData::State::Ready)
          diff.unreadable.push_back(path + ": " + data.reason);
        else if (sameContent(folder / platform::pathFromUtf8(path), data.bytes))
          ++diff.unchanged;
        else
          diff.modified.push_back(path);
      });
  return diff;
}

std::vector<std::size_t> changedFiles(std::span<const std::uint8_t> archive,
                                      const mpak::ArchiveIndex& index,
                                      std::span<const std::size_t> selection,
                                      const fs::path& folder, const PipelineOptions& options) {
  // The selected entries whose file is there, and per path whether some entry matches it.
  std::vector<std::size_t> order;
  std::vector<std::string> relative;
  std::unordered_map<std::string, bool> matched;
  for (const std::size_t i : selection) {
    const auto path = checkEntryPath(index.entries.at(i).path);
    if (!path.safe())
      continue;
    std::error_code ec;
    if (!fs::is_regular_file(
            fs::symlink_status(folder / platform::pathFromUtf8(path.relative()), ec)))
      continue;
    order.push_back(i);
    relative.push_back(path.relative());
    matched.emplace(path.relative(), false);
  }
  forEachEntryData(
      archive, index, order, options,
      [&](std::size_t position) { return matched.at(relative[position]); },
      [&](std::size_t position, EntryData& data) {
        bool& same = matched.at(relative[position]);
        if (!same)
          same = data.state != EntryData::State::Ready ||
                 sameContent(folder / platform::pathFromUtf8(relative[position]), data.bytes);
      });
  std::vector<std::size_t> changed;
  for (std::size_t p = 0; p < order.size(); ++p)
    if (!matched.at(relative[p]))
      changed.push_back(order[p]);
  return changed;
}

}  // namespace extract
