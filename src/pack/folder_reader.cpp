#include "pack/folder_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/temporary.h"

namespace pack {

namespace {

[[noreturn]] void cannotRead(const std::string& folder, int err) {
  throw PackError("cannot read the folder " + (folder.empty() ? std::string(".") : folder) + ": " +
                  std::strerror(err));
}

// The names in the open folder `fd` (taken over and closed), in byte order.
std::vector<std::string> namesIn(int fd, const std::string& shown) {
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    int err = errno;
    ::close(fd);
    cannotRead(shown, err);
  }
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.emplace_back(e->d_name);
    errno = 0;
  }
  int err = errno;
  ::closedir(dir);
  if (err != 0)
    cannotRead(shown, err);
  std::sort(names.begin(), names.end());
  return names;
}

void walk(int fd, const std::string& prefix, FolderScan& scan) {
  // Sub-folders are opened from this folder's handle before it is read through.
  int dup = ::dup(fd);
  if (dup < 0)
    cannotRead(prefix, errno);
  std::vector<std::string> folders;
  for (const auto& name : namesIn(fd, prefix)) {
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    struct stat st {};
    if (::fstatat(dup, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      int err = errno;
      ::close(dup);
      throw PackError("cannot read " + relative + ": " + std::strerror(err));
    }
    if (S_ISDIR(st.st_mode))
      folders.push_back(name);
    else if (S_ISLNK(st.st_mode))
      scan.skipped.push_back(
          {relative, ::fstatat(dup, name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode)
                         ? "a linked folder, not entered"
                         : "a symbolic link"});
    else if (!S_ISREG(st.st_mode))
      scan.skipped.push_back({relative, "not a regular file"});
    else if (util::isTemporaryName(name))
      scan.skipped.push_back({relative, "a temporary file left by an interrupted run"});
    else
      scan.files.push_back({relative, static_cast<std::uint64_t>(st.st_size)});
  }
  for (const auto& name : folders) {
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    int sub = ::openat(dup, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) {
      int err = errno;
      ::close(dup);
      cannotRead(relative, err);
    }
    try {
      walk(sub, relative, scan);
    } catch (...) {
      ::close(dup);
      throw;
    }
  }
  ::close(dup);
}

}  // namespace

FolderScan scanFolder(const std::filesystem::path& root) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    throw PackError("cannot read the folder " + root.string() + ": " + std::strerror(errno));
  FolderScan scan;
  walk(fd, "", scan);
  return scan;
}

}  // namespace pack
