// tarnwick-cli textures: the texture names a model refers to, and with --archive whether
// that archive holds each of them.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "cli/cli.h"
#include "model/texture_scan.h"
#include "mpak/library_toc.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/cp1252.h"
#include "util/json_text.h"
#include "util/text.h"

namespace cli {

namespace {

struct TexturesArgs {
  std::string model, archive;
  bool json = false;
};

// Which entry of the archive holds a texture: the same path, or for a name without a
// folder, the same file name in any folder. "" when none does.
class ArchiveLookup {
 public:
  explicit ArchiveLookup(const mpak::ArchiveIndex& index) {
    for (const auto& entry : index.entries) {
      m_byPath.try_emplace(mpak::LibraryTable::pathKey(entry.path), entry.path);
      m_byName.try_emplace(mpak::LibraryTable::pathKey(util::fileNamePart(entry.path)), entry.path);
    }
  }
  std::string find(const std::string& name) const {
    const std::string k = mpak::LibraryTable::pathKey(name);
    if (auto it = m_byPath.find(k); it != m_byPath.end())
      return it->second;
    if (k.find('\\') == std::string::npos)
      if (auto it = m_byName.find(k); it != m_byName.end())
        return it->second;
    return {};
  }

 private:
  std::unordered_map<std::string, std::string> m_byPath, m_byName;
};

int runTextures(const TexturesArgs& args, Io& io) {
  platform::MappedFile model(platform::pathFromUtf8(args.model));
  if (model.size() > model::kMaxModelBytes)
    throw UsageError{args.model + " is " + std::to_string(model.size()) +
                     " bytes long; models of 2 GiB or more are not read"};
  const auto names = model::listTextures(model::findTextureNames(model.bytes()));

  OpenedArchive archive;
  std::unique_ptr<ArchiveLookup> lookup;
  if (!args.archive.empty()) {
    if (!openArchive(args.archive, io, archive))
      return kExitFailed;
    lookup = std::make_unique<ArchiveLookup>(archive.index);
  }
  std::size_t missing = 0;
  if (args.json)
    io.out << "[";
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string shown = util::cp1252ToUtf8(names[i]);
    const std::string entry = lookup ? lookup->find(names[i]) : std::string();
    missing += lookup && entry.empty();
    if (args.json) {
      io.out << (i ? ",\n " : "\n ") << "{\"name\": " << util::jsonString(shown);
      if (lookup)
        io.out << ", \"entry\": "
               << (entry.empty() ? "null" : util::jsonString(util::cp1252ToUtf8(entry)));
      io.out << "}";
    } else if (!lookup) {
      io.out << shown << "\n";
    } else {
      io.out << (entry.empty() ? "missing  " : "present  ") << shown;
      if (!entry.empty() &&
          mpak::LibraryTable::pathKey(entry) != mpak::LibraryTable::pathKey(names[i]))
        io.out << "  (" << util::cp1252ToUtf8(entry) << ")";
      io.out << "\n";
    }
  }
  if (args.json)
    io.out << (names.empty() ? "]\n" : "\n]\n");
  if (missing > 0)
    io.err << "tarnwick-cli: " << args.archive << " lacks " << missing << " of the " << names.size()
           << " textures\n";
  return missing > 0 ? kExitWarnings : kExitOk;
}

}  // namespace

void registerTextures(CLI::App& app, Runner& run) {
  auto args = std::make_shared<TexturesArgs>();
  auto* sub = app.add_subcommand(
      "textures", "List the texture names (.tga) a model refers to, each once, in order.");
  sub->add_option("MODEL", args->model, "the .mmod model")->required();
  sub->add_option("--archive", args->archive,
                  "mark each texture present or missing in this archive (letter case, \\ or / "
                  "and, for a name without a folder, the folder do not matter)");
  sub->add_flag("--json", args->json, "the names (and the entries holding them) as JSON");
  sub->callback([&run, args] { run = [args](Io& io) { return runTextures(*args, io); }; });
}

}  // namespace cli
