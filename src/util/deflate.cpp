#include "util/deflate.h"

#include <libdeflate.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

namespace util {
namespace {

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

libdeflate_decompressor* threadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> d(
      libdeflate_alloc_decompressor());
  if (!d)
    throw std::bad_alloc();
  return d.get();
}

}  // namespace

InflateResult inflateRaw(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  InflateResult result;
  auto r = libdeflate_deflate_decompress_ex(threadDecompressor(), in.data(), in.size(), out.data(),
                                            out.size(), &result.inBytes, &result.outBytes);
  result.status = r == LIBDEFLATE_SUCCESS              ? InflateStatus::Ok
                  : r == LIBDEFLATE_INSUFFICIENT_SPACE ? InflateStatus::OutputFull
                                                       : InflateStatus::BadData;
  return result;
}

const char* describe(InflateStatus status) {
  switch (status) {
    case InflateStatus::Ok:
      return "ok";
    case InflateStatus::BadData:
      return "the data is not valid DEFLATE data";
    case InflateStatus::OutputFull:
      return "the data inflates to more bytes than there is room for";
  }
  return "unknown inflate status";
}

DeflatedBytes deflateRawUncleared(std::span<const std::uint8_t> in, int level) {
  // One compressor per thread and level: allocating one costs more than compressing a
  // small file.
  thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressors[13];
  if (level < 0 || level > 12)
    throw std::invalid_argument("DEFLATE level " + std::to_string(level) + " is not 0 to 12");
  auto& c = compressors[level];
  if (!c)
    c.reset(libdeflate_alloc_compressor(level));
  if (!c)
    throw std::bad_alloc();
  const std::size_t bound = libdeflate_deflate_compress_bound(c.get(), in.size());
  DeflatedBytes out{std::make_unique_for_overwrite<std::uint8_t[]>(bound), 0};
  out.size = libdeflate_deflate_compress(c.get(), in.data(), in.size(), out.bytes.get(), bound);
  return out;
}

std::vector<std::uint8_t> deflateRaw(std::span<const std::uint8_t> in, int level) {
  auto out = deflateRawUncleared(in, level);
  return {out.bytes.get(), out.bytes.get() + out.size};
}

}  // namespace util
