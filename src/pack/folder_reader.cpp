#include "pack/folder_reader.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/temporary.h"

namespace pack {

namespace {

[[noreturn]] void cannotRead(const std::string& folder, int err) {
  throw PackError("cannot read the folder " + (folder.empty() ? std::string(".") : folder) + ": " +
                  platform::errorText(err));
}

void walk(const platform::Folder& folder, const std::string& prefix, FolderScan& scan) {
  std::vector<platform::FolderItem> items;
  if (int err = folder.list(items))
    cannotRead(prefix, err);
  std::sort(items.begin(), items.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  std::vector<std::string> folders;
  for (const auto& item : items) {
    const std::string relative = prefix.empty() ? item.name : prefix + "/" + item.name;
    switch (item.kind) {
      case platform::Kind::Folder:
        folders.push_back(item.name);
        break;
      case platform::Kind::LinkedFolder:
        scan.skipped.push_back({relative, "a linked folder, not entered"});
        break;
      case platform::Kind::Link:
        scan.skipped.push_back({relative, "a symbolic link"});
        break;
      case platform::Kind::File:
        if (platform::isTemporaryName(item.name))
          scan.skipped.push_back({relative, "a temporary file left by an interrupted run"});
        else
          scan.files.push_back({relative, item.size});
        break;
      default:
        scan.skipped.push_back({relative, "not a regular file"});
        break;
    }
  }
  for (const auto& name : folders) {
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    platform::Folder sub;
    if (int err = folder.openFolder(name, false, sub))
      cannotRead(relative, err);
    walk(sub, relative, scan);
  }
}

}  // namespace

platform::Folder openRootFolder(const std::filesystem::path& root) {
  platform::Folder folder;
  if (int err = platform::Folder::open(root, folder))
    throw PackError("cannot read the folder " + platform::utf8(root) + ": " +
                    platform::errorText(err));
  return folder;
}

FolderScan scanFolder(const std::filesystem::path& root) {
  FolderScan scan;
  walk(openRootFolder(root), "", scan);
  return scan;
}

}  // namespace pack
