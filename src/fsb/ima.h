// IMA ADPCM as banks store it: the block layout, the step size for each of the 89 step
// indices, and how a code's three magnitude bits move the index.
#pragma once

#include <array>
#include <cstdint>

namespace fsb {

// A block holds, per channel, a 4-byte header (the first sample as a signed 16-bit number,
// the step index, a reserved byte), then 64 four-bit codes, low nibble first. With two
// channels both headers come first and the codes alternate in runs of 8 (4 bytes) per
// channel. A block plays the header's sample and its first 63 codes.
inline constexpr std::uint64_t kImaBlockBytes = 36;  // per channel
inline constexpr std::uint64_t kImaBlockFrames = 64;
inline constexpr std::uint64_t kImaHeaderBytes = 4;  // per channel
inline constexpr std::uint64_t kImaHeaderStepIndex = 2;
inline constexpr std::uint64_t kImaRunBytes = 4;
inline constexpr std::uint64_t kImaRunCodes = 8;
inline constexpr int kImaMaxStepIndex = 88;

inline constexpr std::array<std::int16_t, 89> kImaSteps = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
inline constexpr std::array<int, 8> kImaIndexStep = {-1, -1, -1, -1, 2, 4, 6, 8};

}  // namespace fsb
