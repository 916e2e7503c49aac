// Reading the folder tree that becomes an archive.
//
// The walk never follows a symbolic link: a linked folder is not entered and a linked or
// special file (device, pipe, socket) is skipped, and both are reported. Temporary files
// that an interrupted run of this program left behind (platform::isTemporaryName) are skipped
// and reported too. Every depth is walked. Within a folder the names are taken in byte
// order, its files before its sub-folders, so the same tree always reads the same way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"

namespace pack {

// A pack that cannot go on; the text names the file, line or count and what is wrong.
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FoundFile {
  std::string relative;  // below the root, "/" separators, as the file system names it
  std::uint64_t size = 0;
};

struct SkippedItem {
  std::string relative;
  std::string why;  // "a symbolic link", "a linked folder", ...
};

struct FolderScan {
  std::vector<FoundFile> files;  // in walk order
  std::vector<SkippedItem> skipped;
};

// Throws PackError naming the folder when the root or a folder below it cannot be read.
FolderScan scanFolder(const std::filesystem::path& root);

// The folder at `root`, open; throws PackError naming it when it cannot be read.
platform::Folder openRootFolder(const std::filesystem::path& root);

}  // namespace pack
