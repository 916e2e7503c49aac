#include "util/deflate.h"

#include <libdeflate.h>

#include <memory>
#include <new>

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

InflateStatus inflateExact(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  std::size_t actual = 0;
  auto r = libdeflate_deflate_decompress(threadDecompressor(), in.data(), in.size(), out.data(),
                                         out.size(), &actual);
  switch (r) {
    case LIBDEFLATE_SUCCESS:
      return actual == out.size() ? InflateStatus::Ok : InflateStatus::WrongSize;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
      return InflateStatus::ShortOutput;
    default:
      return InflateStatus::BadData;
  }
}

const char* describe(InflateStatus status) {
  switch (status) {
    case InflateStatus::Ok:
      return "ok";
    case InflateStatus::BadData:
      return "the data is not valid DEFLATE data";
    case InflateStatus::ShortOutput:
      return "the data inflates to more bytes than the unpacked size";
    case InflateStatus::WrongSize:
      return "the data inflates to fewer bytes than the unpacked size";
  }
  return "unknown inflate status";
}

std::vector<std::uint8_t> deflateRaw(std::span<const std::uint8_t> in, int level) {
  std::unique_ptr<libdeflate_compressor, CompressorDeleter> c(libdeflate_alloc_compressor(level));
  if (!c)
    throw std::bad_alloc();
  std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(c.get(), in.size()));
  std::size_t n =
      libdeflate_deflate_compress(c.get(), in.data(), in.size(), out.data(), out.size());
  out.resize(n);
  return out;
}

}  // namespace util
