// Entry paths as the extractor sees them: the checks that keep every file below its
// extraction root, and the split into the folder and file names written on disk.
//
// A catalogue path is Windows-1252 bytes with "\" between names; "/" is accepted as a
// separator too, since archives from other tools use it. A path is unsafe when it is
// empty, absolute (a leading "\" or "/"), starts with a drive letter ("C:"), holds a NUL
// byte, or has an empty, "." or ".." name. Unsafe paths are refused, never written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace extract {

struct EntryPath {
  // Empty when the path is safe; otherwise why it is refused ("the path has a \"..\"
  // segment").
  std::string unsafeReason;
  // The names in order, UTF-8: every one but the last is a folder, the last is the file.
  // Empty when the path is unsafe.
  std::vector<std::string> names;

  bool safe() const { return unsafeReason.empty(); }
  // The names joined by "/" (UTF-8), as the path reads on disk below the root.
  std::string relative() const;
};

// Checks and splits a catalogue path (Windows-1252 bytes).
EntryPath checkEntryPath(std::string_view cp1252Path);

}  // namespace extract
