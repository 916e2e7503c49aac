#include "fsb/convert.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "fsb/ima.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/temporary.h"
#include "util/cp1252.h"

namespace fsb {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

// The 44-byte header of a WAV holding `dataBytes` bytes of `format` (1 PCM, 3 float).
std::array<std::uint8_t, 44> wavHeader(std::uint16_t format, std::uint16_t channels,
                                       std::uint32_t rate, std::uint16_t bits,
                                       std::uint32_t dataBytes) {
  std::array<std::uint8_t, 44> h{};
  const std::uint32_t align = channels * bits / 8u;
  std::memcpy(h.data(), "RIFF", 4);
  put32(&h[4], 36 + dataBytes + (dataBytes & 1));
  std::memcpy(&h[8], "WAVEfmt ", 8);
  put32(&h[16], 16);
  put16(&h[20], format);
  put16(&h[22], channels);
  put32(&h[24], rate);
  put32(&h[28], rate * align);
  put16(&h[32], align);
  put16(&h[34], bits);
  std::memcpy(&h[36], "data", 4);
  put32(&h[40], dataBytes);
  return h;
}

bool isImaWav(const Sample& s) {
  return s.encoding == Encoding::ImaAdpcm && s.channels >= 1 && s.channels <= 2 &&
         !(s.mode & kModeMultichannel);
}

std::uint32_t sampleRate(const Sample& s) {
  return s.rate > 0 ? static_cast<std::uint32_t>(s.rate) : 44100u;
}

// --- PCM -------------------------------------------------------------------------------

std::uint64_t renderPcm(const Bank& bank, const Sample& s, std::span<const std::uint8_t> data,
                        const ByteSink& out) {
  const unsigned width = s.encoding == Encoding::Pcm8 ? 1 : s.encoding == Encoding::Pcm16 ? 2 : 4;
  const unsigned channels = s.channels;
  const std::uint64_t align = std::uint64_t{width} * channels;
  const bool planar = (bank.flags & kBankNotInterleaved) && channels > 1;
  const std::uint64_t channelBytes = data.size() / channels;
  const std::uint64_t available = planar ? channelBytes / width : data.size() / align;
  const std::uint64_t frames = std::min<std::uint64_t>(s.frames, available);
  // Frames that would make the data chunk pass 4 GiB cannot be described: keep fewer.
  const std::uint64_t kept = std::min<std::uint64_t>(frames, (0xFFFFFFFFull - 36 - 1) / align);
  const std::uint64_t dataBytes = kept * align;

  const bool swap = width > 1 && (bank.flags & kBankBigEndianPcm);
  const bool flipSign = width == 1 && !(s.mode & kModeUnsigned);
  const auto header =
      wavHeader(width == 4 ? 3 : 1, static_cast<std::uint16_t>(channels), sampleRate(s),
                static_cast<std::uint16_t>(width * 8), static_cast<std::uint32_t>(dataBytes));
  out(header);
  if (!swap && !flipSign && !planar) {
    out(data.first(dataBytes));
  } else {
    std::vector<std::uint8_t> buffer;
    const std::uint64_t perChunk = std::max<std::uint64_t>(1, kChunkBytes / align);
    for (std::uint64_t first = 0; first < kept; first += perChunk) {
      const std::uint64_t n = std::min(perChunk, kept - first);
      buffer.resize(n * align);
      if (planar) {
        for (std::uint64_t f = 0; f < n; ++f)
          for (unsigned c = 0; c < channels; ++c)
            std::memcpy(&buffer[(f * channels + c) * width],
                        &data[c * channelBytes + (first + f) * width], width);
      } else {
        std::memcpy(buffer.data(), &data[first * align], n * align);
      }
      if (flipSign)
        for (auto& b : buffer)
          b ^= 0x80;
      if (swap)
        for (std::size_t i = 0; i + width <= buffer.size(); i += width)
          std::reverse(&buffer[i], &buffer[i] + width);
      out(buffer);
    }
  }
  if (dataBytes & 1) {
    const std::uint8_t pad = 0;
    out({&pad, 1});
  }
  return kept;
}

// --- IMA ADPCM: 36-byte blocks per channel, 64 frames each --------------------------------

std::uint64_t renderIma(const Sample& s, std::span<const std::uint8_t> data, const ByteSink& out) {
  const unsigned channels = s.channels;
  const std::uint64_t blockBytes = kImaBlockBytes * channels;
  const std::uint64_t blocks = data.size() / blockBytes;
  const std::uint64_t frames = std::min<std::uint64_t>(s.frames, blocks * kImaBlockFrames);
  const std::uint64_t dataBytes = frames * 2 * channels;
  out(wavHeader(1, static_cast<std::uint16_t>(channels), sampleRate(s), 16,
                static_cast<std::uint32_t>(dataBytes)));

  std::vector<std::uint8_t> pcm;
  pcm.reserve(std::min<std::uint64_t>(kChunkBytes, dataBytes) + blockBytes * 4);
  std::array<std::int16_t, kImaBlockFrames * 2> block{};
  for (std::uint64_t b = 0, done = 0; done < frames; ++b) {
    const std::uint8_t* in = &data[b * blockBytes];
    const std::uint8_t* codes = in + kImaHeaderBytes * channels;
    for (unsigned c = 0; c < channels; ++c) {
      const std::uint8_t* header = in + kImaHeaderBytes * c;
      int predictor = static_cast<std::int16_t>(header[0] | (header[1] << 8));
      int index = std::min<int>(header[kImaHeaderStepIndex], kImaMaxStepIndex);
      block[c] = static_cast<std::int16_t>(predictor);
      // The header sample, then the first 63 codes; the last code is not played.
      for (unsigned n = 0; n + 1 < kImaBlockFrames; ++n) {
        const std::uint8_t byte =
            codes[((n / kImaRunCodes) * channels + c) * kImaRunBytes + (n % kImaRunCodes) / 2];
        const unsigned code = (n % 2) ? byte >> 4 : byte & 0x0F;
        const int step = kImaSteps[static_cast<std::size_t>(index)];
        int diff = step >> 3;
        if (code & 4)
          diff += step;
        if (code & 2)
          diff += step >> 1;
        if (code & 1)
          diff += step >> 2;
        predictor = std::clamp(predictor + ((code & 8) ? -diff : diff), -32768, 32767);
        index = std::clamp(index + kImaIndexStep[code & 7], 0, kImaMaxStepIndex);
        block[(n + 1) * channels + c] = static_cast<std::int16_t>(predictor);
      }
    }
    const std::uint64_t n = std::min<std::uint64_t>(kImaBlockFrames, frames - done);
    for (std::uint64_t i = 0; i < n * channels; ++i) {
      pcm.push_back(static_cast<std::uint8_t>(block[i]));
      pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(block[i]) >> 8));
    }
    done += n;
    if (pcm.size() >= kChunkBytes || done == frames) {
      out(pcm);
      pcm.clear();
    }
  }
  return frames;
}

