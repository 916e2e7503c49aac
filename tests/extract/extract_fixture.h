// Shared set-up: program folders, and an archive loaded as the load command leaves it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/commands/extract.h"
#include "support/archive_builder.h"
#include "support/command_harness.h"

namespace extract_tests {

namespace fs = std::filesystem;
using testing_support::compressed;
using testing_support::crlf;
using testing_support::filesBelow;
using testing_support::RawEntry;
using testing_support::slurp;
using testing_support::stored;
using Strings = std::vector<std::string>;

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
