// Raw DEFLATE (RFC 1951) on whole buffers, through libdeflate.
//
// Thread safety: each function uses its own (de)compressor, so calls from several
// threads at once are safe.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace util {

enum class InflateStatus {
  Ok,          // a complete stream that fit in the output
  BadData,     // not valid DEFLATE data, or the stream ends before its final block
  OutputFull,  // the stream holds more bytes than the output has room for
};

struct InflateResult {
  InflateStatus status = InflateStatus::BadData;
  std::size_t outBytes = 0;  // with Ok: the bytes the stream gave (at most out.size())
  std::size_t inBytes = 0;   // with Ok: the input bytes up to the end of the final block
};

// Inflates the raw DEFLATE stream at the start of `in` into `out`.
InflateResult inflateRaw(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// A short English description of a failed status ("the data is not valid DEFLATE data").
const char* describe(InflateStatus status);

// Compresses `in` at `level` (0 stored blocks, 1 fastest .. 12 smallest, 6 is zlib's
// default).
std::vector<std::uint8_t> deflateRaw(std::span<const std::uint8_t> in, int level = 6);

// The same into a buffer of the worst-case size that is never cleared: the pages past
// `size` are never touched, so they cost no memory.
struct DeflatedBytes {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
};
DeflatedBytes deflateRawUncleared(std::span<const std::uint8_t> in, int level);

}  // namespace util