// --- MPEG ---------------------------------------------------------------------------------

// The length of the MPEG audio frame whose header starts at `p` (4 bytes there), 0 when
// those bytes are not a frame header.
std::uint64_t mpegFrameLength(const std::uint8_t* p) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
    return 0;
  const unsigned version = (p[1] >> 3) & 3;  // 0 = 2.5, 2 = 2, 3 = 1
  const unsigned layer = (p[1] >> 1) & 3;    // 1 = III, 2 = II, 3 = I
  const unsigned rateIndex = p[2] >> 4, freqIndex = (p[2] >> 2) & 3, padding = (p[2] >> 1) & 1;
  if (version == 1 || layer == 0 || rateIndex == 0 || rateIndex == 15 || freqIndex == 3)
    return 0;
  static constexpr std::uint16_t kRates[5][14] = {
      {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // 1, I
      {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // 1, II
      {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // 1, III
      {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // 2, I
      {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};         // 2, II and III
  static constexpr std::uint32_t kFrequencies[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const unsigned table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
  const std::uint64_t bitrate = kRates[table][rateIndex - 1] * 1000ull;
  const std::uint64_t frequency = kFrequencies[freqIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  if (layer == 3)
    return (12 * bitrate / frequency + padding) * 4;
  const std::uint64_t factor = (layer == 1 && !mpeg1) ? 72 : 144;
  return factor * bitrate / frequency + padding;
}

// Where the first frame starts: after an ID3v2 tag when the data begins with one.
std::uint64_t id3Length(std::span<const std::uint8_t> data) {
  if (data.size() < 10 || std::memcmp(data.data(), "ID3", 3) != 0)
    return 0;
  const std::uint64_t size = (std::uint64_t{data[6] & 0x7Fu} << 21) | ((data[7] & 0x7Fu) << 14) |
                             ((data[8] & 0x7Fu) << 7) | (data[9] & 0x7Fu);
  const std::uint64_t total = 10 + size + ((data[5] & 0x10) ? 10 : 0);
  return std::min<std::uint64_t>(total, data.size());
}

void renderMpeg(const Bank& bank, std::span<const std::uint8_t> data, const ByteSink& out) {
  if (!(bank.flags & (kBankMpegPadded | kBankMpegPadded4))) {
    out(data);
    return;
  }
  // Frames are followed by zero bytes up to a multiple of 2, 4 or 16: copy each frame and
  // step over the zeros after it. Whatever is not a frame is copied as it stands.
  std::uint64_t pos = id3Length(data);
  out(data.first(pos));
  std::uint64_t runStart = pos;
  while (pos + 4 <= data.size()) {
    const std::uint64_t length = mpegFrameLength(&data[pos]);
    if (length == 0 || length > data.size() - pos)
      break;
    pos += length;
    std::uint64_t zeros = 0;
    while (pos + zeros < data.size() && zeros < 15 && data[pos + zeros] == 0)
      ++zeros;
    if (zeros > 0 && (pos + zeros == data.size() || data[pos + zeros] == 0xFF)) {
      out(data.subspan(runStart, pos - runStart));
      pos += zeros;
      runStart = pos;
    }
  }
  out(data.subspan(runStart));
}

std::string mpegExtension(std::span<const std::uint8_t> data) {
  const std::uint64_t start = id3Length(data);
  if (start + 4 <= data.size() && mpegFrameLength(&data[start]) != 0) {
    const unsigned layer = (data[start + 1] >> 1) & 3;
    if (layer == 2)
      return ".mp2";
    if (layer == 3)
      return ".mp1";
  }
  return ".mp3";
}

// --- names and files ----------------------------------------------------------------------

bool hasExtension(std::string_view name) {
  const auto dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 && dot + 1 < name.size();
}

std::string safeName(std::string_view raw) {
  std::string name(raw);
  for (auto& c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || std::strchr("\\/:*?\"<>|", c))
      c = '_';
  }
  if (name.find_first_not_of('.') == std::string::npos)
    std::replace(name.begin(), name.end(), '.', '_');
  std::string text = util::cp1252ToUtf8(name);
  // A name this system cannot hold as it stands ("CON.wav" on Windows) keeps its letters
  // behind a leading "_".
  if (!text.empty() && !platform::nameProblem(text).empty())
    text.insert(0, 1, '_');
  return text;
}

// "dup.wav" -> "dup_<n>.wav"; "dup" -> "dup_<n>".
std::string numbered(const std::string& name, unsigned n) {
  const auto dot = name.rfind('.');
  const auto cut = (dot == std::string::npos || dot == 0) ? name.size() : dot;
  return name.substr(0, cut) + "_" + std::to_string(n) + name.substr(cut);
}

// Writes one converted sample under a temporary name; gives the final name it took.
std::string writeSample(const platform::Folder& dir, const std::string& name,
                        std::set<std::string>& taken,
                        const std::function<void(const ByteSink&)>& render,
                        std::uint64_t& written) {
  const auto& folder = dir.path();
  platform::TemporaryFile temporary(dir, platform::temporaryName(name));
  platform::File file;
  if (int err = dir.createFile(temporary.name(), file))
    platform::throwFileError(err, "cannot create", folder / platform::pathFromUtf8(name));
  std::vector<std::uint8_t> buffer;
  buffer.reserve(kChunkBytes);
  std::uint64_t offset = 0;
  int error = 0;
  auto flush = [&](std::span<const std::uint8_t> bytes) {
    if (error == 0 && !bytes.empty())
      error = file.writeAt(offset, bytes);
    offset += bytes.size();
  };
  try {
    render([&](std::span<const std::uint8_t> bytes) {
      if (buffer.size() + bytes.size() > kChunkBytes) {
        flush(buffer);
        buffer.clear();
      }
      if (bytes.size() >= kChunkBytes)
        flush(bytes);
      else
        buffer.insert(buffer.end(), bytes.begin(), bytes.end());
    });
    flush(buffer);
  } catch (...) {
    file.close();
    throw;
  }
  if (int closed = file.close(); error == 0)
    error = closed;
  if (error == EFAULT)  // written straight from a page of the bank that is gone
    throw platform::MappingChanged("bank");
  if (error != 0)
    platform::throwFileError(error, "cannot write", folder / platform::pathFromUtf8(name));
  written = offset;

  for (unsigned n = 0;; ++n) {
    const std::string candidate = n == 0 ? name : numbered(name, n);
    if (taken.count(candidate))
      continue;
    const int err = dir.rename(temporary.name(), candidate, false);
    if (err == 0) {
      temporary.release();
      taken.insert(candidate);
      return candidate;
    }
    if (err != EEXIST)
      platform::throwFileError(err, "cannot write", folder / platform::pathFromUtf8(candidate));
    taken.insert(candidate);
  }
}

}  // namespace

std::string outputExtension(const Bank&, const Sample& s, std::span<const std::uint8_t> file) {
  switch (s.encoding) {
    case Encoding::Pcm8:
    case Encoding::Pcm16:
    case Encoding::PcmFloat:
      return ".wav";
    case Encoding::ImaAdpcm:
      return isImaWav(s) ? ".wav" : ".ima";
    case Encoding::Mpeg:
      return mpegExtension(file.subspan(s.dataOffset, s.dataBytes));
    case Encoding::Vag:
      return ".vag";
    case Encoding::GcAdpcm:
      return ".dsp";
    case Encoding::Xma:
      return ".xma";
    case Encoding::Ogg:
      return ".ogg";
  }
  return ".raw";
}

std::uint64_t renderSample(const Bank& bank, const Sample& s, std::span<const std::uint8_t> file,
                           const ByteSink& out) {
  const auto data = file.subspan(s.dataOffset, s.dataBytes);
  switch (s.encoding) {
    case Encoding::Pcm8:
    case Encoding::Pcm16:
    case Encoding::PcmFloat:
      return renderPcm(bank, s, data, out);
    case Encoding::ImaAdpcm:
      if (isImaWav(s))
        return renderIma(s, data, out);
      break;
    case Encoding::Mpeg:
      renderMpeg(bank, data, out);
      return 0;
    default:
      break;
  }
  out(data);
  return 0;
}

std::string sampleFileName(const Bank& bank, const Sample& s, std::span<const std::uint8_t> file,
                           std::string_view bankBase) {
  std::string name = safeName(s.name);
  if (name.empty())
    name = std::string(bankBase) + "_" + std::to_string(s.index);
  if (!hasExtension(name))
    name += outputExtension(bank, s, file);
  return name;
}

ConvertResult convertBank(const std::filesystem::path& bankPath,
                          const std::filesystem::path& folder, util::Progress& progress) {
  // The bank truncated by another program while it is read: its pages past the new end
  // read as zeros, so the sample being written is dropped and the conversion stops.
  const platform::MappingWatch mapping;
  const platform::MappedFile mapped(bankPath);
  const auto file = mapped.bytes();
  Bank bank;
  try {
    bank = readBank(file);
  } catch (const BankError&) {
    mapping.check("bank");  // refused for zeros that were never in it
    throw;
  }
  mapping.check("bank");
  const std::string base = bankBaseName(platform::utf8(bankPath.filename()));
  std::filesystem::create_directories(folder);
  platform::Folder dir;
  if (int err = platform::Folder::open(folder, dir))
    platform::throwFileError(err, "cannot open the folder", folder);

  ConvertResult result;
  result.trailingBytes = bank.trailingBytes;
  std::set<std::string> taken;
  progress.begin(bank.samples.size());
  for (const auto& s : bank.samples) {
    util::stopIfCancelled(progress, s.index, bank.samples.size());
    const std::string name = sampleFileName(bank, s, file, base);
    try {
      Converted done;
      done.index = s.index;
      done.fileName = writeSample(
          dir, name, taken,
          [&](const ByteSink& out) {
            renderSample(bank, s, file, out);
            mapping.check("bank");
          },
          done.bytes);
      result.written.push_back(std::move(done));
    } catch (const platform::MappingChanged&) {
      throw;
    } catch (const std::exception& e) {
      result.failures.push_back("sample " + std::to_string(s.index) + " (" + name +
                                "): " + e.what());
    }
    progress.step(s.index + 1, name);
  }
  return result;
}

}  // namespace fsb
