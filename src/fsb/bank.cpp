#include "fsb/bank.h"

#include <algorithm>

#include "util/byte_reader.h"
#include "util/text.h"

namespace fsb {

namespace {

[[noreturn]] void refuse(const std::string& what, std::uint64_t offset) {
  throw BankError(what + " at " + util::hexOffset(offset));
}

Encoding encodingOf(std::uint32_t mode) {
  if (mode & kModeMpeg)
    return Encoding::Mpeg;
  if (mode & kModeImaAdpcm)
    return Encoding::ImaAdpcm;
  if (mode & kModeVag)
    return Encoding::Vag;
  if (mode & kModeXma)
    return Encoding::Xma;
  if (mode & kModeGcAdpcm)
    return Encoding::GcAdpcm;
  if (mode & kModeOgg)
    return Encoding::Ogg;
  if (mode & kMode8Bits)
    return Encoding::Pcm8;
  if (mode & kModeFloat)
    return Encoding::PcmFloat;
  return Encoding::Pcm16;
}

std::string nameField(const util::ByteReader& in, std::uint64_t offset) {
  std::string name = in.text(offset, kNameBytes, "sample name");
  if (auto nul = name.find('\0'); nul != std::string::npos)
    name.resize(nul);
  return name;
}

}  // namespace

std::string_view encodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::Pcm8:
      return "PCM8";
    case Encoding::Pcm16:
      return "PCM16";
    case Encoding::PcmFloat:
      return "PCM float";
    case Encoding::ImaAdpcm:
      return "IMA ADPCM";
    case Encoding::Mpeg:
      return "MPEG";
    case Encoding::Vag:
      return "VAG";
    case Encoding::GcAdpcm:
      return "GC ADPCM";
    case Encoding::Xma:
      return "XMA";
    case Encoding::Ogg:
      return "OGG";
  }
  return "unknown";
}

