#include "platform/files.h"

#include <cerrno>

#include "platform/windows/windows_text.h"

namespace platform {

namespace {

using windows::lastErrno;
using windows::longPath;

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t handleValue(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kMaxPiece = 1u << 30;

// The attributes of what is at `path`, without following a link; INVALID_FILE_ATTRIBUTES
// with the error set when nothing is there.
DWORD attributesOf(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str());
}

Kind kindFromAttributes(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return Kind::Missing;
  const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return folder ? Kind::LinkedFolder : Kind::Link;
  if (folder)
    return Kind::Folder;
  return attributes & FILE_ATTRIBUTE_DEVICE ? Kind::Other : Kind::File;
}

// Opens `path` without following a link at its last name; the handle's attributes say
// what was opened.
HANDLE openHandle(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags,
                  DWORD share = kShareAll) {
  return ::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                       flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

DWORD openedAttributes(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileInformationByHandle(handle, &info) ? info.dwFileAttributes
                                                     : INVALID_FILE_ATTRIBUTES;
}

std::wstring childOf(const std::filesystem::path& folder, std::string_view relative) {
  std::string text(relative);
  for (auto& c : text)
    if (c == '/')
      c = '\\';
  return longPath(folder) + L"\\" + windows::wide(text);
}

}  // namespace

bool isDiskFailure(int err) {
  return err == ENOSPC || err == EFBIG || err == EROFS || err == EIO;
}

int File::openForReading(const std::filesystem::path& path, File& out) noexcept {
  HANDLE h = ::CreateFileW(longPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return lastErrno();
  if (openedAttributes(h) & FILE_ATTRIBUTE_DIRECTORY) {
    ::CloseHandle(h);
    return EISDIR;
  }
  out = File(handleValue(h));
  return 0;
}

int File::createNew(const std::filesystem::path& path, File& out) noexcept {
  HANDLE h = openHandle(longPath(path), GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        FILE_SHARE_READ | FILE_SHARE_DELETE);
  if (h == INVALID_HANDLE_VALUE)
    return lastErrno();
  out = File(handleValue(h));
  return 0;
}

std::int64_t File::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) noexcept {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kMaxPiece));
  if (!::ReadFile(handleOf(m_handle), bytes.data(), want, &read, &at)) {
    DWORD code = ::GetLastError();
    return code == ERROR_HANDLE_EOF ? 0 : -windows::errnoOf(code);
  }
  return read;
}

int File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) noexcept {
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kMaxPiece));
    if (!::WriteFile(handleOf(m_handle), bytes.data(), piece, &written, &at))
      return lastErrno();
    if (written == 0)
      return EIO;
    bytes = bytes.subspan(written);
    offset += written;
  }
  return 0;
}

int File::copyFrom(File& source, std::uint64_t from, std::uint64_t size,
                   std::uint64_t at) noexcept {
  return copyThroughMemory(source, from, size, at);
}

std::int64_t File::size() noexcept {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handleOf(m_handle), &size))
    return -lastErrno();
  return size.QuadPart;
}

int File::flush() noexcept {
  return ::FlushFileBuffers(handleOf(m_handle)) ? 0 : lastErrno();
}

// Windows has no request to start writing a range without waiting.
void File::startWriting(std::uint64_t, std::uint64_t) noexcept {}

int File::close() noexcept {
  if (m_handle == kClosed)
    return 0;
  HANDLE h = handleOf(m_handle);
  m_handle = kClosed;
  return ::CloseHandle(h) ? 0 : lastErrno();
}

int Folder::open(const std::filesystem::path& path, Folder& out) noexcept {
  // The folder chosen may itself be a link: it is followed.
  HANDLE h = ::CreateFileW(longPath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return lastErrno();
  if (!(openedAttributes(h) & FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(h);
    return ENOTDIR;
  }
  out.release();
  out.m_handle = handleValue(h);
  std::error_code ec;
  out.m_path = std::filesystem::absolute(path, ec).lexically_normal();
  return 0;
}

void Folder::release() noexcept {
  if (m_handle != File::kClosed)
    ::CloseHandle(handleOf(m_handle));
  m_handle = File::kClosed;
}

int Folder::openFolder(std::string_view name, bool create, Folder& out) const noexcept {
  const std::wstring path = childOf(m_path, name);
  if (create && !::CreateDirectoryW(path.c_str(), nullptr) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS)
    return lastErrno();
  HANDLE h = openHandle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (h == INVALID_HANDLE_VALUE)
    return lastErrno();
  // Checked on the handle opened, so nothing swapped in between is walked through.
  const DWORD attributes = openedAttributes(h);
  const int err = attributes & FILE_ATTRIBUTE_REPARSE_POINT  ? ELOOP
                  : !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? ENOTDIR
                                                             : 0;
  if (err != 0) {
    ::CloseHandle(h);
    return err;
  }
  out.release();
  out.m_handle = handleValue(h);
  out.m_path = m_path / pathFromUtf8(name);
  return 0;
}

int Folder::createFile(std::string_view name, File& out) const noexcept {
  return File::createNew(m_path / pathFromUtf8(name), out);
}

int Folder::openFile(std::string_view relative, File& out) const noexcept {
  HANDLE h =
      openHandle(childOf(m_path, relative), GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE)
    return lastErrno();
  const DWORD attributes = openedAttributes(h);
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(h);
    return attributes & FILE_ATTRIBUTE_REPARSE_POINT ? ELOOP : EISDIR;
  }
  out = File(handleValue(h));
  return 0;
}

Kind Folder::kindOf(std::string_view name) const noexcept {
  return kindFromAttributes(attributesOf(childOf(m_path, name)));
}

int Folder::rename(std::string_view from, std::string_view to, bool replace) const noexcept {
  if (::MoveFileExW(childOf(m_path, from).c_str(), childOf(m_path, to).c_str(),
                    replace ? MOVEFILE_REPLACE_EXISTING : 0))
    return 0;
  return lastErrno();
}

int Folder::remove(std::string_view name) const noexcept {
  return ::DeleteFileW(childOf(m_path, name).c_str()) ? 0 : lastErrno();
}

int Folder::list(std::vector<FolderItem>& out) const noexcept {
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileExW((longPath(m_path) + L"\\*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE)
    return lastErrno();
  int err = 0;
  do {
    std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    FolderItem item{windows::narrow(name), kindFromAttributes(found.dwFileAttributes), 0};
    if (item.kind == Kind::File)
      item.size = (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    out.push_back(std::move(item));
  } while (::FindNextFileW(search, &found));
  if (::GetLastError() != ERROR_NO_MORE_FILES)
    err = lastErrno();
  ::FindClose(search);
  return err;
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  if (::MoveFileExW(longPath(from).c_str(), longPath(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    return 0;
  return lastErrno();
}

std::string nameProblem(std::string_view name) {
  return windowsNameProblem(name);
}

bool namesIgnoreCase() {
  return true;
}

}  // namespace platform
