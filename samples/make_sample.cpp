// Builds the bundled sample archive from the files below samples/files with the
// project's own writer: files that shrink are stored compressed, the rest as they are;
// the script is stored twice and the sound bank and the map are STOC members. The sound
// bank, sound/bank1.fsb, is made here from sample_bank.cpp's tones.
//   tarnwick-make-sample FILES_DIR OUTPUT.mpak
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <vector>

#include "mpak/archive_writer.h"
#include "sample_bank.h"
#include "util/deflate.h"
#include "util/file_io.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tarnwick-make-sample FILES_DIR OUTPUT.mpak\n";
    return 7;
  }
  try {
    const fs::path root = argv[1];
    std::vector<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.is_regular_file())
        paths.push_back(fs::relative(e.path(), root).generic_string());
    paths.push_back("sound/bank1.fsb");
    std::sort(paths.begin(), paths.end());

    std::vector<mpak::BuiltEntry> entries;
    for (const auto& path : paths) {
      std::vector<std::uint8_t> plain;
      if (path == "sound/bank1.fsb") {
        plain = samples::makeBank(samples::sampleTones());
      } else {
        auto bytes = util::readWholeFile(root / path);
        plain.assign(bytes.begin(), bytes.end());
      }
      auto packed = util::deflateRaw(plain);  // the level a pack uses, so a repack is identical
      mpak::BuiltEntry e;
      e.path = path;
      e.unpackedSize = static_cast<std::uint32_t>(plain.size());
      e.compressed = packed.size() < plain.size();
      e.stored = e.compressed ? std::move(packed) : std::move(plain);
      e.copies = path.ends_with(".lua") ? 2 : 1;
      e.inStoc = path.ends_with(".fsb") || path.starts_with("data/");
      entries.push_back(std::move(e));
    }
    mpak::FileSink sink(argv[2]);
    auto archive = mpak::buildArchive(entries);
    sink.write(archive);
    sink.commit();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "tarnwick-make-sample: " << e.what() << "\n";
    return 2;
  }
}
