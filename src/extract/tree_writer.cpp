#include "extract/tree_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/files.h"
#include "platform/temporary.h"

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
  throw WriteError(what + " " + where + ": " + platform::errorText(err), err);
}

// A name that stays in its folder: not empty, ".", "..", and without a separator or NUL.
bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

}  // namespace

bool WriteError::diskFailure() const {
  return platform::isDiskFailure(m_error);
}

TreeWriter::TreeWriter(const std::filesystem::path& root) {
  if (int err = platform::Folder::open(root, m_root))
    throw std::system_error(err, std::generic_category(),
                            "cannot open the folder " + platform::utf8(root));
}

TreeWriter::~TreeWriter() = default;

const platform::Folder* TreeWriter::folder(const std::vector<std::string>& names, std::size_t count,
                                           bool create) {
  if (count == 0)
    return &m_root;
  auto key = joined(names, count);
  if (auto it = m_folders.find(key); it != m_folders.end())
    return &it->second;

  const platform::Folder* parent = folder(names, count - 1, create);
  if (!parent)
    return nullptr;
  platform::Folder opened;
  if (int err = parent->openFolder(names[count - 1], create, opened)) {
    if (err == ENOENT && !create)
      return nullptr;
    if (err == ELOOP)
      throw WriteError("the folder " + key + " is a symbolic link; nothing is written through it");
    if (err == ENOTDIR || err == EEXIST)
      throw WriteError("cannot create folder " + key + ": a file of that name is in the way");
    fail(create ? "cannot create folder" : "cannot open folder", key, err);
  }
  // The parent may be among those closed here; it is not needed any more.
  if (m_folders.size() >= kMaxCachedFolders)
    m_folders.clear();
  return &m_folders.emplace(std::move(key), std::move(opened)).first->second;
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
  const platform::Folder& dir = *folder(names, names.size() - 1, true);
  const std::string where = joined(names, names.size());
  const std::string& name = names.back();

  if (!overwrite && dir.kindOf(name) != platform::Kind::Missing)
    return Result::Exists;

  platform::TemporaryFile temporary(dir, platform::temporaryName({}));
  platform::File file;
  if (int err = dir.createFile(temporary.name(), file))
    fail("cannot create", where, err);
  int err = file.writeAt(0, bytes);
  if (int closed = file.close(); err == 0)
    err = closed;
  if (err != 0)
    fail("cannot write", where, err);

  if (int renamed = dir.rename(temporary.name(), name, overwrite)) {
    if (!overwrite && renamed == EEXIST)
      return Result::Exists;
    fail("cannot replace", where, renamed);
  }
  temporary.release();
  return Result::Written;
}

bool TreeWriter::exists(const std::vector<std::string>& names) {
  if (names.empty() || !std::all_of(names.begin(), names.end(), isPlainName))
    return false;
  const platform::Folder* dir = nullptr;
  try {
    dir = folder(names, names.size() - 1, false);
  } catch (const WriteError&) {
    // Something is in the way of a folder; the write will report it.
    return false;
  }
  return dir && dir->kindOf(names.back()) != platform::Kind::Missing;
}

}  // namespace extract
