// Extraction benchmark. In one run it times, on the same archive and the same files:
//   limit   read the archive, inflate every entry with libdeflate and write the files,
//           one after another, with nothing else (no checks, no temporary names)
//   cli     tarnwick-cli extract ARCHIVE -o DIR --quiet, run as a process
//   window  the window's extract command with every entry selected: the button clicked in
//           the real window, offscreen (built without the window: the command on a
//           window that does nothing)
//   unzip   unzip -q on a zip of the same files made with zip -r -6
// Each is run --runs times, interleaved, with the output removed and the disk synced
// between runs (neither is timed); the median is reported. The archive is packed from
// the corpus with the project's writer the first time (cached as WORK/bench.mpak).
//
//   bench_extract --corpus DIR --zip FILE --work DIR [--runs N]
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/resource.h>
#include <unistd.h>

#ifdef TARNWICK_BENCH_QT
#include <QApplication>

#include "gui/form1.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands/extract.h"
#include "app/shell.h"
#include "app/startup.h"
#include "bench_common.h"
#include "mpak/archive_writer.h"
#include "platform/mapped_file.h"
#include "platform/process.h"
#include "util/deflate.h"
#include "util/file_io.h"

namespace {

namespace fs = std::filesystem;
using bench::median;
using bench::MemorySettings;
using Clock = std::chrono::steady_clock;

// A window that does nothing, with every item selected.
class NullWindow : public app::Window {
 public:
  explicit NullWindow(int items) : m_items(items) {}
  void setText(std::string_view control, const std::string& text) override {
    m_texts[std::string(control)] = text;
  }
  std::string text(std::string_view control) const {
    auto it = m_texts.find(std::string(control));
    return it == m_texts.end() ? std::string() : it->second;
  }
  void repaint(std::string_view) override {}
  void clearList() override { m_items = 0; }
  void addItems(const std::vector<std::string>& items) override {
    m_items += static_cast<int>(items.size());
  }
  int itemCount() const override { return m_items; }
  bool isSelected(int) const override { return true; }
  int selectedCount() const override { return m_items; }
  void selectAll() override {}
  void setHorizontalExtent(int) override {}
  void setProgressWidth(double) override {}
  void setBusy(bool) override {}
  void setLogPane(const std::string& text, bool) override { m_log = text; }
  std::string logPane() const { return m_log; }
  void messageBox(app::Icon, const std::string& text) override { messages.push_back(text); }
  std::size_t ask(app::Icon, const std::string& text, const std::vector<std::string>&) override {
    messages.push_back(text);
    return 1;  // replace
  }
  std::optional<std::string> chooseFile(const std::string&, const std::string&,
                                        const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> browseFolder(const std::string&) override { return std::nullopt; }
  bool isChecked(std::string_view) const override { return false; }
  bool openFolder(const std::string&) override { return true; }
  void yield() override {}

  std::vector<std::string> messages;

 private:
  int m_items;
  std::map<std::string, std::string> m_texts;
  std::string m_log;
};

[[noreturn]] void die(const std::string& what) {
  std::cerr << "bench_extract: " << what << "\n";
  std::exit(2);
}

// The limit: the plainest extraction there is.
void extractPlainly(const fs::path& archivePath, const fs::path& out) {
  auto bytes = util::readWholeFile(archivePath);
  std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     bytes.size());
  auto index = mpak::readArchiveIndex(file);
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<std::uint8_t> buffer;
  for (const auto& entry : index.entries) {
    std::string rel = entry.path;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    const fs::path target = out / rel;
    fs::create_directories(target.parent_path());
    const std::uint8_t* data = file.data() + entry.dataPosition;
    std::size_t size = entry.hasData() ? entry.storedSize : 0;
    if (entry.isCompressed() && entry.hasData()) {
      buffer.resize(entry.unpackedSize);
      if (libdeflate_deflate_decompress(d, data, size, buffer.data(), buffer.size(), nullptr) !=
          LIBDEFLATE_SUCCESS)
        die("limit: cannot inflate " + rel);
      data = buffer.data();
      size = buffer.size();
    }
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0)
      die("limit: cannot write " + target.string());
  }
  libdeflate_free_decompressor(d);
}

