// Sound banks laid out byte by byte from the format's public facts, independently of fsb::readBank;
// the WAV file a player reads; IMA ADPCM decoded by the textbook algorithm.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fsb/convert.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace fsb_tests {

namespace fs = std::filesystem;
using namespace fsb;
using testing_support::le;

inline std::string randomBytes(std::size_t count, std::mt19937& random, unsigned below = 256) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i)
    out += static_cast<char>(random() % below);
  return out;
}

struct RawSample {
  std::string name{};  // cut or NUL-padded to the 30-byte field
  std::string data{};
  std::uint32_t frames = 0;
  std::uint32_t mode = 0;
  std::uint16_t channels = 1;
  std::int32_t rate = 44100;
  std::size_t extra = 0;                                  // header bytes after the fixed fields
  std::optional<std::uint16_t> sizeField = std::nullopt;  // default: the real size
  std::optional<std::uint32_t> dataBytesField = std::nullopt;  // default: data.size()
};

struct RawBank {
  std::string id = "FSB3";  // "FSB4" gets the 48-byte bank header
  std::uint32_t version = 0x30001;
  std::uint32_t flags = 0;
  std::optional<std::uint32_t> countField = std::nullopt;
  std::optional<std::uint32_t> headerBytesField = std::nullopt;  // shdrsize
  std::optional<std::uint32_t> dataBytesField = std::nullopt;    // datasize
  std::string trailing{};
};

inline std::string buildBank(const RawBank& bank, const std::vector<RawSample>& samples) {
  const std::size_t fixed = bank.version == 0x30000 ? 64 : 80, start = bank.id == "FSB4" ? 48 : 24;
  std::string headers, data;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const RawSample& s = samples[i];
    const std::uint64_t dataBytes = s.dataBytesField.value_or(s.data.size());
    if (bank.flags & kBankBasicHeaders && i > 0) {
      headers += le(s.frames, 4) + le(dataBytes, 4);
      continue;
    }
    std::string name = s.name.substr(0, kNameBytes);
    headers += le(s.sizeField.value_or(fixed + s.extra), 2) +
               name.append(kNameBytes - name.size(), '\0') + le(s.frames, 4) + le(dataBytes, 4) +
               le(0, 4) + le(s.frames ? s.frames - 1 : 0, 4) + le(s.mode, 4) +
               le(static_cast<std::uint32_t>(s.rate), 4) + le(255, 2) + le(128, 2) + le(128, 2) +
               le(s.channels, 2);
    headers.append(fixed - 64, '\0').append(s.extra, '\xEE');
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    while (bank.flags & kBankMpegPadded4 && i > 0 && (start + headers.size() + data.size()) % 32)
      data += '\0';
    data += samples[i].data;
  }
  std::string out = bank.id + le(bank.countField.value_or(samples.size()), 4) +
                    le(bank.headerBytesField.value_or(headers.size()), 4) +
                    le(bank.dataBytesField.value_or(data.size()), 4) + le(bank.version, 4) +
                    le(bank.flags, 4);
  return out.append(start - 24, '\0') + headers + data + bank.trailing;
}

// A bank file and an empty output folder two levels below one temporary folder.
struct Sandbox {
  testing_support::TempDir dir;
  fs::path folder = dir.path() / "a" / "out";
  fs::path bank;

  explicit Sandbox(const std::string& bytes, const std::string& name = "bank.fsb")
      : bank(dir.write(name, bytes)) {
    fs::create_directories(folder);
  }
  ConvertResult convert() const { return convertBank(bank, folder); }
  // The name and the bytes of the file sample `index` was written to.
  static std::string nameOf(const ConvertResult& result, std::size_t index) {
    for (const auto& file : result.written)
      if (file.index == index)
        return file.fileName;
    ADD_FAILURE() << "sample " << index << " not written";
    return "?";
  }
  std::string output(const ConvertResult& result, std::size_t index) const {
    return testing_support::slurp(folder / nameOf(result, index));
  }
};

// A PCM WAV file: "RIFF", the size of the rest, "WAVE", a 16-byte fmt chunk and the data
// chunk, padded to an even size.
inline std::string wavFile(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits,
                           const std::string& data) {
  const std::string body = "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) + le(rate, 4) +
                           le(rate * channels * bits / 8, 4) + le(channels * bits / 8, 2) +
                           le(bits, 2) + "data" + le(data.size(), 4) + data +
                           std::string(data.size() % 2, '\0');
  return "RIFF" + le(body.size(), 4) + body;
}

// IMA ADPCM in 36-byte blocks per channel, 64 samples each: the header's sample, then 63
// of the 64 codes (low nibble first; with two channels, 4-byte runs alternate). Gives the
// first `frames` frames as interleaved 16-bit PCM.
inline std::string imaDecode(const std::string& data, std::size_t channels, std::size_t frames) {
  static constexpr int kSteps[] = {
      7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
      25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
      88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
      307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
      1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
      3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
      12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
  static_assert(std::size(kSteps) == 89);
  static constexpr int kIndexStep[] = {-1, -1, -1, -1, 2, 4, 6, 8};
  const auto byte = [&](std::size_t at) { return int{static_cast<std::uint8_t>(data[at])}; };
  std::string out;
  for (std::size_t block = 0; block + 36 * channels <= data.size(); block += 36 * channels) {
    std::vector<int> decoded(64 * channels);
    for (std::size_t c = 0; c < channels; ++c) {
      const std::size_t head = block + 4 * c;
      int sample = static_cast<std::int16_t>(byte(head) | byte(head + 1) << 8);
      int index = byte(head + 2);
      decoded[c] = sample;
      for (std::size_t k = 0; k < 63; ++k) {
        const int code =
            byte(block + 4 * channels + k / 8 * 4 * channels + 4 * c + k % 8 / 2) >> (k % 2 * 4) &
            0xF;
        const int step = kSteps[index];
        const int diff = (step >> 3) + (code & 4 ? step : 0) + (code & 2 ? step >> 1 : 0) +
                         (code & 1 ? step >> 2 : 0);
        sample = std::clamp(code & 8 ? sample - diff : sample + diff, -32768, 32767);
        index = std::clamp(index + kIndexStep[code & 7], 0, 88);
        decoded[(k + 1) * channels + c] = sample;
      }
    }
    for (int sample : decoded)
      out += le(static_cast<std::uint16_t>(sample), 2);
  }
  out.resize(frames * channels * 2);
  return out;
}

}  // namespace fsb_tests
