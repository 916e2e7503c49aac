// Sound banks (FSB3.0, FSB3.1 and FSB4): the bank header, the sample headers and where
// each sample's data lies.
//
// The bank has no table of data offsets: each sample's data follows the previous one's,
// so one wrong length would shift every later sample. The reader therefore refuses the
// whole bank at the first header or range that does not fit, saying what and where.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fsb {

// Bank flags (the bank header's mode field).
inline constexpr std::uint32_t kBankBasicHeaders = 0x02;
inline constexpr std::uint32_t kBankEncrypted = 0x04;
inline constexpr std::uint32_t kBankBigEndianPcm = 0x08;
inline constexpr std::uint32_t kBankNotInterleaved = 0x10;
inline constexpr std::uint32_t kBankMpegPadded = 0x20;
inline constexpr std::uint32_t kBankMpegPadded4 = 0x40;  // also: data on 32-byte offsets

// Sample mode bits that decide how the data is turned into a file.
inline constexpr std::uint32_t kMode8Bits = 0x08;
inline constexpr std::uint32_t kModeStereo = 0x40;
inline constexpr std::uint32_t kModeUnsigned = 0x80;
inline constexpr std::uint32_t kModeMpeg = 0x200;
inline constexpr std::uint32_t kModeFloat = 0x200000;
inline constexpr std::uint32_t kModeImaAdpcm = 0x400000;
inline constexpr std::uint32_t kModeVag = 0x800000;
inline constexpr std::uint32_t kModeXma = 0x1000000;
inline constexpr std::uint32_t kModeGcAdpcm = 0x2000000;
inline constexpr std::uint32_t kModeMultichannel = 0x4000000;
inline constexpr std::uint32_t kModeOgg = 0x8000000;

inline constexpr std::size_t kNameBytes = 30;

// Where the fields lie (all little-endian). The bank header is followed by the sample
// headers, back to back, then by the samples' data in header order.
namespace layout {
// The bank header.
inline constexpr std::uint64_t kId = 0;  // "FSB3" or "FSB4"
inline constexpr std::uint64_t kIdSize = 4;
inline constexpr std::uint64_t kSampleCount = 4;     // u32, a signed count
inline constexpr std::uint64_t kHeaderAreaSize = 8;  // u32: bytes of all sample headers
inline constexpr std::uint64_t kDataAreaSize = 12;   // u32: bytes of all sample data
inline constexpr std::uint64_t kVersion = 16;        // u32: major version << 16 | minor
inline constexpr std::uint64_t kFlags = 20;          // u32: the kBank* flags
inline constexpr std::uint64_t kFsb3HeaderSize = 24;
inline constexpr std::uint64_t kFsb4HeaderSize = 48;  // then an 8-byte hash and a 16-byte GUID

inline constexpr std::uint32_t kVersion3_0 = 0x00030000;
inline constexpr std::uint32_t kVersion3_1 = 0x00030001;
inline constexpr std::uint32_t kVersion4 = 0x00040000;

// Offsets inside a full sample header.
inline constexpr std::uint64_t kSampleHeaderSize = 0;    // u16: this header's bytes, extra included
inline constexpr std::uint64_t kSampleName = 2;          // kNameBytes, padded with NULs
inline constexpr std::uint64_t kSampleFrames = 0x20;     // u32, per channel
inline constexpr std::uint64_t kSampleDataSize = 0x24;   // u32: bytes in the data area
inline constexpr std::uint64_t kSampleLoopStart = 0x28;  // u32, frames
inline constexpr std::uint64_t kSampleLoopEnd = 0x2C;    // u32, frames, inclusive
inline constexpr std::uint64_t kSampleMode = 0x30;       // u32: the kMode* bits
inline constexpr std::uint64_t kSampleRate = 0x34;       // i32, Hz
inline constexpr std::uint64_t kSampleVolume = 0x38;     // u16
inline constexpr std::uint64_t kSamplePan = 0x3A;        // i16
inline constexpr std::uint64_t kSamplePriority = 0x3C;   // u16
inline constexpr std::uint64_t kSampleChannels = 0x3E;   // u16; 0: by the stereo mode bit
// The fewest bytes a full header takes: FSB3.0 ends after the channels; FSB3.1 and FSB4
// add 3D distances and random variations.
inline constexpr std::uint64_t kFsb30SampleHeaderSize = 64;
inline constexpr std::uint64_t kFsb31SampleHeaderSize = 80;

// A basic header (bank flag kBankBasicHeaders, every sample after the first).
inline constexpr std::uint64_t kBasicFrames = 0;    // u32
inline constexpr std::uint64_t kBasicDataSize = 4;  // u32
inline constexpr std::uint64_t kBasicHeaderSize = 8;

// With kBankMpegPadded4, every sample's data after the first starts on such a file offset.
inline constexpr std::uint64_t kDataAlignment = 32;

// In an FSB3 bank, the first sample's name lies after the 24-byte bank header and the
// sample header's 2-byte size.
inline constexpr std::uint64_t kFirstSampleName = kFsb3HeaderSize + kSampleName;
static_assert(kFirstSampleName == 26);
}  // namespace layout

enum class Encoding { Pcm8, Pcm16, PcmFloat, ImaAdpcm, Mpeg, Vag, GcAdpcm, Xma, Ogg };

// "PCM16", "IMA ADPCM", ...: how listings name an encoding.
std::string_view encodingName(Encoding encoding);

struct Sample {
  std::size_t index = 0;
  // The name field's bytes up to the first NUL, all 30 when it holds none; 8-bit text.
  // Empty for a sample with a basic header, which has no name.
  std::string name;
  bool basicHeader = false;
  std::uint32_t frames = 0;     // per channel
  std::uint32_t dataBytes = 0;  // bytes of data in the bank
  std::uint32_t mode = 0;
  std::int32_t rate = 0;
  std::uint16_t channels = 1;
  Encoding encoding = Encoding::Pcm16;
  std::uint64_t headerOffset = 0;  // of this sample's header, from the start of the file
  std::uint64_t dataOffset = 0;    // of this sample's data, from the start of the file
};

struct Bank {
  int majorVersion = 3;  // 3 or 4
  int minorVersion = 1;  // 0 or 1 for FSB3
  std::uint32_t flags = 0;
  std::uint64_t headerBytes = 0;  // the bank header: 24 (FSB3) or 48 (FSB4)
  std::uint64_t dataStart = 0;
  std::uint64_t end = 0;            // end of the data area
  std::uint64_t trailingBytes = 0;  // after `end`; read past, reported
  std::vector<Sample> samples;
};

// A bank that cannot be read: the text says what is wrong and at which offset.
class BankError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the headers of the bank in `bytes`; throws BankError when the bank is refused (not
// a bank, a version other than 3.0, 3.1 or 4, truncated, encrypted, a header or a data
// range that does not fit). Sizes are added in 64 bits, so no value can wrap.
Bank readBank(std::span<const std::uint8_t> bytes);

// The file name part of `path`, without its last extension: how unnamed samples are named.
std::string bankBaseName(std::string_view path);

}  // namespace fsb
