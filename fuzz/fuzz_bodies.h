// What the fuzz targets do with one input, shared with the corpus replay test so the
// normal test run feeds every corpus file through the same code. A body may throw
// mpak::FormatError (a refused input); anything else, or a crash, is a finding.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fsb/bank.h"
#include "fsb/convert.h"
#include "model/texture_scan.h"
#include "model/tga_image.h"
#include "mpak/archive.h"
#include "mpak/archive_writer.h"
#include "mpak/file_list_item.h"
#include "mpak/library_toc.h"
#include "mpkg/package.h"

namespace fuzzing {

// Reads the archive index; on success checks every entry's data range and builds its
// list item and the library table, the way the load command uses an index.
inline void exerciseArchiveReader(std::span<const std::uint8_t> data) {
  mpak::ArchiveIndex index;
  try {
    index = mpak::readArchiveIndex(data);
  } catch (const mpak::FormatError&) {
    return;
  }
  std::uint64_t inBounds = 0;
  std::uint64_t itemBytes = 0;
  for (const mpak::ArchiveEntry& entry : index.entries) {
    inBounds += mpak::dataInBounds(index, entry) ? 1 : 0;
    itemBytes += mpak::fileListItem(entry).size();
    for (std::size_t k = 0; k < entry.dataOffsets.size(); ++k)
      itemBytes += mpak::copyPosition(index, entry, k) & 1;
  }
  std::string table = mpak::libraryTocText(index.entries);
  // Whatever the archive held, its table reads back with one line per entry.
  mpak::LibraryTable reread = mpak::LibraryTable::parse(table);
  (void)reread;
  (void)inBounds;
  (void)itemBytes;
}

// Parses a library table, looks a few paths up (including the first line's own path)
// and runs the validations the pack makes on its kept lines.
inline void exerciseLibraryToc(std::string_view text) {
  mpak::LibraryTable table = mpak::LibraryTable::parse(text);
  for (std::string_view path : {"data\\file.bin", "DATA\\FILE.BIN", "", "a b\\c d"})
    (void)table.find(path);
  if (!table.lines().empty()) {
    const mpak::TocLine* first = table.find(table.lines().front().path);
    if (first == nullptr)
      __builtin_trap();  // a kept line must find itself (or an earlier twin)
  }
  // Like the pack, stop at the first line that does not validate.
  try {
    for (const mpak::TocLine& line : table.lines()) {
      (void)line.compress();
      (void)line.copies();
      (void)line.inStoc();
    }
  } catch (const mpak::FormatError&) {
  }
}

// Scans a model for texture names and lists them; every name found ends in ".tga".
inline void exerciseModelScan(std::span<const std::uint8_t> data) {
  auto finds = model::findTextureNames(data);
  for (const auto& find : finds)
    if (find.name.size() < 4 || find.dotOffset + 4 > data.size())
      __builtin_trap();
  (void)model::listTextures(finds);
}

// Reads a TGA image; a refused one throws model::TgaError. A read image has one pixel for
// each of its width times height.
inline void exerciseTgaImage(std::span<const std::uint8_t> data) {
  try {
    const model::TgaImage image = model::readTga(data);
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
      __builtin_trap();
  } catch (const model::TgaError&) {
  }
}

// Unpacks a package held in memory. A refused package throws mpkg::PackageError. The
// output is counted, not kept, and the run stops after kPackageOutputCap bytes: a 64 KiB
// input can inflate to 64 MiB, and inflating such bombs in full only slows the search
// without reaching any code the first MiB does not.
inline constexpr std::uint64_t kPackageOutputCap = std::uint64_t{1} << 20;

class CappedSink : public mpak::Sink {
 public:
  struct Full {};
  void write(std::span<const std::uint8_t> bytes) override {
    m_position += bytes.size();
    if (m_position > kPackageOutputCap)
      throw Full{};
  }
  void writeAt(std::uint64_t, std::span<const std::uint8_t>) override { __builtin_trap(); }
  std::uint64_t position() const override { return m_position; }

 private:
  std::uint64_t m_position = 0;
};

inline void exercisePackage(std::span<const std::uint8_t> data) {
  CappedSink out;
  auto read = [&](std::uint64_t offset, std::span<std::uint8_t> buffer) -> std::size_t {
    if (offset >= data.size())
      return 0;
    const std::size_t n = std::min<std::uint64_t>(buffer.size(), data.size() - offset);
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), n, buffer.begin());
    return n;
  };
  try {
    // Small pieces, so that short inputs also cross piece boundaries (and no 1 MiB buffers
    // go through the sanitizer's allocator on every run).
    mpkg::inflateBody(read, data.size(), "package", out, util::Progress::none(), 4096);
  } catch (const mpkg::PackageError&) {
  } catch (const CappedSink::Full&) {
  }
}

// Reads a sound bank; on success renders every sample in memory and names its file. A
// refused bank throws fsb::BankError. A file name that could leave the output folder, or a
// WAV made by the converter whose RIFF size differs from what was written, is a finding.
inline void exerciseSoundBank(std::span<const std::uint8_t> data) {
  fsb::Bank bank;
  try {
    bank = fsb::readBank(data);
  } catch (const fsb::BankError&) {
    return;
  }
  for (const auto& sample : bank.samples) {
    const std::string name = fsb::sampleFileName(bank, sample, data, "bank");
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
      __builtin_trap();
    std::uint64_t written = 0;
    std::uint8_t riff[8] = {};
    fsb::renderSample(bank, sample, data, [&](std::span<const std::uint8_t> bytes) {
      for (std::size_t i = 0; i < bytes.size() && written + i < 8; ++i)
        riff[written + i] = bytes[i];
      written += bytes.size();
    });
    const std::uint64_t riffSize =
        riff[4] | (riff[5] << 8) | (riff[6] << 16) | (std::uint64_t{riff[7]} << 24);
    // Only a WAV the converter made is checked: a bank may name any sample "x.wav", and
    // samples kept as they stand may hold anything, "RIFF" included.
    if (fsb::outputExtension(bank, sample, data) == ".wav" && riffSize + 8 != written)
      __builtin_trap();
  }
}

}  // namespace fuzzing
