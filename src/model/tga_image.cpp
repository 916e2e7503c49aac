#include "model/tga_image.h"

#include <string>

namespace model {

namespace {

constexpr std::size_t kHeaderSize = 18;

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

[[noreturn]] void refuse(const std::string& what, std::uint64_t offset) {
  throw TgaError("not a readable TGA image: " + what + " at offset " + std::to_string(offset));
}

// One pixel of `bytes` bytes (little-endian) as 0xAARRGGBB.
std::uint32_t colour(const std::uint8_t* p, unsigned bytes, bool grey, bool alpha) {
  if (grey) {
    const std::uint32_t v = p[0];
    const std::uint32_t a = bytes == 2 && alpha ? p[1] : 0xFF;
    return a << 24 | v << 16 | v << 8 | v;
  }
  if (bytes <= 2) {  // 5 bits each of blue, green, red; the top bit is alpha
    const unsigned v = p[0] | p[1] << 8;
    auto widen = [](unsigned five) { return (five << 3) | (five >> 2); };
    const std::uint32_t a = alpha && !(v & 0x8000) ? 0 : 0xFF;
    return a << 24 | widen((v >> 10) & 31) << 16 | widen((v >> 5) & 31) << 8 | widen(v & 31);
  }
  const std::uint32_t a = bytes == 4 && alpha ? p[3] : 0xFF;
  return a << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

struct Layout {
  unsigned type = 0;        // 1 mapped, 2 true colour, 3 grey (RLE: + 8)
  unsigned pixelBytes = 0;  // bytes a pixel (or index) takes in the data
  bool alpha = false;
  std::vector<std::uint32_t> map;  // the colour map, decoded
  std::size_t mapFirst = 0;
};

// The header's fields checked; the colour map read; returns where the pixel data starts.
std::size_t readLayout(std::span<const std::uint8_t> b, TgaImage& image, Layout& layout) {
  if (b.size() < kHeaderSize)
    refuse("the header needs 18 bytes, the file has " + std::to_string(b.size()), 0);
  const unsigned mapType = b[1], type = b[2], depth = b[16], descriptor = b[17];
  layout.type = type & 7;
  if ((type & ~8u) < 1 || (type & ~8u) > 3)
    refuse("image type " + std::to_string(type) + " is not one of 1, 2, 3, 9, 10, 11", 2);
  image.width = u16(b, 12);
  image.height = u16(b, 14);
  if (image.width == 0 || image.height == 0)
    refuse("an image of no pixels", 12);
  if (std::uint64_t{u16(b, 12)} * u16(b, 14) > kMaxTgaPixels)
    refuse("more than " + std::to_string(kMaxTgaPixels) + " pixels", 12);
  const bool okDepth = layout.type == 1   ? depth == 8 || depth == 16
                       : layout.type == 2 ? depth == 15 || depth == 16 || depth == 24 || depth == 32
                                          : depth == 8 || depth == 16;
  if (!okDepth)
    refuse(std::to_string(depth) + " bits a pixel for image type " + std::to_string(type), 16);
  layout.pixelBytes = (depth + 7) / 8;
  layout.alpha = (descriptor & 15) != 0;
  std::size_t at = kHeaderSize + b[0];
  if (mapType > 1)
    refuse("colour map type " + std::to_string(mapType), 1);
  if (mapType == 1) {
    const unsigned entryBits = b[7], entryBytes = (entryBits + 7) / 8;
    if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32)
      refuse(std::to_string(entryBits) + "-bit colour map entries", 7);
    layout.mapFirst = u16(b, 3);
    const std::size_t entries = u16(b, 5);
    if (at + entries * entryBytes > b.size())
      refuse("the colour map runs past the end of the file", at);
    for (std::size_t k = 0; k < entries; ++k)
      layout.map.push_back(colour(&b[at + k * entryBytes], entryBytes, false, entryBits == 32));
    at += entries * entryBytes;
  } else if (layout.type == 1) {
    refuse("a colour-mapped image without a colour map", 1);
  }
  if (at > b.size())
    refuse("the image ID runs past the end of the file", kHeaderSize);
  return at;
}

// The pixel at `p` as a colour, through the map for a mapped image.
std::uint32_t pixelAt(const Layout& layout, const std::uint8_t* p, std::size_t offset) {
  if (layout.type != 1)
    return colour(p, layout.pixelBytes, layout.type == 3, layout.alpha);
  const std::size_t index =
      layout.pixelBytes == 1 ? p[0] : static_cast<std::size_t>(p[0] | p[1] << 8);
  if (index < layout.mapFirst || index - layout.mapFirst >= layout.map.size())
    refuse("colour index " + std::to_string(index) + " lies outside the colour map", offset);
  return layout.map[index - layout.mapFirst];
}

}  // namespace

TgaImage readTga(std::span<const std::uint8_t> b) {
  TgaImage image;
  Layout layout;
  std::size_t at = readLayout(b, image, layout);
  const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
  const bool rle = (b[2] & 8) != 0;
  const std::size_t step = layout.pixelBytes;
  // Before anything is allocated: the bytes left must be able to hold the pixels (a run
  // packet gives at most 128 pixels for 1 + step bytes).
  const std::size_t left = b.size() - at;
  if (rle ? count > left / (1 + step) * 128 + 128 : count > left / step)
    refuse("the pixel data ends before the image does", b.size());
  std::vector<std::uint32_t> order;  // pixels in the file's order
  order.reserve(count);
  while (order.size() < count) {
    std::size_t run = 1, literal = 1;
    if (rle) {
      if (at >= b.size())
        refuse("the pixel data ends before the image does", at);
      const unsigned packet = b[at++];
      (packet & 0x80 ? run : literal) = (packet & 0x7F) + 1u;
    }
    if (at + step * literal > b.size())
      refuse("the pixel data ends before the image does", at);
    for (std::size_t k = 0; k < literal && order.size() < count; ++k, at += step)
      order.push_back(pixelAt(layout, &b[at], at));
    for (std::size_t k = 1; k < run && order.size() < count; ++k)
      order.push_back(order.back());
  }
  // Bits 4 and 5 of the descriptor: rows from the right, rows from the top.
  const bool fromRight = (b[17] & 0x10) != 0, fromTop = (b[17] & 0x20) != 0;
  image.pixels.resize(count);
  const std::size_t w = static_cast<std::size_t>(image.width);
  const std::size_t h = static_cast<std::size_t>(image.height);
  for (std::size_t row = 0; row < h; ++row)
    for (std::size_t col = 0; col < w; ++col)
      image.pixels[(fromTop ? row : h - 1 - row) * w + (fromRight ? w - 1 - col : col)] =
          order[row * w + col];
  return image;
}

}  // namespace model
