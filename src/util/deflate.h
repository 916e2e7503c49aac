// Raw DEFLATE (RFC 1951) on whole buffers, through libdeflate.
//
// Thread safety: each function uses its own (de)compressor, so calls from several
// threads at once are safe.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace util {

enum class InflateStatus { Ok, BadData, ShortOutput, WrongSize };

// Inflates `in` into exactly `out.size()` bytes. Ok only when the stream is valid and
// produces exactly that many bytes; ShortOutput when it would produce more, WrongSize
// when it produces fewer, BadData when it is not valid DEFLATE data.
InflateStatus inflateExact(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// A short English description of a status ("the data is not valid DEFLATE data").
const char* describe(InflateStatus status);

// Compresses `in` at `level` (1 fastest .. 12 smallest, 6 is zlib's default).
std::vector<std::uint8_t> deflateRaw(std::span<const std::uint8_t> in, int level = 6);

}  // namespace util
