// Writes files below one extraction root and nowhere else.
//
// Folders are walked one name at a time from the root's open handle without following
// symbolic links, so a link planted in the tree (a folder "a" that points to /etc) cannot
// carry a write outside the root: it is reported as a failure instead. Each file is
// written under a temporary name in its folder and renamed into place only when every
// byte is written, so a failure never leaves a half-written file where a good one stood;
// the rename replaces a symbolic link at the file's own name rather than writing through
// it. The root itself may be a link (the user's choice of where the tree lives).
//
// Not thread-safe: one writer per thread. Holds open folder handles until destroyed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"

namespace extract {

// A file or folder below the root that could not be written. The text names it relative
// to the root and says why ("cannot create folder a/b: Permission denied").
class WriteError : public std::runtime_error {
 public:
  explicit WriteError(const std::string& what, int error = 0)
      : std::runtime_error(what), m_error(error) {}
  // The errno of the failed call; 0 when the fault was not the file system's.
  int error() const { return m_error; }
  // A full or read-only disk, a file-size limit or an I/O error: every later file would
  // fail the same way.
  bool diskFailure() const;

 private:
  int m_error;
};

class TreeWriter {
 public:
  // Opens the root folder. Throws std::system_error naming it when it cannot be opened.
  explicit TreeWriter(const std::filesystem::path& root);
  ~TreeWriter();
  TreeWriter(const TreeWriter&) = delete;
  TreeWriter& operator=(const TreeWriter&) = delete;

  enum class Result { Written, Exists };

  // Writes `bytes` to root/names[0]/.../names[last], creating the folders. `names` are
  // checked names (extract::checkEntryPath): no separators, no "." or "..". With
  // `overwrite` an existing file is replaced; without it an existing file (or anything
  // else at that name) is left as it is and Exists is returned. Throws WriteError.
  Result write(const std::vector<std::string>& names, std::span<const std::uint8_t> bytes,
               bool overwrite);

  // True when something (a file, folder or link) already exists at that path. Creates
  // nothing.
  bool exists(const std::vector<std::string>& names);

 private:
  // The folder holding names[0 .. count), opened (and with `create` made) name by name
  // without following links; null when it is missing and `create` is false.
  const platform::Folder* folder(const std::vector<std::string>& names, std::size_t count,
                                 bool create);

  platform::Folder m_root;
  std::unordered_map<std::string, platform::Folder> m_folders;  // "a/b" -> open folder
};

}  // namespace extract
