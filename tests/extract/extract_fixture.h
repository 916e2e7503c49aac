// Shared set-up: program folders, and an archive loaded as the load command leaves it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/commands/extract.h"
#include "support/archive_builder.h"
#include "support/command_harness.h"
#include "util/deflate.h"

namespace extract_tests {

namespace fs = std::filesystem;
using testing_support::RawEntry;
using testing_support::slurp;
using Strings = std::vector<std::string>;

inline RawEntry stored(std::string path, std::string content) {
  return {.path = std::move(path), .stored = std::move(content)};
}
inline RawEntry compressed(std::string path, std::string_view content) {
  auto packed = util::deflateRaw(testing_support::toBytes(content), 6);
  return {.path = std::move(path),
          .stored = testing_support::toString(packed),
          .unpackedSize = static_cast<std::uint32_t>(content.size()),
          .flag = 1};
}

// The log pane's text for these lines.
inline std::string crlf(const Strings& lines) {
  std::string out;
  for (const auto& line : lines)
    out += line + "\r\n";
  return out;
}

// Every file (or link) below `folder`, relative with "/" separators, sorted.
inline Strings filesBelow(const fs::path& folder) {
  Strings out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       it != fs::recursive_directory_iterator(); ++it)
    if (!it->is_directory() || it->is_symlink())
      out.push_back(fs::relative(it->path(), folder).generic_string());
  std::sort(out.begin(), out.end());
  return out;
}

class ProgramFolder : public testing_support::CommandHarness {
 public:
  // Writes archives/<name> and loads it as the load command does; selects `items`.
  void load(const std::string& name, const std::vector<RawEntry>& entries,
            std::initializer_list<int> items = {}) {
    auto bytes = testing_support::buildArchiveBytes(entries);
    auto& archive = session.archive;
    archive.path = home.write("archives/" + name, bytes).string();
    archive.fileName = name;
    archive.catalogue.index = mpak::readArchiveIndex(testing_support::toBytes(bytes));
    for (const auto& entry : archive.catalogue.entries())
      window.addItems({entry.path});
    window.setText("Label5", name);
    window.selected.insert(items);
  }
  void extract() { app::butMassExtract_Click(context); }
  fs::path root(const std::string& name = "ui.mpak") const {
    return fs::path(state.folders.extractedFiles) / name;
  }
};

}  // namespace extract_tests
