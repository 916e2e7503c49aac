// tarnwick-cli pack: a folder tree packed into a new archive as its library table says.
#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "platform/files.h"
#include "util/file_io.h"
#include "util/text.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kListed = 20;

struct PackArgs {
  std::string folder, output, toc, base;
  bool compressAll = false, allStoc = false, force = false, verbose = false;
  int level = 6;
};

void printList(std::ostream& out, const std::string& heading,
               const std::vector<std::string>& names) {
  out << heading << ": " << names.size() << "\n";
  for (std::size_t i = 0; i < names.size() && i < kListed; ++i)
    out << "  " << names[i] << "\n";
  if (names.size() > kListed)
    out << "  ... and " << names.size() - kListed << " more\n";
}

// Refuses an output that exists (without --force) or names a folder.
void checkOutput(const PackArgs& args) {
  const fs::path target = platform::pathFromUtf8(args.output);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec)) && !args.force)
    throw UsageError{args.output + " exists; use --force to replace it"};
  if (fs::is_directory(target, ec))
    throw UsageError{args.output + " is a folder; name the archive to write"};
}

// The table --toc names; none (said on io.err) without it.
std::optional<mpak::LibraryTable> readTable(const PackArgs& args, Io& io) {
  if (!args.toc.empty())
    return mpak::LibraryTable::parse(util::readWholeFile(platform::pathFromUtf8(args.toc)));
  io.err << "tarnwick-cli: no library table given (--toc): every file is packed compressed, "
            "1 copy, in the STOC\n";
  return std::nullopt;
}

// Packs the plan into the output, showing progress on a terminal.
pack::PackResult packWithProgress(const PackArgs& args, const pack::Plan& plan,
                                  const pack::PackOptions& options, Io& io) {
  std::chrono::steady_clock::time_point last{};
  auto progress = [&](std::size_t n, std::size_t total, const pack::PlannedEntry& entry) {
    auto now = std::chrono::steady_clock::now();
    if (n < total && now - last < std::chrono::milliseconds(100))
      return;
    last = now;
    io.err << "\r\x1b[KPacking " << n << "/" << total << " " << entry.source << std::flush;
  };
  pack::PackResult result;
  try {
    result = pack::packArchive(platform::pathFromUtf8(args.folder), plan,
                               platform::pathFromUtf8(args.output), options,
                               io.errIsTerminal ? pack::PackObserver(progress) : nullptr);
  } catch (...) {
    if (io.errIsTerminal)
      io.err << "\r\x1b[K";
    throw;
  }
  if (io.errIsTerminal)
    io.err << "\r\x1b[K" << std::flush;
  return result;
}

// What was packed, the table's lines and files that did not meet, and what was left out.
int printPackSummary(const PackArgs& args, bool withTable, const pack::FolderScan& scan,
                     const pack::Plan& plan, const pack::PackResult& result, Io& io) {
  io.out << "Packed " << result.entries << " entries (" << result.compressed << " compressed, "
         << result.stocEntries << " in the STOC) into " << args.output << " (" << result.bytes
         << " bytes)\n";
  if (withTable) {
    printList(io.out, "Table lines that name no file", plan.unusedLines);
    printList(io.out, "Files no table line names (packed compressed, 1 copy, in the STOC)",
              plan.unnamedFiles);
  }
  if (result.entries > mpak::kMaxArchiveEntries)
    io.err << "tarnwick-cli: warning: " << args.output << " has " << result.entries
           << " entries; readers that take the count as a signed 16-bit number stop at "
           << mpak::kMaxArchiveEntries << "\n";
  for (const auto& item : scan.skipped)
    io.err << "tarnwick-cli: " << args.folder << ": not packed: " << item.relative << " ("
           << item.why << ")\n";
  return scan.skipped.empty() ? kExitOk : kExitWarnings;
}

