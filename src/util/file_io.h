// Whole-file reading and crash-safe whole-file writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace util {

// "<what> <path>" as a std::system_error carrying `err` ("cannot write /x/a.bin: ...").
[[noreturn]] void throwFileError(int err, std::string_view what, const std::filesystem::path& path);

// Writes every byte of `bytes` at `offset` of `fd`, retrying short and interrupted writes.
// Returns 0, or the errno of the write that failed.
int writeAllAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) noexcept;

// The whole file as bytes. Throws std::system_error naming the path on failure.
std::string readWholeFile(const std::filesystem::path& path);

// Writes `bytes` to `path` through a temporary file in the same folder that is renamed
// into place only when every byte is written and flushed, so a failure never leaves a
// half-written file where a good one stood. Throws std::system_error naming the path.
void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Creates `path` with `bytes` only when no file exists there yet (O_EXCL). Returns false
// when one existed (and leaves it untouched). Throws std::system_error on other failures.
bool writeFileIfAbsent(const std::filesystem::path& path, std::string_view bytes);

}  // namespace util
