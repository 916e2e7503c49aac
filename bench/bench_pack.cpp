// Pack benchmark. In one run it times, on the same corpus:
//   limit   read every file, compress it with libdeflate at level 6 on two threads and
//           write the results one after another, with nothing else (no table, no
//           archive layout, no temporary file)
//   cli     tarnwick-cli pack CORPUS -o ARCHIVE --force, run as a process
//   window  the window's pack command on the corpus (linked into ExtractedFiles), the
//           button clicked in the real window, offscreen
//   zip     zip -r -6 -q of the corpus
// Each is run --runs times, interleaved, with the disk synced between runs (not timed);
// the medians are reported. (scripts/bench_pack.sh then measures tarnwick-cli's peak
// memory on its own: a process forked from this one would count this one's memory too.)
//
//   bench_pack --corpus DIR --work DIR [--runs N]
#include <libdeflate.h>
#include <unistd.h>
#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "bench_common.h"
#include "gui/form1.h"
#include "platform/process.h"
#include "util/file_io.h"

namespace {

namespace fs = std::filesystem;
using bench::median;
using bench::MemorySettings;
using Clock = std::chrono::steady_clock;

[[noreturn]] void die(const std::string& what) {
  std::cerr << "bench_pack: " << what << "\n";
  std::exit(2);
}

double seconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The limit: two threads take the files in turn, read and compress each; the results are
// written in order to one file.
void packPlainly(const std::vector<fs::path>& files, const fs::path& out) {
  std::ofstream sink(out, std::ios::binary | std::ios::trunc);
  std::vector<std::vector<std::uint8_t>> results(files.size());
  std::vector<std::atomic<bool>> ready(files.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    for (std::size_t i; (i = next++) < files.size();) {
      auto text = util::readWholeFile(files[i]);
      std::vector<std::uint8_t> packed(libdeflate_deflate_compress_bound(c, text.size()));
      packed.resize(
          libdeflate_deflate_compress(c, text.data(), text.size(), packed.data(), packed.size()));
      results[i] = std::move(packed);
      ready[i].store(true, std::memory_order_release);
      ready[i].notify_one();
    }
    libdeflate_free_compressor(c);
  };
  std::thread a(work), b(work);
  for (std::size_t i = 0; i < files.size(); ++i) {
    ready[i].wait(false, std::memory_order_acquire);
    sink.write(reinterpret_cast<const char*>(results[i].data()),
               static_cast<std::streamsize>(results[i].size()));
    std::vector<std::uint8_t>().swap(results[i]);
  }
  a.join();
  b.join();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2)
    args[argv[i]] = argv[i + 1];
  if (!args.count("--corpus") || !args.count("--work"))
    die("usage: bench_pack --corpus DIR --work DIR [--runs N]");
  const fs::path corpus = fs::absolute(args["--corpus"]), work = fs::absolute(args["--work"]);
  const int runs = args.count("--runs") ? std::max(1, std::atoi(args["--runs"].c_str())) : 3;
  const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path() / "tarnwick-cli";

  std::vector<fs::path> files;
  std::uint64_t bytes = 0;
  for (const auto& e : fs::recursive_directory_iterator(corpus))
    if (e.is_regular_file()) {
      files.push_back(e.path());
      bytes += e.file_size();
    }
  std::sort(files.begin(), files.end());
  std::cout << "corpus: " << files.size() << " files, " << bytes / (1024 * 1024) << " MiB\n";

  // The window packs ExtractedFiles/bench.mpak, a link to the corpus, with an empty table:
  // every file gets the defaults, as the command line without --toc.
  const fs::path home = work / "window-home";
  fs::create_directories(home / "ExtractedFiles");
  fs::create_directories(home / "Library");
  std::error_code ec;
  fs::remove(home / "ExtractedFiles" / "bench.mpak", ec);
  fs::create_directory_symlink(corpus, home / "ExtractedFiles" / "bench.mpak");
  util::writeFileAtomically(home / "Library" / "bench.mpak.toc", std::string_view());

  const fs::path cliOut = work / "cli.mpak", limitOut = work / "limit.bin",
                 zipOut = work / "bench.zip";
  std::map<std::string, std::vector<double>> times;
  for (int run = 0; run < runs; ++run) {
    ::sync();
    times["limit"].push_back(seconds([&] { packPlainly(files, limitOut); }));
    ::sync();
    times["cli"].push_back(seconds([&] {
      if (platform::runAndWait(
              {cli.string(), "pack", corpus.string(), "-o", cliOut.string(), "--force"}) != 0)
        die("tarnwick-cli pack failed");
    }));
    ::sync();
    {
      MemorySettings settings;
      gui::Form1 window(settings);
      if (!window.start(home.string()))
        die("the window did not start");
      window.show();
      window.session().packFolderPath = "bench.mpak";
      window.setText("Label13", "bench.mpak");
      auto* button = window.findChild<QPushButton*>("butPackMPAK");
      QApplication::processEvents();
      times["window"].push_back(seconds([&] { button->click(); }));
      if (!window.logPane().ends_with(".MPAK pack complete.\r\n"))
        die("the window's pack did not complete:\n" + window.logPane().substr(0, 2000));
    }
    ::sync();
    fs::remove(zipOut, ec);
    times["zip"].push_back(seconds([&] {
      platform::runAndWait(
          {"/bin/sh", "-c",
           "cd '" + corpus.string() + "' && zip -r -6 -q '" + zipOut.string() + "' ."});
    }));
  }

  const double limit = median(times["limit"]), cliTime = median(times["cli"]);
  std::printf("%-8s %9s %9s\n", "", "median s", "ratio");
  for (const char* name : {"limit", "cli", "window", "zip"})
    std::printf("%-8s %9.3f %9.2f\n", name, median(times[name]), median(times[name]) / limit);
  std::printf(
      "cli / limit %.2f (target <= 1.3), zip / cli %.2f (target >= 3), window / cli %.2f "
      "(target <= 1.5)\n",
      cliTime / limit, median(times["zip"]) / cliTime, median(times["window"]) / cliTime);
  std::printf("archive %.1f MiB, zip %.1f MiB\n",
              static_cast<double>(fs::file_size(cliOut)) / (1 << 20),
              static_cast<double>(fs::file_size(zipOut)) / (1 << 20));
  return 0;
}
