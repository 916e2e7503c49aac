// Shared set-up: program folders, and an archive loaded as the load command leaves it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/commands/extract.h"
#include "app/startup.h"
#include "support/archive_builder.h"
#include "support/fake_window.h"
#include "support/temp_dir.h"
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

class ProgramFolder {
 public:
  ProgramFolder() {
    state.programFolder = home.str();
    state.folders = app::workingFoldersOf(state.programFolder);
    state.progressFullWidth = 1000;
    fs::create_directory(state.folders.extractedFiles);
    fs::create_directory(state.folders.temp);
  }
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
  std::size_t chooserRuns() const { return window.chooserCalls.size(); }
  fs::path root(const std::string& name = "ui.mpak") const {
    return fs::path(state.folders.extractedFiles) / name;
  }

  testing_support::TempDir home;
  testing_support::FakeWindow window;
  testing_support::FakeSettings settings;
  app::AppState state;
  app::Shell shell{window, state};
  app::Session session;
  app::CommandContext context{shell, settings, session};
};

}  // namespace extract_tests
