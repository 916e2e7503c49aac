#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <iostream>

#include "platform/files.h"
#include "util/byte_reader.h"
#include "util/counted.h"
#include "util/cp1252.h"
#include "util/error_text.h"
#include "util/text.h"
#include "util/version.h"

namespace cli {

namespace {

constexpr const char* kFooter =
    "Exit codes:\n"
    "  0  done\n"
    "  1  done with warnings (entries skipped, damaged or refused)\n"
    "  2  failed (a damaged or unreadable archive, an I/O error)\n"
    "  7  usage error";

// The path as the user reads it: UTF-8 with "/" separators.
std::string shownPath(const mpak::ArchiveEntry& entry) {
  return util::replaceAll(util::cp1252ToUtf8(entry.path), '\\', '/');
}

constexpr Registrar kVerbs[] = {&registerList, &registerToc,      &registerExtract, &registerVerify,
                                &registerPack, &registerTextures, &registerMpkg,    &registerSounds,
                                &registerDiff, &registerRoundTrip};

}  // namespace

std::string entryWhere(std::size_t index, const mpak::ArchiveEntry& entry) {
  return "entry " + std::to_string(index) + " '" + shownPath(entry) + "' (TOC record at " +
         util::hexOffset(entry.recordOffset) + ")";
}

int reportDamage(const std::string& path, const mpak::ArchiveIndex& index, Io& io) {
  int warnings = 0;
  auto warn = [&](const std::string& text) {
    io.err << "tarnwick-cli: " << path << ": warning: " << text << "\n";
    ++warnings;
  };
  for (std::size_t i = 0; i < index.entries.size(); ++i) {
    const mpak::ArchiveEntry& entry = index.entries[i];
    for (std::size_t k = 0; k < entry.dataOffsets.size(); ++k)
      if (auto fault = mpak::copyFault(index, entry, k); !fault.empty())
        warn("TOC record " + std::to_string(i) + " at offset " +
             util::hexOffset(entry.recordOffset) + " (" + util::cp1252ToUtf8(entry.path) +
             "): " + fault);
  }
  for (std::size_t i = 0; i < index.stoc.size(); ++i) {
    const mpak::StocRecord& record = index.stoc[i];
    if (record.tocIndex < index.entries.size())
      continue;
    warn("STOC record " + std::to_string(i) + " at offset " + util::hexOffset(record.recordOffset) +
         ": TOC index " + std::to_string(record.tocIndex) + " names no entry (the archive has " +
         util::counted(index.entries.size(), "entry", "entries") + ")");
  }
  return warnings;
}

bool openArchive(const std::string& path, Io& io, OpenedArchive& opened) {
  opened.file = platform::MappedFile(platform::pathFromUtf8(path));
  try {
    opened.index = mpak::readArchiveIndex(opened.file.bytes());
  } catch (const mpak::FormatError& e) {
    io.err << "tarnwick-cli: " << path << ": " << e.what() << "\n";
    return false;
  }
  if (auto notArchive = mpak::notAnMpakArchive(opened.file.bytes()); !notArchive.empty())
    io.err << "tarnwick-cli: " << path << ": warning: " << notArchive
           << "; its index reads all the same\n";
  return true;
}

int runCli(const std::vector<std::string>& args, Io& io) {
  CLI::App app{
      "Tarnwick command line: list, extract, check and pack MPAK game archives; unpack packages; "
      "list model textures.",
      "tarnwick-cli"};
  app.footer(kFooter);
  app.require_subcommand(1);
  // "/path" is a path on every system, never an option written the Windows way.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "tarnwick-cli " + std::string(util::kVersionText));

  Runner run;
  for (Registrar r : kVerbs)
    r(app, run);

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    // --help and --version arrive here too, with exit code 0.
    return app.exit(e, io.out, io.err) == 0 ? kExitOk : kExitUsage;
  }
  if (!run)
    return kExitUsage;
  // A mapped file truncated by another program while a verb read it: whatever the verb made
  // of the zeros it read instead, the answer is that the file changed.
  const platform::MappingWatch mapping;
  auto changed = [&] {
    if (!mapping.changed())
      return false;
    io.err << "tarnwick-cli: " << platform::MappingChanged().what() << "\n";
    return true;
  };
  try {
    const int code = run(io);
    return changed() ? kExitFailed : code;
  } catch (const platform::MappingChanged& e) {
    io.err << "tarnwick-cli: " << e.what() << "\n";
    return kExitFailed;
  } catch (const UsageError& e) {
    io.err << "tarnwick-cli: " << e.message << "\n";
    return kExitUsage;
  } catch (...) {
    if (!changed())
      io.err << "tarnwick-cli: " << util::describeException(std::current_exception()) << "\n";
    return kExitFailed;
  }
}

}  // namespace cli
