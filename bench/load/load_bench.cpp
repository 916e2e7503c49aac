// bench_load: how long opening a full archive (10001 entries) takes in the real window,
// from the click to a repainted list, and how long `tarnwick-cli list` takes on it.
//   QT_QPA_PLATFORM=offscreen build/release/bin/bench_load [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "cli/cli.h"
#include "gui/form1.h"
#include "mpak/archive_writer.h"
#include "util/deflate.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class MemorySettings : public app::Settings {
 public:
  std::string get(const std::string&, const std::string&, const std::string& key,
                  const std::string& fallback) override {
    auto it = m_values.find(key);
    return it == m_values.end() ? fallback : it->second;
  }
  void set(const std::string&, const std::string&, const std::string& key,
           const std::string& value) override {
    m_values[key] = value;
  }

 private:
  std::map<std::string, std::string> m_values;
};

// A game-like archive: folders of levels, props, textures and sounds, some entries
// compressed, a few with several copies, every 20th in the STOC.
fs::path makeArchive(const fs::path& folder, int entries) {
  const char* kinds[] = {"props", "textures", "sounds", "scripts", "meshes"};
  const char* exts[] = {".mesh", ".dds", ".fsb", ".lua", ".mmod"};
  std::vector<mpak::BuiltEntry> built;
  built.reserve(entries);
  for (int i = 0; i < entries; ++i) {
    mpak::BuiltEntry e;
    char path[128];
    std::snprintf(path, sizeof path, "data/level%02d/%s/item_%05d%s", i % 37, kinds[i % 5], i,
                  exts[i % 5]);
    e.path = path;
    std::vector<std::uint8_t> plain(64 + (i % 200), static_cast<std::uint8_t>('a' + i % 26));
    e.unpackedSize = static_cast<std::uint32_t>(plain.size());
    e.compressed = i % 3 != 0;
    e.stored = e.compressed ? util::deflateRaw(plain, 1) : plain;
    e.copies = i % 50 == 0 ? 2 : 1;
    e.inStoc = i % 20 == 0;
    built.push_back(std::move(e));
  }
  auto path = folder / "full.mpak";
  mpak::FileSink sink(path);
  sink.write(mpak::buildArchive(built));
  sink.commit();
  return path;
}

double millis(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %7.1f ms   min %7.1f ms   max %7.1f ms   (%zu runs)\n", what,
              ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const fs::path work = fs::temp_directory_path() / "tarnwick-bench-load";
  fs::remove_all(work);
  fs::create_directories(work / "home");
  const auto archive = makeArchive(work, 10001);
  std::printf("archive: %s, %ju bytes, 10001 entries\n", archive.c_str(),
              static_cast<std::uintmax_t>(fs::file_size(archive)));

  MemorySettings settings;
  gui::Form1 window(settings);
  if (!window.start((work / "home").string()))
    return 2;
  window.show();
  QApplication::processEvents();

  std::vector<double> load;
  for (int i = 0; i < runs; ++i) {
    fs::remove(work / "home" / "Library" / "full.mpak.toc");  // the table is written every run
    auto start = Clock::now();
    window.openArchive(archive.string());
    QApplication::processEvents();  // the list lays itself out and paints
    load.push_back(millis(Clock::now() - start));
    if (window.itemCount() != 10001) {
      std::fprintf(stderr, "the window listed %d entries\n", window.itemCount());
      return 2;
    }
  }
  report("window: open 10001 entries (ProcessLibrary)", load);

  std::vector<double> list;
  for (int i = 0; i < runs; ++i) {
    std::ostringstream out, err;
    cli::Io io{out, err, false};
    auto start = Clock::now();
    int code = cli::runCli({"list", archive.string()}, io);
    list.push_back(millis(Clock::now() - start));
    if (code != 0) {
      std::fprintf(stderr, "list failed: %s\n", err.str().c_str());
      return 2;
    }
  }
  report("cli: list 10001 entries", list);

  fs::remove_all(work);
  return 0;
}