// Against a base: the summary line, with --verbose each entry's fate, and the damaged
// base entries as warnings. Returns whether there were any.
bool printRepackReport(const PackArgs& args, const pack::RepackReport& report, Io& io) {
  io.out << report.summary() << "\n";
  if (args.verbose)
    for (const auto& [what, paths] :
         {std::pair{"kept  ", &report.kept}, std::pair{"compressed again  ", &report.again},
          std::pair{"new  ", &report.added}, std::pair{"removed  ", &report.removed}})
      for (const auto& path : *paths)
        io.out << "  " << what << path << "\n";
  for (const auto& damaged : report.damaged)
    io.err << "tarnwick-cli: warning: " << args.base << ": damaged entry compressed again from "
           << "the file: " << damaged << "\n";
  return !report.damaged.empty();
}

// The base --base names, matched to the plan; says on io.err when its layout cannot come
// back byte for byte.
std::unique_ptr<pack::BaseArchive> openBase(const PackArgs& args, pack::Plan& plan, Io& io) {
  if (args.base.empty())
    return nullptr;
  auto base = std::make_unique<pack::BaseArchive>(platform::pathFromUtf8(args.base));
  pack::matchBase(plan, *base);
  if (auto differs = pack::baseLayoutDiffers(base->index()); !differs.empty())
    io.err << "tarnwick-cli: " << args.base << ": " << differs
           << "; the entries come back, the same bytes cannot\n";
  return base;
}

int runPack(const PackArgs& args, Io& io) {
  checkOutput(args);
  const std::optional<mpak::LibraryTable> table = readTable(args, io);

  pack::PackOptions options;
  options.compressAll = args.compressAll;
  options.allStoc = args.allStoc;
  options.level = args.level;
  options.maxEntries = mpak::kFormatMaxEntries;
  const auto scan = pack::scanFolder(platform::pathFromUtf8(args.folder));
  pack::Plan plan;
  try {
    plan = pack::makePlan(scan, table ? &*table : nullptr, options);
  } catch (const std::exception& e) {
    io.err << "tarnwick-cli: " << args.folder << ": " << e.what() << "\n";
    return kExitFailed;
  }
  std::unique_ptr<pack::BaseArchive> base;
  try {
    base = openBase(args, plan, io);
  } catch (const mpak::FormatError& e) {
    io.err << "tarnwick-cli: " << args.base << ": " << e.what() << "\n";
    return kExitFailed;
  }
  const pack::PackResult result = packWithProgress(args, plan, options, io);
  const int code = printPackSummary(args, table.has_value(), scan, plan, result, io);
  const bool damaged = base && printRepackReport(args, pack::repackReport(plan, result), io);
  return damaged ? kExitWarnings : code;
}

}  // namespace

void registerPack(CLI::App& app, Runner& run) {
  auto args = std::make_shared<PackArgs>();
  auto* sub = app.add_subcommand(
      "pack", "Pack a folder tree into a new archive, as its library .toc table says.");
  sub->add_option("FOLDER", args->folder, "the folder to pack (an extracted archive)")
      ->required()
      ->check(CLI::ExistingDirectory);
  sub->add_option("-o,--output", args->output, "the archive to write")->required();
  sub->add_option("--toc", args->toc,
                  "the library table that decides, per file, compression, copies and STOC "
                  "membership (default: every file compressed, 1 copy, in the STOC)")
      ->check(CLI::ExistingFile);
  sub->add_flag("--compress-all", args->compressAll,
                "compress every file, whatever the table says");
  sub->add_flag("--all-stoc", args->allStoc, "put every file in the STOC");
  sub->add_option("--level", args->level, "DEFLATE level, 0 (stored) to 12 (smallest)")
      ->check(CLI::Range(0, 12))
      ->capture_default_str();
  sub->add_option("--base", args->base,
                  "an archive to pack against: files whose content an entry of the same path "
                  "holds, under the same compressed flag, take its stored bytes as they are")
      ->check(CLI::ExistingFile);
  sub->add_flag("--verbose", args->verbose,
                "with --base, list which entries were kept, compressed again, new and removed");
  sub->add_flag("--force", args->force, "replace an existing archive");
  sub->callback([&run, args] { run = [args](Io& io) { return runPack(*args, io); }; });
}

}  // namespace cli
