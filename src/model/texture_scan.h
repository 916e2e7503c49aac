// The texture names a model refers to: every run of bytes that ends in ".tga" (letter
// case ignored) and starts right after a NUL byte. The model format is not parsed; the
// scan is one pass over the bytes, linear in their number.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace model {

struct TextureFind {
  std::string name;         // Windows-1252 bytes, from after the NUL up to ".tga" inclusive
  std::uint64_t dotOffset;  // zero-based file offset of the "." of ".tga"
};

// Every ".tga" in file order, each taken with the bytes after the last NUL before it. The
// NUL must come after the previous find's "."; a ".tga" without such a NUL is skipped.
std::vector<TextureFind> findTextureNames(std::span<const std::uint8_t> bytes);

// The names as the report lists them: each name split at "|", in order of first
// appearance, repeats (compared with letter case) left out.
std::vector<std::string> listTextures(const std::vector<TextureFind>& finds);

// Models are read whole; 2 GiB and more are refused.
inline constexpr std::uint64_t kMaxModelBytes = (std::uint64_t{1} << 31) - 1;

}  // namespace model
