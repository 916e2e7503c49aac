// Shared set-up of the extraction tests: a program folder with its working folders in a
// fresh temporary folder, a recording window and shell, and an archive "loaded" the way
// the load command leaves it (the catalogue, List1 with one item per entry, Label5 and
// the current archive path).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/startup.h"
#include "mpak/catalogue.h"
#include "support/archive_builder.h"
#include "support/fake_window.h"
#include "support/temp_dir.h"
#include "util/deflate.h"
#include "util/text.h"

namespace extract_tests {

namespace fs = std::filesystem;

// Table rows print as their name in failure messages (each test file brings this into
// its own namespace with a using-declaration, where argument-dependent lookup finds it).
template <class Row>
requires requires(const Row& row) {
  row.name;
}
void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

// Raw DEFLATE of `text`, as a compressed entry stores it.
inline std::string deflated(std::string_view text) {
  auto in = testing_support::toBytes(text);
  return testing_support::toString(util::deflateRaw(in, 6));
}

// A stored entry and a compressed one, by path ("/" separators as in the archive).
inline testing_support::RawEntry stored(std::string path, std::string content) {
  testing_support::RawEntry e;
  e.path = std::move(path);
  e.stored = std::move(content);
  return e;
}
inline testing_support::RawEntry compressed(std::string path, std::string_view content) {
  testing_support::RawEntry e;
  e.path = std::move(path);
  e.stored = deflated(content);
  e.unpackedSize = static_cast<std::uint32_t>(content.size());
  e.flag = 1;
  return e;
}

// Every regular file below `folder`, as paths relative to it with "/" separators, sorted.
inline std::vector<std::string> filesBelow(const fs::path& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  if (!fs::exists(folder, ec))
    return out;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator();
       ++it)
    if (!it->is_directory() || it->is_symlink())
      out.push_back(fs::relative(it->path(), folder).generic_string());
  std::sort(out.begin(), out.end());
  return out;
}

class ProgramFolder {
 public:
  ProgramFolder() : shell(window, state) {
    state.programFolder = home.str();
    state.folders = app::workingFoldersOf(state.programFolder);
    state.progressFullWidth = 1000;
    for (const auto* f : {&state.folders.extractedFiles, &state.folders.temp,
                          &state.folders.newMpaks, &state.folders.library, &state.folders.sounds})
      fs::create_directory(*f);
  }

  // Writes the archive as `name` in an "archives" folder beside the working folders and
  // loads it: catalogue, List1, Label5 and the current archive path. Nothing selected.
  void load(const std::string& name, const std::string& bytes) {
    auto path = home.write("archives/" + name, bytes);
    catalogue.index = mpak::readArchiveIndex(testing_support::toBytes(bytes));
    std::vector<std::string> items;
    for (const auto& entry : catalogue.entries())
      items.push_back(entry.path);
    window.clearList();
    window.addItems(items);
    window.setText("Label5", name);
    state.currentArchivePath = path.string();
  }
  void load(const std::string& name, const std::vector<testing_support::RawEntry>& entries) {
    load(name, testing_support::buildArchiveBytes(entries));
  }

  void select(std::initializer_list<int> items) { window.selected.insert(items); }

  fs::path root(const std::string& name = "ui.mpak") const {
    return fs::path(state.folders.extractedFiles) / name;
  }
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::string_view text = window.log;
    while (!text.empty()) {
      auto end = text.find("\r\n");
      if (end == std::string_view::npos) {
        lines.emplace_back(text);
        lines.push_back("<no CR LF at the end>");
        break;
      }
      lines.emplace_back(text.substr(0, end));
      text.remove_prefix(end + 2);
    }
    return lines;
  }

  testing_support::TempDir home;
  testing_support::FakeWindow window;
  app::AppState state;
  app::Shell shell;
  mpak::Catalogue catalogue;
};

}  // namespace extract_tests
