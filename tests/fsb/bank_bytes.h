// Sound banks laid out byte by byte from the format's public facts, independently of
// fsb::readBank, and readers for what a conversion writes: the chunks of a WAV file and
// IMA ADPCM decoded by the textbook algorithm.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fsb/convert.h"
#include "support/temp_dir.h"

namespace fsb_tests {

namespace fs = std::filesystem;
using namespace fsb;

inline void put(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>(value >> (8 * i) & 0xFF);
}

inline std::uint32_t get(const std::string& in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = value << 8 | static_cast<std::uint8_t>(in.at(at + static_cast<std::size_t>(i)));
  return value;
}

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
    const auto dataBytes = s.dataBytesField.value_or(static_cast<std::uint32_t>(s.data.size()));
    if (bank.flags & kBankBasicHeaders && i > 0) {
      put(headers, s.frames, 4);
      put(headers, dataBytes, 4);
      continue;
    }
    put(headers, s.sizeField.value_or(static_cast<std::uint16_t>(fixed + s.extra)), 2);
    std::string name = s.name.substr(0, kNameBytes);
    headers += name.append(kNameBytes - name.size(), '\0');
    for (std::uint32_t field : {s.frames, dataBytes, 0u, s.frames ? s.frames - 1 : 0, s.mode,
                                static_cast<std::uint32_t>(s.rate)})
      put(headers, field, 4);
    for (std::uint32_t field : {255u, 128u, 128u, std::uint32_t{s.channels}})
      put(headers, field, 2);
    headers.append(fixed - 64, '\0');
    headers.append(s.extra, '\xEE');
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    while (bank.flags & kBankMpegPadded4 && i > 0 && (start + headers.size() + data.size()) % 32)
      data += '\0';
    data += samples[i].data;
  }
  std::string out = bank.id;
  put(out, bank.countField.value_or(static_cast<std::uint32_t>(samples.size())), 4);
  put(out, bank.headerBytesField.value_or(static_cast<std::uint32_t>(headers.size())), 4);
  put(out, bank.dataBytesField.value_or(static_cast<std::uint32_t>(data.size())), 4);
  put(out, bank.version, 4);
  put(out, bank.flags, 4);
  out.append(start - 24, '\0');
  return out + headers + data + bank.trailing;
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

struct Wav {
  std::uint32_t tag = 0, channels = 0, rate = 0, byteRate = 0, blockAlign = 0, bits = 0;
  std::string data{};
};

// The fmt and data chunks of a WAV file; fails the test when the RIFF structure is wrong.
inline Wav parseWav(const std::string& file) {
  Wav wav;
  EXPECT_EQ(file.substr(0, 4) + file.substr(8, 4), "RIFFWAVE");
  EXPECT_EQ(get(file, 4, 4), file.size() - 8) << "RIFF size";
  std::size_t at = 12;
  for (; at + 8 <= file.size(); at += 8 + get(file, at + 4, 4) + (get(file, at + 4, 4) & 1)) {
    const std::string id = file.substr(at, 4), body = file.substr(at + 8, get(file, at + 4, 4));
    if (body.size() % 2) {
      EXPECT_EQ(file.at(at + 8 + body.size()), '\0') << "pad byte";
    }
    if (id == "fmt ")
      wav = {get(body, 0, 2), get(body, 2, 2),  get(body, 4, 4),
             get(body, 8, 4), get(body, 12, 2), get(body, 14, 2)};
    else if (id == "data")
      wav.data = body;
  }
  EXPECT_EQ(at, file.size()) << "the chunks end with the file";
  EXPECT_EQ(wav.blockAlign, wav.channels * wav.bits / 8);
  EXPECT_EQ(wav.byteRate, wav.rate * wav.blockAlign);
  return wav;
}

// IMA ADPCM in 36-byte blocks per channel, 64 samples each: the header's sample, then 63
// of the 64 codes (low nibble first; with two channels, 4-byte runs alternate). Interleaved.
inline std::vector<std::int16_t> imaDecode(const std::string& data, std::size_t channels,
                                           std::size_t frames) {
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
  std::vector<std::int16_t> out;
  for (std::size_t block = 0; block + 36 * channels <= data.size(); block += 36 * channels) {
    std::vector<std::int16_t> decoded(64 * channels);
    for (std::size_t c = 0; c < channels; ++c) {
      int sample = static_cast<std::int16_t>(get(data, block + 4 * c, 2));
      int index = static_cast<std::uint8_t>(data[block + 4 * c + 2]);
      decoded[c] = static_cast<std::int16_t>(sample);
      for (std::size_t k = 0; k < 63; ++k) {
        const std::size_t at = block + 4 * channels + k / 8 * 4 * channels + 4 * c + k % 8 / 2;
        const int code = static_cast<std::uint8_t>(data[at]) >> (k % 2 * 4) & 0xF;
        const int step = kSteps[index];
        const int diff = (step >> 3) + (code & 4 ? step : 0) + (code & 2 ? step >> 1 : 0) +
                         (code & 1 ? step >> 2 : 0);
        sample = std::clamp(code & 8 ? sample - diff : sample + diff, -32768, 32767);
        index = std::clamp(index + kIndexStep[code & 7], 0, 88);
        decoded[(k + 1) * channels + c] = static_cast<std::int16_t>(sample);
      }
    }
    out.insert(out.end(), decoded.begin(), decoded.end());
  }
  out.resize(frames * channels);
  return out;
}

}  // namespace fsb_tests
