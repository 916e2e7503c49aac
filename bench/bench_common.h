// What the benchmarks share: settings that stay in memory, the median of the runs and the
// corpus packed the way another writer would.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "app/window_port.h"
#include "mpak/archive_writer.h"
#include "util/deflate.h"
#include "util/file_io.h"

namespace bench {

// Settings kept in memory: a benchmark leaves the user's settings alone.
class MemorySettings : public app::Settings {
 public:
  std::string get(const std::string&, const std::string&, const std::string&,
                  const std::string& fallback) override {
    return fallback;
  }
  void set(const std::string&, const std::string&, const std::string&,
           const std::string&) override {}
};

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Raw DEFLATE data of a file's bytes.
using Deflater = std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)>;

// Packs the corpus: files sorted by path, compressed by `deflate` (default: level 6) when
// that shrinks them, stored otherwise; every 17th entry with 2 copies, every 29th with 3,
// every 10th in the STOC.
inline void packCorpus(const std::filesystem::path& corpus, const std::filesystem::path& archive,
                       const Deflater& deflate = {}) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(corpus))
    if (e.is_regular_file())
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<mpak::WriterEntry> entries;
  for (std::size_t i = 0; i < files.size(); ++i) {
    mpak::WriterEntry e;
    e.path = fs::relative(files[i], corpus).generic_string();
    e.copies = static_cast<std::uint16_t>(i % 29 == 0 ? 3 : i % 17 == 0 ? 2 : 1);
    e.inStoc = i % 10 == 0;
    entries.push_back(std::move(e));
  }
  mpak::FileSink sink(archive);
  mpak::ArchiveWriter writer(sink, entries);
  std::size_t compressedCount = 0;
  for (const auto& file : files) {
    auto text = util::readWholeFile(file);
    std::span<const std::uint8_t> raw(reinterpret_cast<const std::uint8_t*>(text.data()),
                                      text.size());
    auto packed = deflate ? deflate(raw) : util::deflateRaw(raw, 6);
    bool compress = packed.size() < raw.size();
    compressedCount += compress;
    writer.addData(compress ? std::span<const std::uint8_t>(packed) : raw,
                   static_cast<std::uint32_t>(raw.size()), compress);
  }
  writer.finish();
  sink.commit();
  std::cout << "packed " << files.size() << " files (" << compressedCount << " compressed) into "
            << archive.string() << " (" << fs::file_size(archive) / (1024 * 1024) << " MiB)\n";
}

}  // namespace bench
