// Whole-file reading and crash-safe whole-file writing.
#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace util {

// The whole file as bytes. Throws std::system_error naming the path on failure.
std::string readWholeFile(const std::filesystem::path& path);

// Writes `bytes` to `path` through a temporary file in the same folder that is renamed
// into place only when every byte is written, so a failure never leaves a half-written
// file where a good one stood. Throws std::system_error naming the path.
void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Creates `path` with `bytes` only when no file exists there yet. Returns false when one
// existed (and leaves it untouched). Throws std::system_error on other failures.
bool writeFileIfAbsent(const std::filesystem::path& path, std::string_view bytes);

// Deletes every file lying directly in `folder`; sub-folders and their contents stay.
// After each deleted file it calls `afterEach` (the window yields there). The first
// failure (a missing folder, a file that cannot be deleted) throws
// std::filesystem::filesystem_error; the files not reached yet stay.
void clearFolder(const std::filesystem::path& folder, const std::function<void()>& afterEach = {});

}  // namespace util
