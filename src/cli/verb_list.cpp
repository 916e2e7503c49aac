// tarnwick-cli list: an archive's entries as the window's file list shows them, or every
// field as JSON.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "mpak/archive.h"
#include "mpak/file_list_item.h"
#include "util/cp1252.h"
#include "util/json_text.h"
#include "util/text.h"

namespace cli {

namespace {

struct ListOptions {
  std::string archive;
  bool json = false;
};

void writeJson(const std::string& path, const mpak::ArchiveIndex& index, std::ostream& out) {
  auto str = [](std::string_view cp1252) { return util::jsonString(util::cp1252ToUtf8(cp1252)); };
  out << "{\n";
  out << "  \"archive\": " << util::jsonString(path) << ",\n";
  out << "  \"fileSize\": " << index.fileSize << ",\n";
  out << "  \"tocBlockSize\": " << index.tocBlockSize << ",\n";
  out << "  \"stocBlockSize\": " << index.stocBlockSize << ",\n";
  out << "  \"entryCount\": " << index.entryCount << ",\n";
  out << "  \"stocCount\": " << index.stocCount << ",\n";
  out << "  \"tocPosition\": " << index.tocPosition << ",\n";
  out << "  \"stocPosition\": " << index.stocPosition << ",\n";
  out << "  \"rawdPosition\": " << index.rawdPosition << ",\n";
  out << "  \"entries\": [";
  for (std::size_t i = 0; i < index.entries.size(); ++i) {
    const mpak::ArchiveEntry& e = index.entries[i];
    out << (i ? ",\n" : "\n") << "    {\"index\": " << i;
    out << ", \"path\": " << str(util::replaceAll(e.path, '\\', '/'));
    out << ", \"windowsPath\": " << str(e.path);
    out << ", \"recordOffset\": " << e.recordOffset;
    out << ", \"storedSize\": " << e.storedSize;
    out << ", \"unpackedSize\": " << e.unpackedSize;
    out << ", \"compressedFlag\": " << static_cast<unsigned>(e.compressedFlag);
    out << ", \"copies\": " << e.copies;
    out << ", \"dataOffsets\": [";
    for (std::size_t k = 0; k < e.dataOffsets.size(); ++k)
      out << (k ? ", " : "") << e.dataOffsets[k];
    out << "], \"dataPositions\": [";
    for (std::size_t k = 0; k < e.dataOffsets.size(); ++k)
      out << (k ? ", " : "") << mpak::copyPosition(index, e, k);
    out << "], \"dataPosition\": " << e.dataPosition;
    out << ", \"dataInBounds\": " << (mpak::dataInBounds(index, e) ? "true" : "false");
    out << ", \"inStoc\": " << (e.inStoc ? "true" : "false");
    out << ", \"stocRecord\": ";
    if (e.stocRecord >= 0)
      out << e.stocRecord;
    else
      out << "null";
    out << ", \"item\": " << str(mpak::fileListItem(e)) << "}";
  }
  out << (index.entries.empty() ? "],\n" : "\n  ],\n");
  out << "  \"stoc\": [";
  for (std::size_t i = 0; i < index.stoc.size(); ++i) {
    const mpak::StocRecord& s = index.stoc[i];
    out << (i ? ",\n" : "\n") << "    {\"index\": " << i << ", \"tocIndex\": " << s.tocIndex
        << ", \"path\": " << str(s.path) << ", \"recordOffset\": " << s.recordOffset
        << ", \"namesEntry\": " << (s.tocIndex < index.entries.size() ? "true" : "false") << "}";
  }
  out << (index.stoc.empty() ? "]\n" : "\n  ]\n");
  out << "}\n";
}

int runList(const ListOptions& options, Io& io) {
  OpenedArchive loaded;
  if (!openArchive(options.archive, io, loaded))
    return kExitFailed;
  const mpak::ArchiveIndex& index = loaded.index;
  if (options.json) {
    writeJson(options.archive, index, io.out);
  } else {
    for (const mpak::ArchiveEntry& entry : index.entries)
      io.out << util::cp1252ToUtf8(mpak::fileListItem(entry)) << "\n";
  }
  io.out.flush();
  return reportDamage(options.archive, index, io) > 0 ? kExitWarnings : kExitOk;
}

}  // namespace

void registerList(CLI::App& app, Runner& run) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* list =
      app.add_subcommand("list", "List an archive's entries as the window's file list shows them.");
  list->add_option("ARCHIVE", options->archive, "the MPAK archive")->required();
  list->add_flag("--json", options->json,
                 "every field of the header, the entries and the STOC records, as JSON");
  list->footer(
      "Each line: data position, last stored byte, stored size, unpacked size (hex),\n"
      "compressed flag, copies, STOC member (0/1), path.");
  list->callback([options, &run] { run = [options](Io& io) { return runList(*options, io); }; });
}

}  // namespace cli
