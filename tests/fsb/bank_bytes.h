// Sound banks, WAV files and IMA ADPCM blocks laid out byte by byte, not by the code under test.
#pragma once

#include <cstdint>
#include <optional>

#include "fsb/convert.h"
#include "platform/files.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/temp_dir.h"

namespace fsb_tests {

namespace fs = std::filesystem;
using namespace fsb;
using testing_support::le;

struct RawSample {
  std::string name{};  // cut or NUL-padded to the 30-byte field
  std::string data{};
  std::uint32_t frames = 0, mode = 0;
  std::uint16_t channels = 1;
  std::int32_t rate = 44100;
  std::size_t extra = 0;                                  // header bytes after the fixed fields
  std::optional<std::uint16_t> sizeField = std::nullopt;  // default: the real size
  std::optional<std::uint32_t> dataBytesField = std::nullopt;  // default: data.size()
};

struct RawBank {
  std::string id = "FSB3";  // "FSB4" gets the 48-byte bank header
  std::uint32_t version = 0x30001, flags = 0;
  // The sample count, shdrsize and datasize fields; default: as laid out.
  std::optional<std::uint32_t> countField = std::nullopt, headerBytesField = std::nullopt,
                               dataBytesField = std::nullopt;
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
  // The name of the file sample `index` was written to.
  static std::string nameOf(const ConvertResult& result, std::size_t index) {
    for (const auto& file : result.written)
      if (file.index == index)
        return file.fileName;
    ADD_FAILURE() << "sample " << index << " not written";
    return "?";
  }
  // Its bytes, which the result counts right.
  std::string output(const ConvertResult& result, std::size_t index) const {
    const auto bytes =
        testing_support::slurp(folder / platform::pathFromUtf8(nameOf(result, index)));
    for (const auto& file : result.written)
      EXPECT_TRUE(file.index != index || file.bytes == bytes.size()) << file.fileName;
    return bytes;
  }
};

// The name and bytes of the file the bank's only sample becomes.
inline std::pair<std::string, std::string> convertOne(const RawBank& bank, const RawSample& s) {
  Sandbox box(buildBank(bank, {s}));
  const auto result = box.convert();
  return {Sandbox::nameOf(result, 0), box.output(result, 0)};
}

// A PCM WAV file: "RIFF", the size of the rest, "WAVE", a 16-byte fmt chunk, the data padded even.
inline std::string wavFile(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits,
                           const std::string& data) {
  const std::string body = "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) + le(rate, 4) +
                           le(rate * channels * bits / 8, 4) + le(channels * bits / 8, 2) +
                           le(bits, 2) + "data" + le(data.size(), 4) + data +
                           std::string(data.size() % 2, '\0');
  return "RIFF" + le(body.size(), 4) + body;
}

// One channel of an IMA ADPCM block: first sample, step index, up to 64 hex codes in play order.
struct ImaChannel {
  std::int16_t first = 0;
  std::uint8_t index = 0;
  std::string codes{};
};

// 36 bytes a channel: the 4-byte headers, then each channel's codes in turn by 8, low nibble first.
inline std::string imaBlock(const std::vector<ImaChannel>& channels) {
  std::string out;
  for (const ImaChannel& c : channels)
    out += le(static_cast<std::uint16_t>(c.first), 2) + char(c.index) + '\0';
  for (std::size_t run = 0; run < 64; run += 8)
    for (const ImaChannel& c : channels)
      for (std::size_t n = run; n < run + 8; n += 2) {
        const auto code = [&](std::size_t at) {
          return at < c.codes.size() ? std::stoi(c.codes.substr(at, 1), nullptr, 16) : 0;
        };
        out += char(code(n) | code(n + 1) << 4);
      }
  return out;
}

// Samples as little-endian 16-bit PCM.
inline std::string pcm16(const std::vector<int>& samples) {
  std::string out;
  for (int sample : samples)
    out += le(static_cast<std::uint16_t>(sample), 2);
  return out;
}

}  // namespace fsb_tests
