#include "fsb/bank.h"

#include <algorithm>

#include "util/byte_reader.h"

namespace fsb {

namespace {

constexpr std::uint64_t kFsb3HeaderBytes = 24;
constexpr std::uint64_t kFsb4HeaderBytes = 48;
constexpr std::uint64_t kBasicHeaderBytes = 8;

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

std::string nameField(util::ByteReader& in, std::uint64_t offset) {
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

Bank readBankChecked(std::span<const std::uint8_t> bytes) {
  util::ByteReader in(bytes);
  if (bytes.size() < kFsb3HeaderBytes)
    throw BankError("the file is " + std::to_string(bytes.size()) +
                    " bytes long, shorter than a bank header (24 bytes)");
  Bank bank;
  const std::string id = in.text(0, 4, "bank id");
  if (id == "FSB3")
    bank.majorVersion = 3;
  else if (id == "FSB4")
    bank.majorVersion = 4;
  else
    throw BankError("not an FSB3 or FSB4 sound bank (it starts with \"" +
                    std::string(id.find('\0') == std::string::npos ? id : "") + "\")");
  bank.headerBytes = bank.majorVersion == 3 ? kFsb3HeaderBytes : kFsb4HeaderBytes;
  if (bytes.size() < bank.headerBytes)
    throw BankError("the file is " + std::to_string(bytes.size()) +
                    " bytes long, shorter than an FSB4 bank header (48 bytes)");

  const std::uint32_t count = in.u32(4, "sample count");
  const std::uint64_t headerArea = in.u32(8, "header size");
  const std::uint64_t dataArea = in.u32(12, "data size");
  const std::uint32_t version = in.u32(16, "version");
  bank.flags = in.u32(20, "bank flags");
  if (bank.majorVersion == 3 && version != 0x00030000 && version != 0x00030001)
    refuse("unknown FSB3 version " + util::hexOffset(version), 16);
  if (bank.majorVersion == 4 && version != 0x00040000)
    refuse("unknown FSB4 version " + util::hexOffset(version), 16);
  bank.minorVersion = static_cast<int>(version & 0xFFFF);
  if (count > 0x7FFFFFFF)
    refuse("negative sample count", 4);
  if (bank.flags & kBankEncrypted)
    refuse("the bank is encrypted", 20);
  if (headerArea < kBasicHeaderBytes * count)
    refuse("the sample headers take " + std::to_string(headerArea) + " bytes, too few for " +
               std::to_string(count) + " samples",
           8);
  bank.dataStart = bank.headerBytes + headerArea;
  bank.end = bank.dataStart + dataArea;
  if (bank.end > bytes.size())
    throw BankError("the bank is truncated: its headers say it ends at " +
                    util::hexOffset(bank.end) + ", the file ends at " +
                    util::hexOffset(bytes.size()));
  bank.trailingBytes = bytes.size() - bank.end;

  const std::uint64_t minimum = (bank.majorVersion == 3 && bank.minorVersion == 0) ? 64 : 80;
  std::uint64_t header = bank.headerBytes;
  std::uint64_t data = bank.dataStart;
  bank.samples.reserve(std::min<std::uint64_t>(count, headerArea / kBasicHeaderBytes));
  for (std::uint32_t i = 0; i < count; ++i) {
    Sample s;
    s.index = i;
    s.headerOffset = header;
    const std::string which = "sample " + std::to_string(i);
    if ((bank.flags & kBankBasicHeaders) && i > 0) {
      if (header + kBasicHeaderBytes > bank.dataStart)
        refuse("the header of " + which + " runs past the header area", header);
      const Sample& first = bank.samples.front();
      s.frames = in.u32(header, "frames");
      s.dataBytes = in.u32(header + 4, "data size");
      s.basicHeader = true;
      s.mode = first.mode;
      s.rate = first.rate;
      s.channels = first.channels;
      s.encoding = first.encoding;
      header += kBasicHeaderBytes;
    } else {
      if (header + 2 > bank.dataStart)
        refuse("the header of " + which + " starts past the header area", header);
      const std::uint64_t size = in.u16(header, "header size");
      if (size < minimum)
        refuse("the header of " + which + " is " + std::to_string(size) + " bytes, fewer than " +
                   std::to_string(minimum),
               header);
      if (header + size > bank.dataStart)
        refuse("the header of " + which + " (" + std::to_string(size) +
                   " bytes) runs past the header area",
               header);
      s.name = nameField(in, header + 2);
      s.frames = in.u32(header + 0x20, "frames");
      s.dataBytes = in.u32(header + 0x24, "data size");
      s.mode = in.u32(header + 0x30, "mode");
      s.rate = static_cast<std::int32_t>(in.u32(header + 0x34, "rate"));
      s.channels = in.u16(header + 0x3E, "channels");
      if (s.channels == 0)
        s.channels = (s.mode & kModeStereo) ? 2 : 1;
      s.encoding = encodingOf(s.mode);
      header += size;
    }
    if (i > 0 && (bank.flags & kBankMpegPadded4))
      data = (data + 31) / 32 * 32;
    if (data + s.dataBytes > bank.end)
      refuse("the data of " + which + " (" + std::to_string(s.dataBytes) +
                 " bytes) runs past the end of the data area (" + util::hexOffset(bank.end) + ")",
             data);
    s.dataOffset = data;
    data += s.dataBytes;
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
  auto slash = path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  return std::string(name.empty() ? std::string_view("bank") : name);
}

}  // namespace fsb