namespace {

// Sizes from the bank header that the walk over the samples needs.
struct Areas {
  std::uint32_t count = 0;
  std::uint64_t headerArea = 0;  // bytes of all sample headers
};

// The major version the id names: 3 or 4.
int majorVersionOf(const std::string& id) {
  if (id == "FSB3")
    return 3;
  if (id == "FSB4")
    return 4;
  throw BankError("not an FSB3 or FSB4 sound bank (it starts with \"" +
                  std::string(id.find('\0') == std::string::npos ? id : "") + "\")");
}

// Reads the bank header into `bank` and checks it: id, version, count, flags, and that the
// header and data areas it gives lie inside the file.
Areas readBankHeader(util::ByteReader& in, Bank& bank) {
  const std::uint64_t fileSize = in.size();
  if (fileSize < layout::kFsb3HeaderSize)
    throw BankError("the file is " + std::to_string(fileSize) +
                    " bytes long, shorter than a bank header (24 bytes)");
  bank.majorVersion = majorVersionOf(in.text(layout::kId, layout::kIdSize, "bank id"));
  bank.headerBytes = bank.majorVersion == 3 ? layout::kFsb3HeaderSize : layout::kFsb4HeaderSize;
  if (fileSize < bank.headerBytes)
    throw BankError("the file is " + std::to_string(fileSize) +
                    " bytes long, shorter than an FSB4 bank header (48 bytes)");

  Areas areas;
  areas.count = in.u32(layout::kSampleCount, "sample count");
  areas.headerArea = in.u32(layout::kHeaderAreaSize, "header size");
  const std::uint64_t dataArea = in.u32(layout::kDataAreaSize, "data size");
  const std::uint32_t version = in.u32(layout::kVersion, "version");
  bank.flags = in.u32(layout::kFlags, "bank flags");
  if (bank.majorVersion == 3 && version != layout::kVersion3_0 && version != layout::kVersion3_1)
    refuse("unknown FSB3 version " + util::hexOffset(version), layout::kVersion);
  if (bank.majorVersion == 4 && version != layout::kVersion4)
    refuse("unknown FSB4 version " + util::hexOffset(version), layout::kVersion);
  bank.minorVersion = static_cast<int>(version & 0xFFFF);
  if (areas.count > 0x7FFFFFFF)
    refuse("negative sample count", layout::kSampleCount);
  if (bank.flags & kBankEncrypted)
    refuse("the bank is encrypted", layout::kFlags);
  if (areas.headerArea < layout::kBasicHeaderSize * areas.count)
    refuse("the sample headers take " + std::to_string(areas.headerArea) + " bytes, too few for " +
               std::to_string(areas.count) + " samples",
           layout::kHeaderAreaSize);
  bank.dataStart = bank.headerBytes + areas.headerArea;
  bank.end = bank.dataStart + dataArea;
  if (bank.end > fileSize)
    throw BankError("the bank is truncated: its headers say it ends at " +
                    util::hexOffset(bank.end) + ", the file ends at " + util::hexOffset(fileSize));
  bank.trailingBytes = fileSize - bank.end;
  return areas;
}

// Reads the 8-byte basic header of sample `s` at s.headerOffset: its frames and data size;
// everything else is the first sample's. Gives the header's size.
std::uint64_t readBasicHeader(const util::ByteReader& in, const Bank& bank,
                              const std::string& which, Sample& s) {
  const std::uint64_t header = s.headerOffset;
  if (header + layout::kBasicHeaderSize > bank.dataStart)
    refuse("the header of " + which + " runs past the header area", header);
  const Sample& first = bank.samples.front();
  s.frames = in.u32(header + layout::kBasicFrames, "frames");
  s.dataBytes = in.u32(header + layout::kBasicDataSize, "data size");
  s.basicHeader = true;
  s.mode = first.mode;
  s.rate = first.rate;
  s.channels = first.channels;
  s.encoding = first.encoding;
  return layout::kBasicHeaderSize;
}

// Reads the full header of sample `s` at s.headerOffset, which must hold at least `minimum`
// bytes and end inside the header area. Gives the header's size, its own size field.
std::uint64_t readFullHeader(const util::ByteReader& in, const Bank& bank, const std::string& which,
                             std::uint64_t minimum, Sample& s) {
  const std::uint64_t header = s.headerOffset;
  if (header + 2 > bank.dataStart)  // not even its 2-byte size field
    refuse("the header of " + which + " starts past the header area", header);
  const std::uint64_t size = in.u16(header + layout::kSampleHeaderSize, "header size");
  if (size < minimum)
    refuse("the header of " + which + " is " + std::to_string(size) + " bytes, fewer than " +
               std::to_string(minimum),
           header);
  if (header + size > bank.dataStart)
    refuse("the header of " + which + " (" + std::to_string(size) +
               " bytes) runs past the header area",
           header);
  s.name = nameField(in, header + layout::kSampleName);
  s.frames = in.u32(header + layout::kSampleFrames, "frames");
  s.dataBytes = in.u32(header + layout::kSampleDataSize, "data size");
  s.mode = in.u32(header + layout::kSampleMode, "mode");
  s.rate = static_cast<std::int32_t>(in.u32(header + layout::kSampleRate, "rate"));
  s.channels = in.u16(header + layout::kSampleChannels, "channels");
  if (s.channels == 0)
    s.channels = (s.mode & kModeStereo) ? 2 : 1;
  s.encoding = encodingOf(s.mode);
  return size;
}

// Places the data of sample `s` at `data` (aligned when the bank asks for it, the first
// sample's never), checks that it ends inside the data area, and moves `data` past it.
void placeData(const Bank& bank, const std::string& which, std::uint64_t& data, Sample& s) {
  if (s.index > 0 && (bank.flags & kBankMpegPadded4))
    data = (data + layout::kDataAlignment - 1) / layout::kDataAlignment * layout::kDataAlignment;
  if (data + s.dataBytes > bank.end)
    refuse("the data of " + which + " (" + std::to_string(s.dataBytes) +
               " bytes) runs past the end of the data area (" + util::hexOffset(bank.end) + ")",
           data);
  s.dataOffset = data;
  data += s.dataBytes;
}

Bank readBankChecked(std::span<const std::uint8_t> bytes) {
  util::ByteReader in(bytes);
  Bank bank;
  const Areas areas = readBankHeader(in, bank);
  const std::uint64_t minimum = (bank.majorVersion == 3 && bank.minorVersion == 0)
                                    ? layout::kFsb30SampleHeaderSize
                                    : layout::kFsb31SampleHeaderSize;
  std::uint64_t header = bank.headerBytes;
  std::uint64_t data = bank.dataStart;
  bank.samples.reserve(
      std::min<std::uint64_t>(areas.count, areas.headerArea / layout::kBasicHeaderSize));
  for (std::uint32_t i = 0; i < areas.count; ++i) {
    Sample s;
    s.index = i;
    s.headerOffset = header;
    const std::string which = "sample " + std::to_string(i);
    if ((bank.flags & kBankBasicHeaders) && i > 0)
      header += readBasicHeader(in, bank, which, s);
    else
      header += readFullHeader(in, bank, which, minimum, s);
    placeData(bank, which, data, s);
    bank.samples.push_back(std::move(s));
  }
  return bank;
}

}  // namespace

Bank readBank(std::span<const std::uint8_t> bytes) {
  try {
    return readBankChecked(bytes);
  } catch (const util::RangeError& e) {
    // The checks above come first; this only keeps the promise of one error type.
    throw BankError(e.what());
  }
}

std::string bankBaseName(std::string_view path) {
  std::string_view name = util::fileNamePart(path);
  if (auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  return std::string(name.empty() ? std::string_view("bank") : name);
}

}  // namespace fsb
