// TGA images (the textures models name): uncompressed and run-length encoded, true
// colour (15, 16, 24 or 32 bits), colour-mapped (8- or 16-bit indexes into 15- to 32-bit
// entries) and grey (8 bits, or 16 with alpha), in any of the four pixel orders. The
// footer of TGA 2.0 is not needed. Every length and offset is checked against the bytes.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace model {

// An image that cannot be read: the text says what is wrong and at which offset.
class TgaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TgaImage {
  int width = 0, height = 0;
  // Row by row from the top left, one 0xAARRGGBB value a pixel.
  std::vector<std::uint32_t> pixels;
};

// The most pixels an image may have: 64 Mi (256 MiB decoded).
inline constexpr std::uint64_t kMaxTgaPixels = std::uint64_t{1} << 26;

TgaImage readTga(std::span<const std::uint8_t> bytes);

}  // namespace model
