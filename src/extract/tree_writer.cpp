#include "extract/tree_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "util/file_io.h"
#include "util/temporary.h"

namespace extract {

namespace {

// Folder handles kept open between entries; archives list their entries folder by
// folder, so a small cache saves nearly every walk from the root.
constexpr std::size_t kMaxCachedFolders = 256;

std::string joined(const std::vector<std::string>& names, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0)
      out.push_back('/');
    out += names[i];
  }
  return out;
}

[[noreturn]] void fail(const std::string& what, const std::string& where, int err) {
  throw WriteError(what + " " + where + ": " + std::strerror(err), err);
}

// A name that stays in its folder: not empty, ".", "..", and without a separator or NUL.
bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

}  // namespace

bool WriteError::diskFailure() const {
  return m_error == ENOSPC || m_error == EDQUOT || m_error == EFBIG || m_error == EROFS ||
         m_error == EIO;
}

TreeWriter::TreeWriter(const std::filesystem::path& root) {
  m_root = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (m_root < 0)
    throw std::system_error(errno, std::generic_category(),
                            "cannot open the folder " + root.string());
}

TreeWriter::~TreeWriter() {
  closeCached();
  if (m_root >= 0)
    ::close(m_root);
}

void TreeWriter::closeCached() {
  for (auto& [name, fd] : m_folders)
    ::close(fd);
  m_folders.clear();
}

int TreeWriter::folder(const std::vector<std::string>& names, std::size_t count, bool create) {
  if (count == 0)
    return m_root;
  auto key = joined(names, count);
  if (auto it = m_folders.find(key); it != m_folders.end())
    return it->second;

  int parent = folder(names, count - 1, create);
  if (parent < 0)
    return -1;
  const char* name = names[count - 1].c_str();
  int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    if (!create)
      return -1;
    if (::mkdirat(parent, name, 0777) != 0 && errno != EEXIST)
      fail("cannot create folder", key, errno);
    fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd < 0) {
    int err = errno;
    struct stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
      throw WriteError("the folder " + key + " is a symbolic link; nothing is written through it");
    if (err == ENOTDIR)
      throw WriteError("cannot create folder " + key + ": a file of that name is in the way");
    fail("cannot open folder", key, err);
  }
  // The parent handle may be among those closed here; it is not needed any more.
  if (m_folders.size() >= kMaxCachedFolders)
    closeCached();
  m_folders.emplace(std::move(key), fd);
  return fd;
}

TreeWriter::Result TreeWriter::write(const std::vector<std::string>& names,
                                     std::span<const std::uint8_t> bytes, bool overwrite) {
  if (names.empty())
    throw WriteError("an entry has no file name");
  // The entry paths are checked before they get here; this second check keeps the tree
  // safe from any caller that forgets.
  for (const auto& name : names)
    if (!isPlainName(name))
      throw WriteError("\"" + name + "\" is not a plain file or folder name");
  int dir = folder(names, names.size() - 1, true);
  const std::string where = joined(names, names.size());
  const std::string& name = names.back();

  if (!overwrite) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
      return Result::Exists;
  }

  util::TemporaryFile temporary(dir, util::temporaryName({}));
  const char* tmp = temporary.name().c_str();
  int fd = ::openat(dir, tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0)
    fail("cannot create", where, errno);
  int err = util::writeAllAt(fd, 0, bytes);
  if (::close(fd) != 0 && err == 0)
    err = errno;
  if (err != 0)
    fail("cannot write", where, err);

  int renamed = overwrite ? ::renameat(dir, tmp, dir, name.c_str())
                          : ::renameat2(dir, tmp, dir, name.c_str(), RENAME_NOREPLACE);
  if (renamed != 0 && !overwrite && errno == EINVAL) {
    // A file system without RENAME_NOREPLACE: a hard link fails the same way when the
    // name is taken, and the temporary goes with the guard.
    renamed = ::linkat(dir, tmp, dir, name.c_str(), 0);
    if (renamed == 0)
      return Result::Written;
  }
  if (renamed != 0) {
    if (!overwrite && errno == EEXIST)
      return Result::Exists;
    fail("cannot replace", where, errno);
  }
  temporary.release();
  return Result::Written;
}

bool TreeWriter::exists(const std::vector<std::string>& names) {
  if (names.empty() || !std::all_of(names.begin(), names.end(), isPlainName))
    return false;
  int dir = -1;
  try {
    dir = folder(names, names.size() - 1, false);
  } catch (const WriteError&) {
    // Something is in the way of a folder; the write will report it.
    return false;
  }
  if (dir < 0)
    return false;
  struct stat st {};
  return ::fstatat(dir, names.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace extract
