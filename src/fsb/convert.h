// Turning a bank's samples into files a player opens.
//
//   PCM 8/16-bit, float        WAV (tag 1, or 3 for float); 8-bit made unsigned, big-endian
//                              16-bit swapped, channels stored one after another interleaved
//   IMA ADPCM, 1-2 channels    decoded to 16-bit PCM WAV, exactly the bank's frame count
//   MPEG                       .mp3 / .mp2 (by the first frame's layer), padding dropped
//   everything else            the sample's bytes: .vag .dsp .xma .ogg .ima
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "fsb/bank.h"
#include "util/progress.h"

namespace fsb {

// Receives a converted file's bytes in order.
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;

// The extension (with its dot) the converted sample gets: ".wav", ".mp3", ...
std::string outputExtension(const Bank& bank, const Sample& sample,
                            std::span<const std::uint8_t> file);

// Writes the playable form of `sample` (whose data lies in `file`, the whole bank) to `out`.
// Returns the number of frames written for WAV output, 0 for other outputs.
std::uint64_t renderSample(const Bank& bank, const Sample& sample,
                           std::span<const std::uint8_t> file, const ByteSink& out);

// The file name a sample gets before numbering: its name with the characters file systems
// reject (\ / : * ? " < > |, control characters) and a name of dots only replaced by "_",
// as UTF-8; `bankBase` + "_" + index when it has none; the extension added when the name
// has none.
std::string sampleFileName(const Bank& bank, const Sample& sample,
                           std::span<const std::uint8_t> file, std::string_view bankBase);

struct Converted {
  std::size_t index = 0;
  std::string fileName;  // as written in the folder (numbered when the name was taken)
  std::uint64_t bytes = 0;
};

struct ConvertResult {
  std::vector<Converted> written;
  std::vector<std::string> failures;  // one message per sample not written: what and where
  std::uint64_t trailingBytes = 0;
};

// Converts every sample of the bank at `bankPath` into `folder` (made, with its parents,
// once the bank has been read: a refused bank leaves no folder behind). A file
// already in the folder, or written earlier in this run, is never replaced: the new file
// gets "_1", "_2", ... before its extension. Each file is written under a temporary name and
// renamed into place when complete. Throws BankError (nothing written) when the bank is
// refused, std::system_error when it cannot be read, platform::MappingChanged when the bank is
// truncated while it is read (the samples written before stay); a sample that cannot be
// written is listed in `failures` and the others are still written. `progress` counts
// samples; asked to stop, it throws util::Cancelled before the next sample (the files
// written before stay).
ConvertResult convertBank(const std::filesystem::path& bankPath,
                          const std::filesystem::path& folder,
                          util::Progress& progress = util::Progress::none());

}  // namespace fsb
