#include "app/commands/open_entry.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <system_error>

#include "extract/entry_data.h"
#include "extract/extractor.h"
#include "fsb/bank.h"
#include "fsb/convert.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "util/cp1252.h"
#include "util/cp1252_case.h"
#include "util/file_io.h"
#include "util/text.h"

namespace app {

namespace fs = std::filesystem;

namespace {

// The extensions of the image formats the window reads.
constexpr std::array kImageExtensions = {".tga", ".png", ".bmp",  ".jpg",  ".jpeg",
                                         ".gif", ".tif", ".tiff", ".webp", ".ico",
                                         ".pbm", ".pgm", ".ppm",  ".xbm",  ".xpm"};

// A new folder below `parent` whose name starts with `prefix`.
fs::path newFolderBelow(const fs::path& parent, const std::string& prefix) {
  fs::create_directories(parent);
  for (unsigned n = 1;; ++n) {
    const fs::path folder = parent / (prefix + std::to_string(n));
    if (fs::create_directory(folder))
      return folder;
  }
}

}  // namespace

std::vector<std::uint8_t> entryContent(const LoadedArchive& archive, std::size_t entry) {
  const platform::MappedFile file(platform::pathFromUtf8(archive.path));
  const std::size_t order[] = {entry};
  std::vector<std::uint8_t> content;
  std::string failure;
  extract::PipelineOptions options;
  options.threads = 1;
  extract::forEachEntryData(
      file.bytes(), archive.catalogue.index, order, options, [](std::size_t) { return false; },
      [&](std::size_t, extract::EntryData& data) {
        if (data.state == extract::EntryData::State::Ready)
          content.assign(data.bytes.begin(), data.bytes.end());
        else
          failure = data.reason.empty() ? "it has no content" : data.reason;
      });
  if (!failure.empty())
    throw std::runtime_error(failure);
  return content;
}

bool looksLikeText(std::span<const std::uint8_t> bytes) {
  std::size_t controls = 0;
  for (std::uint8_t b : bytes) {
    if (b == 0)
      return false;
    controls += (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f') || b == 0x7F;
  }
  return controls * 100 <= bytes.size();
}

EntryView viewFor(std::string_view entryPath, std::span<const std::uint8_t> bytes) {
  auto startsWith = [&](std::string_view tag) {
    return bytes.size() >= tag.size() && std::equal(tag.begin(), tag.end(), bytes.begin());
  };
  if (startsWith("FSB3") || startsWith("FSB4"))
    return EntryView::SoundBank;
  std::string name(util::fileNamePart(util::replaceAll(entryPath, '\\', '/')));
  for (char& c : name)
    c = util::foldCaseCp1252(c);
  for (std::string_view extension : kImageExtensions)
    if (name.size() > extension.size() && name.ends_with(extension))
      return EntryView::Image;
  return looksLikeText(bytes) ? EntryView::Text : EntryView::Other;
}

std::vector<SoundLine> soundLines(std::span<const std::uint8_t> bytes) {
  const fsb::Bank bank = fsb::readBank(bytes);
  std::vector<SoundLine> lines;
  for (const auto& s : bank.samples) {
    SoundLine line;
    line.name = s.name.empty() ? "#" + std::to_string(s.index) : util::cp1252ToUtf8(s.name);
    line.format = std::string(fsb::encodingName(s.encoding)) + ", " + std::to_string(s.channels) +
                  " ch, " + std::to_string(s.rate) + " Hz";
    line.seconds = s.rate > 0 ? static_cast<double>(s.frames) / s.rate : 0;
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::uint8_t> playableSample(std::span<const std::uint8_t> bytes, std::size_t index,
                                         std::string& extension) {
  const fsb::Bank bank = fsb::readBank(bytes);
  if (index >= bank.samples.size())
    throw std::out_of_range("the bank has no sample " + std::to_string(index));
  const auto& sample = bank.samples[index];
  extension = fsb::outputExtension(bank, sample, bytes);
  std::vector<std::uint8_t> out;
  fsb::renderSample(bank, sample, bytes, [&](std::span<const std::uint8_t> piece) {
    out.insert(out.end(), piece.begin(), piece.end());
  });
  return out;
}

fs::path makePrivateFolder() {
  constexpr std::string_view prefix = "tarnwick-private-";
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(fs::temp_directory_path(ec), ec)) {
    const std::string name = platform::utf8(item.path().filename());
    if (!name.starts_with(prefix))
      continue;
    unsigned long pid = 0;
    const char* digits = name.c_str() + prefix.size();
    char* end = nullptr;
    pid = std::strtoul(digits, &end, 10);
    if (end != digits && *end == '-' && !platform::processRunning(static_cast<unsigned>(pid)))
      fs::remove_all(item.path(), ec);
  }
  return platform::makeTemporaryFolder(std::string(prefix) + std::to_string(platform::processId()) +
                                       "-");
}

fs::path writePrivateCopy(const fs::path& privateFolder, std::string_view entryPath,
                          std::span<const std::uint8_t> bytes) {
  std::string name(util::fileNamePart(util::replaceAll(entryPath, '\\', '/')));
  if (name.empty() || name == "." || name == ".." || !platform::nameProblem(name).empty())
    name = "entry";
  const fs::path file = newFolderBelow(privateFolder, "open-") / platform::pathFromUtf8(name);
  util::writeFileAtomically(file, bytes);
  return file;
}

std::vector<fs::path> extractForDrag(const LoadedArchive& archive,
                                     const std::vector<std::size_t>& entries,
                                     const fs::path& privateFolder, util::Progress& progress) {
  const fs::path root = newFolderBelow(privateFolder, "drag-");
  try {
    const platform::MappedFile file(platform::pathFromUtf8(archive.path));
    const auto summary = extract::extractEntries(file.bytes(), archive.catalogue.index, entries,
                                                 root, {}, {}, progress);
    if (!summary.problems.empty()) {
      const auto& problem = summary.problems.front();
      throw std::runtime_error(
          util::cp1252ToUtf8(archive.catalogue.entries()[problem.entryIndex].path) + ": " +
          problem.reason);
    }
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    throw;
  }
  std::vector<fs::path> top;
  for (const auto& item : fs::directory_iterator(root))
    top.push_back(item.path());
  std::sort(top.begin(), top.end());
  return top;
}

}  // namespace app