// User plus system time of this process and its waited-for children.
double cpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage u {};
    ::getrusage(who, &u);
    total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
             static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

struct Timing {
  double wall = 0, cpu = 0;
};

Timing seconds(const std::function<void()>& work) {
  auto start = Clock::now();
  double cpuStart = cpuSeconds();
  work();
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpuSeconds() - cpuStart};
}

// Flushes what the previous measurement wrote, so its write-back does not run into the
// next one.
void settle() {
  ::sync();
}

std::uint64_t treeBytes(const fs::path& folder, std::size_t& files) {
  std::uint64_t total = 0;
  files = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) {
      total += e.file_size();
      ++files;
    }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef TARNWICK_BENCH_QT
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
#endif
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2)
    args[argv[i]] = argv[i + 1];
  if (!args.count("--corpus") || !args.count("--zip") || !args.count("--work"))
    die("usage: bench_extract --corpus DIR --zip FILE --work DIR [--runs N]");
  const fs::path corpus = args["--corpus"], zip = args["--zip"], work = args["--work"];
  const int runs = args.count("--runs") ? std::max(1, std::atoi(args["--runs"].c_str())) : 3;
  // --only NAME times one measurement alone (for profiling).
  const std::string only = args.count("--only") ? args["--only"] : "";
  auto wanted = [&](const char* name) { return only.empty() || only == name; };
  const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path() / "tarnwick-cli";

  const fs::path archive = work / "bench.mpak";
  if (!fs::exists(archive) || fs::last_write_time(archive) < fs::last_write_time(corpus))
    bench::packCorpus(corpus, archive);

  // Every run writes into fresh folders and nothing is deleted until the end: ext4 skips
  // inodes freed in the last 30 seconds when it creates files, which makes creating
  // thousands of files right after deleting thousands several times slower and would
  // time the deleting instead of the extracting.
  const fs::path runsFolder = work / "runs";
  if (fs::exists(runsFolder)) {
    fs::remove_all(runsFolder);
    ::sync();
    std::cerr << "waiting 30 s for the file system to reuse the inodes of an earlier run\n";
    ::sleep(30);
  }
  auto outFolder = [&](const char* name, int run) {
    return runsFolder / (std::string(name) + "-" + std::to_string(run));
  };
  app::Catalogue catalogue;
  {
    platform::MappedFile file(archive);
    catalogue.index = mpak::readArchiveIndex(file.bytes());
  }
  const int entries = static_cast<int>(catalogue.entries().size());

  std::map<std::string, std::vector<double>> times, cpu;
  auto record = [&](const char* name, Timing t) {
    times[name].push_back(t.wall);
    cpu[name].push_back(t.cpu);
  };
  fs::path windowOut;
  for (int run = 0; run < runs; ++run) {
    if (wanted("limit")) {
      settle();
      record("limit", seconds([&] { extractPlainly(archive, outFolder("limit", run)); }));
    }

    if (wanted("cli")) {
      settle();
      record("cli", seconds([&] {
               int code = platform::runAndWait({cli.string(), "extract", archive.string(), "-o",
                                                outFolder("cli", run).string(), "--quiet"});
               if (code != 0)
                 die("tarnwick-cli extract ended with " + std::to_string(code));
             }));
    }

    if (wanted("window")) {
#ifdef TARNWICK_BENCH_QT
      const fs::path home = outFolder("window", run);
      fs::create_directories(home);
      windowOut = home / "ExtractedFiles" / "bench.mpak";
      MemorySettings settings;
      gui::Form1 window(settings);
      if (!window.start(home.string()))
        die("the window did not start");
      window.show();
      window.openArchive(archive.string());
      window.selectAll();
      QApplication::processEvents();
      QWidget* button = window.control("butMassExtract");
      settle();
      record("window",
             seconds([&] { QMetaObject::invokeMethod(button, "click", Qt::DirectConnection); }));
      if (!window.logPane().ends_with("Extraction complete.\r\n"))
        die("the window's extraction did not complete:\n" + window.logPane());
#else
      app::AppState state;
      state.programFolder = outFolder("window", run).string();
      state.folders = app::workingFoldersOf(state.programFolder);
      state.progressFullWidth = 1000;
      for (const auto* f : {&state.folders.extractedFiles, &state.folders.temp})
        fs::create_directories(*f);
      windowOut = fs::path(state.folders.extractedFiles) / "bench.mpak";
      NullWindow window(entries);
      window.setText("Label5", "bench.mpak");
      app::Shell shell(window, state);
      MemorySettings settings;
      app::Session session;
      session.archive = {archive.string(), "bench.mpak", catalogue};
      app::CommandContext context{shell, settings, session};
      settle();
      record("window", seconds([&] { app::butMassExtract_Click(context); }));
      if (!window.messages.empty())
        die("the window's command showed: " + window.messages.front());
#endif
    }

    if (wanted("unzip")) {
      settle();
      record("unzip", seconds([&] {
               int code = platform::runAndWait({"/usr/bin/unzip", "-q", "-o", zip.string(), "-d",
                                                outFolder("unzip", run).string()});
               if (code != 0)
                 die("unzip ended with " + std::to_string(code));
             }));
    }
    std::cerr << "run " << run + 1 << "/" << runs << " done\n";
  }

  if (!only.empty()) {
    std::printf("%s: median %.3f s wall, %.3f s cpu\n", only.c_str(), median(times[only]),
                median(cpu[only]));
    fs::remove_all(runsFolder);
    return 0;
  }
  std::size_t files = 0;
  const std::uint64_t bytes = treeBytes(outFolder("cli", 0), files);
  std::size_t unzipFiles = 0, windowFiles = 0, limitFiles = 0;
  treeBytes(outFolder("unzip", 0), unzipFiles);
  treeBytes(windowOut, windowFiles);
  treeBytes(outFolder("limit", 0), limitFiles);
  std::printf("archive %s: %d entries, %.1f MiB; extracted %zu files, %.1f MiB\n", archive.c_str(),
              entries, fs::file_size(archive) / 1048576.0, files, bytes / 1048576.0);
  std::printf("files written: limit %zu, cli %zu, window %zu, unzip %zu\n", limitFiles, files,
              windowFiles, unzipFiles);
  std::printf(
      "median of %d runs: wall time, throughput, cpu time (user + system); then every run's wall "
      "time\n",
      runs);
  for (const char* name : {"limit", "cli", "window", "unzip"}) {
    std::printf("  %-7s %7.3f s  %7.1f MiB/s  cpu %6.3f s   (", name, median(times[name]),
                bytes / 1048576.0 / median(times[name]), median(cpu[name]));
    for (double t : times[name])
      std::printf(" %.3f", t);
    std::printf(" )\n");
  }
  const double limit = median(times["limit"]), cliTime = median(times["cli"]),
               windowTime = median(times["window"]), unzipTime = median(times["unzip"]);
  auto verdict = [](bool ok) { return ok ? "met" : "NOT MET"; };
  std::printf("cli / limit    = %.2f  (target <= 1.30: %s)\n", cliTime / limit,
              verdict(cliTime <= 1.3 * limit));
  std::printf("unzip / cli    = %.2f  (target >= 2.00: %s)\n", unzipTime / cliTime,
              verdict(unzipTime >= 2 * cliTime));
  std::printf("window / cli   = %.2f  (target <= 1.50: %s)\n", windowTime / cliTime,
              verdict(windowTime <= 1.5 * cliTime));
  fs::remove_all(runsFolder);
  return 0;
}
