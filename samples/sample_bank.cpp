#include "sample_bank.h"

#include "fsb/ima.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace samples {

namespace {

void put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::int16_t> wave(const Tone& tone, unsigned channel) {
  std::vector<std::int16_t> out(tone.frames);
  const double pi = 3.14159265358979323846;
  for (unsigned i = 0; i < tone.frames; ++i) {
    const double t = static_cast<double>(i) / tone.rate;
    const double fade = 1.0 - static_cast<double>(i) / tone.frames;
    const double hz = tone.hertz * (channel == 0 ? 1.0 : 1.5);
    out[i] = static_cast<std::int16_t>(std::lround(12000.0 * fade * std::sin(2 * pi * hz * t)));
  }
  return out;
}

// Mono IMA ADPCM in 36-byte blocks: the block's first sample and step index, then 64 codes
// of which a player uses the first 63.
std::vector<std::uint8_t> imaBlocks(const std::vector<std::int16_t>& pcm) {
  std::vector<std::uint8_t> out;
  int index = 0;
  for (std::size_t start = 0; start < pcm.size(); start += 64) {
    int predictor = pcm[start];
    put(out, static_cast<std::uint16_t>(pcm[start]), 2);
    out.push_back(static_cast<std::uint8_t>(index));
    out.push_back(0);
    std::array<std::uint8_t, 64> codes{};
    for (std::size_t n = 0; n < 63; ++n) {
      const std::size_t at = start + n + 1;
      const int target = at < pcm.size() ? pcm[at] : 0;
      const int step = fsb::kImaSteps[static_cast<std::size_t>(index)];
      int diff = target - predictor;
      unsigned code = diff < 0 ? 8 : 0;
      diff = std::abs(diff);
      int delta = step >> 3;
      if (diff >= step) {
        code |= 4, diff -= step, delta += step;
      }
      if (diff >= step >> 1) {
        code |= 2, diff -= step >> 1, delta += step >> 1;
      }
      if (diff >= step >> 2)
        code |= 1, delta += step >> 2;
      predictor = std::clamp(predictor + ((code & 8) ? -delta : delta), -32768, 32767);
      index = std::clamp(index + fsb::kImaIndexStep[code & 7], 0, 88);
      codes[n] = static_cast<std::uint8_t>(code);
    }
    for (std::size_t k = 0; k < 32; ++k)
      out.push_back(static_cast<std::uint8_t>(codes[2 * k] | (codes[2 * k + 1] << 4)));
  }
  return out;
}

std::vector<std::uint8_t> dataOf(const Tone& tone) {
  std::vector<std::uint8_t> out;
  if (tone.kind == Tone::Ima)
    return imaBlocks(wave(tone, 0));
  std::vector<std::vector<std::int16_t>> channels;
  for (unsigned c = 0; c < tone.channels; ++c)
    channels.push_back(wave(tone, c));
  for (unsigned i = 0; i < tone.frames; ++i)
    for (const auto& channel : channels) {
      if (tone.kind == Tone::Pcm8)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(channel[i] >> 8)));
      else
        put(out, static_cast<std::uint16_t>(channel[i]), 2);
    }
  return out;
}

}  // namespace

std::vector<std::uint8_t> makeBank(const std::vector<Tone>& tones) {
  std::vector<std::uint8_t> headers, data;
  for (const auto& tone : tones) {
    const auto bytes = dataOf(tone);
    put(headers, 80, 2);
    std::array<char, 30> name{};
    std::memcpy(name.data(), tone.name.data(), std::min(tone.name.size(), name.size()));
    headers.insert(headers.end(), name.begin(), name.end());
    put(headers, tone.frames, 4);
    put(headers, bytes.size(), 4);
    put(headers, 0, 4);                                                      // loop start
    put(headers, tone.frames - 1, 4);                                        // loop end
    std::uint32_t mode = 0x01 | 0x100 | (tone.channels == 2 ? 0x40 : 0x20);  // loop off, signed
    mode |= tone.kind == Tone::Ima ? 0x400000 : tone.kind == Tone::Pcm8 ? 0x08 : 0x10;
    put(headers, mode, 4);
    put(headers, tone.rate, 4);
    put(headers, 255, 2);  // volume
    put(headers, 128, 2);  // pan: centre
    put(headers, 128, 2);  // priority
    put(headers, tone.channels, 2);
    put(headers, 0x3F800000, 4);  // 3D minimum distance 1.0
    put(headers, 0x461C4000, 4);  // 3D maximum distance 10000.0
    put(headers, 0, 4);
    put(headers, 0, 2);
    put(headers, 0, 2);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  std::vector<std::uint8_t> bank = {'F', 'S', 'B', '3'};
  put(bank, tones.size(), 4);
  put(bank, headers.size(), 4);
  put(bank, data.size(), 4);
  put(bank, 0x00030001, 4);
  put(bank, 0, 4);
  bank.insert(bank.end(), headers.begin(), headers.end());
  bank.insert(bank.end(), data.begin(), data.end());
  return bank;
}

std::vector<Tone> sampleTones() {
  return {{"menu_open", Tone::Pcm16, 2, 22050, 11025, 523.25},
          {"click", Tone::Pcm8, 1, 11025, 1500, 1760},
          {"alarm_low", Tone::Ima, 1, 22050, 16000, 220}};
}

}  // namespace samples
