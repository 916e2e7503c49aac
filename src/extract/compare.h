// Comparing an archive's entries with an extracted (and perhaps edited) folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "extract/entry_data.h"
#include "mpak/archive.h"

namespace extract {

// What changed in a folder since an archive was extracted into it. Paths are the folder's
// relative paths (UTF-8, "/" separators), each list in order: `modified` and `removed` in
// catalogue order, `added` sorted.
struct FolderDiff {
  std::vector<std::string> added;       // files no entry names
  std::vector<std::string> removed;     // entries whose file is gone
  std::vector<std::string> modified;    // files whose content differs from their entry's
  std::vector<std::string> unreadable;  // entries whose data cannot be read: "path: why"
  std::size_t unchanged = 0;

  std::size_t changed() const { return added.size() + removed.size() + modified.size(); }
};

// Compares `folder` with the archive as the extractor would have written it: each entry
// with a safe path under that path (the first entry of a path wins), links and files of
// interrupted runs left out. Each file is read once and each compressed entry inflated
// once, on the pipeline's threads. Throws std::system_error when the folder cannot be read.
FolderDiff diffFolder(std::span<const std::uint8_t> archive, const mpak::ArchiveIndex& index,
                      const std::filesystem::path& folder, const PipelineOptions& options = {});

// The entries of `selection` (catalogue indices) that extracting them into `folder` again
// would replace changed content with: a regular file lies at the entry's path and holds
// another content than every selected entry of that path. In selection order. Files that
// are not there cost nothing; the others are read once and their entries inflated once,
// on the pipeline's threads. Entries whose data cannot be read count as unchanged.
std::vector<std::size_t> changedFiles(std::span<const std::uint8_t> archive,
                                      const mpak::ArchiveIndex& index,
                                      std::span<const std::size_t> selection,
                                      const std::filesystem::path& folder,
                                      const PipelineOptions& options = {});

}  // namespace extract
