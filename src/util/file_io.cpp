#include "util/file_io.h"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/files.h"
#include "platform/temporary.h"

namespace util {

namespace {

std::span<const std::uint8_t> asBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string readWholeFile(const std::filesystem::path& path) {
  platform::File file;
  if (int err = platform::File::openForReading(path, file))
    platform::throwFileError(err, "cannot open", path);
  std::string out;
  std::uint8_t buf[65536];
  for (;;) {
    std::int64_t n = file.readAt(out.size(), buf);
    if (n < 0)
      platform::throwFileError(static_cast<int>(-n), "cannot read", path);
    if (n == 0)
      break;
    out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
  }
  return out;
}

void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const auto staged =
      path.parent_path() /
      platform::pathFromUtf8(platform::temporaryName(platform::utf8(path.filename())));
  platform::TemporaryFile tmp(staged);
  platform::File file;
  if (int err = platform::File::createNew(staged, file))
    platform::throwFileError(err, "cannot create", path);
  int err = file.writeAt(0, bytes);
  if (int closed = file.close(); err == 0)
    err = closed;
  if (err != 0)
    platform::throwFileError(err, "cannot write", path);
  if (int replaced = platform::replaceFile(staged, path))
    platform::throwFileError(replaced, "cannot replace", path);
  tmp.release();
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  writeFileAtomically(path, asBytes(bytes));
}

bool writeFileIfAbsent(const std::filesystem::path& path, std::string_view bytes) {
  platform::File file;
  if (int err = platform::File::createNew(path, file)) {
    if (err == EEXIST)
      return false;
    platform::throwFileError(err, "cannot create", path);
  }
  int err = file.writeAt(0, asBytes(bytes));
  if (int closed = file.close(); err == 0)
    err = closed;
  if (err != 0) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    platform::throwFileError(err, "cannot write", path);
  }
  return true;
}

void clearFolder(const std::filesystem::path& folder, const std::function<void()>& afterEach) {
  namespace fs = std::filesystem;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_directory())
      continue;
    fs::remove(entry.path());
    if (afterEach)
      afterEach();
  }
}

}  // namespace util
