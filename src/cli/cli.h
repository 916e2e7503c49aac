// tarnwick-cli: verbs over the engines for scripting and batch work.
//
// Exit codes: 0 done, 1 done with warnings (some entries skipped or damaged),
// 2 failed (a damaged or unreadable archive, an I/O error), 7 usage error.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "mpak/archive.h"
#include "platform/mapped_file.h"

namespace CLI {
class App;
}

namespace cli {

enum ExitCode : int { kExitOk = 0, kExitWarnings = 1, kExitFailed = 2, kExitUsage = 7 };

// Thrown by a verb for a usage fault found after parsing (a taken output name).
struct UsageError {
  std::string message;
};

struct Io {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// A verb adds its sub-command to `app` and sets `run` to what it does when chosen. Each
// verb lives in its own verb_<name>.cpp; runCli registers them all.
using Runner = std::function<int(Io&)>;
using Registrar = void (*)(CLI::App& app, Runner& run);

void registerList(CLI::App& app, Runner& run);
void registerToc(CLI::App& app, Runner& run);
void registerExtract(CLI::App& app, Runner& run);
void registerVerify(CLI::App& app, Runner& run);
void registerPack(CLI::App& app, Runner& run);
void registerTextures(CLI::App& app, Runner& run);
void registerMpkg(CLI::App& app, Runner& run);
void registerSounds(CLI::App& app, Runner& run);
void registerDiff(CLI::App& app, Runner& run);
void registerRoundTrip(CLI::App& app, Runner& run);

// An archive mapped into memory and its index read.
struct OpenedArchive {
  platform::MappedFile file;
  mpak::ArchiveIndex index;
};

// Maps the archive at `path` and reads its index. A damaged archive is reported on io.err
// ("tarnwick-cli: PATH: what and where") and gives false; a file that cannot be opened
// throws std::system_error naming the path, which runCli reports with exit code 2.
bool openArchive(const std::string& path, Io& io, OpenedArchive& opened);

// Damage that does not stop a listing: stored copies that run past the end of the file
// and STOC records naming no entry. One warning line each on io.err; returns how many.
int reportDamage(const std::string& path, const mpak::ArchiveIndex& index, Io& io);

// "entry 3 'ui/menu.dds' (TOC record at 0x1F4)": an entry as messages name it.
std::string entryWhere(std::size_t index, const mpak::ArchiveEntry& entry);

// Parses `args` (without the program name) and runs the chosen verb. Errors are
// printed on io.err as "tarnwick-cli: <what and where>".
int runCli(const std::vector<std::string>& args, Io& io);

}  // namespace cli
