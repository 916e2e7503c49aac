// tarnwick-cli roundtrip: proves that extracting an archive and packing it back with its
// own library table loses nothing, entry by entry.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>

#include "cli/cli.h"
#include "extract/compare.h"
#include "extract/entry_path.h"
#include "extract/extractor.h"
#include "mpak/library_toc.h"
#include "pack/assembler.h"
#include "platform/files.h"
#include "platform/process.h"
#include "util/cp1252.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

// A private folder below the system's temporary folder, removed with its content.
class PrivateFolder {
 public:
  PrivateFolder() : m_path(platform::makeTemporaryFolder("tarnwick-roundtrip-")) {}
  ~PrivateFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const fs::path& path() const { return m_path; }

 private:
  fs::path m_path;
};

// Differences found so far, each printed on io.out with the original entry it concerns.
struct Differences {
  const std::vector<mpak::ArchiveEntry>& entries;
  Io& io;
  std::size_t count = 0;

  void add(std::size_t i, const std::string& what) {
    io.out << entryWhere(i, entries[i]) << ": " << what << "\n";
    ++count;
  }
};

// Packs the extracted `tree` into `repackPath` with the library table the original's
// entries make.
void packBack(const std::vector<mpak::ArchiveEntry>& entries, const fs::path& tree,
              const fs::path& repackPath) {
  const auto table = mpak::LibraryTable::parse(mpak::libraryTocText(entries));
  pack::PackOptions options;
  options.maxEntries = mpak::kFormatMaxEntries;
  const auto plan = pack::makePlan(pack::scanFolder(tree), &table, options);
  pack::packArchive(tree, plan, repackPath, options);
}

// Paths, order, compression, copies and STOC membership, entry by entry.
void compareEntries(const std::vector<mpak::ArchiveEntry>& entries,
                    const std::vector<mpak::ArchiveEntry>& again, Differences& differ) {
  for (std::size_t i = 0; i < std::min(entries.size(), again.size()); ++i) {
    const auto &a = entries[i], &b = again[i];
    if (a.path != b.path) {
      differ.add(i, "the repack has '" + util::cp1252ToUtf8(b.path) + "' in its place");
      continue;
    }
    if (a.isCompressed() != b.isCompressed())
      differ.add(i, a.isCompressed() ? "compressed, the repack stores it"
                                     : "stored, the repack compresses it");
    if (a.copies != b.copies)
      differ.add(i,
                 std::to_string(a.copies) + " copies, the repack has " + std::to_string(b.copies));
    if (a.inStoc != b.inStoc)
      differ.add(
          i, a.inStoc ? "in the STOC, the repack's is not" : "not in the STOC, the repack's is");
  }
}

// The extracted files hold the archive's contents: the repack must give them back.
void compareContents(const std::vector<mpak::ArchiveEntry>& entries, const OpenedArchive& repacked,
                     const fs::path& tree, Differences& differ) {
  const auto contents = extract::diffFolder(repacked.file.bytes(), repacked.index, tree);
  std::unordered_map<std::string, std::size_t> entryOf;
  for (std::size_t i = 0; i < entries.size(); ++i)
    entryOf.try_emplace(extract::checkEntryPath(entries[i].path).relative(), i);
  for (const auto& path : contents.modified)
    differ.add(entryOf.at(path), "the repack's content differs");
  for (const auto& what : contents.unreadable)
    differ.add(entryOf.at(what.substr(0, what.find(": "))), "the repack cannot be read: " + what);
}

int runRoundTrip(const std::string& archive, Io& io) {
  OpenedArchive original;
  if (!openArchive(archive, io, original))
    return kExitFailed;
  const auto& entries = original.index.entries;
  PrivateFolder work;
  const fs::path tree = work.path() / "tree", repackPath = work.path() / "repack.mpak";
  fs::create_directory(tree);
  Differences differ{entries, io};

  const auto extracted = extract::extractEntries(original.file.bytes(), original.index,
                                                 extract::everyEntry(original.index), tree);
  for (const auto& problem : extracted.problems)
    differ.add(problem.entryIndex, "not extracted: " + problem.reason);
  packBack(entries, tree, repackPath);
  OpenedArchive repacked;
  if (!openArchive(platform::utf8(repackPath), io, repacked))
    return kExitFailed;
  const auto& again = repacked.index.entries;

  if (again.size() != entries.size())
    io.out << archive << " has " << entries.size() << " entries, its repack " << again.size()
           << "\n";
  compareEntries(entries, again, differ);
  compareContents(entries, repacked, tree, differ);
  if (differ.count == 0 && again.size() == entries.size()) {
    io.out << "Round trip of " << archive << ": " << entries.size() << " entries identical\n";
    return kExitOk;
  }
  io.out << "Round trip of " << archive << ": " << differ.count << " differences in "
         << entries.size() << " entries\n";
  return kExitWarnings;
}

}  // namespace

void registerRoundTrip(CLI::App& app, Runner& run) {
  auto archive = std::make_shared<std::string>();
  auto* sub = app.add_subcommand(
      "roundtrip",
      "Extract every entry into a private temporary folder, pack it back with the archive's "
      "own library table, and compare the two archives entry by entry: paths, order, "
      "compression, copies, STOC membership and contents (exit 1 on any difference).");
  sub->add_option("ARCHIVE", *archive, "the archive to check")->required();
  sub->callback(
      [&run, archive] { run = [archive](Io& io) { return runRoundTrip(*archive, io); }; });
}

}  // namespace cli
