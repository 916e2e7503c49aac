// Property: every file of the fuzz seed corpora (fuzz/corpus/<target>/) goes through the
// fuzz targets' bodies without a crash and without any exception but FormatError, in the
// normal (and the sanitizer) test runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_bodies.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path corpusFolder(const char* target) {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "corpus" / target;
}

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::directory_iterator(folder))
    if (item.is_regular_file())
      files.push_back(item.path());
  return files;
}

TEST(CorpusReplay, ArchiveReaderSeeds) {
  auto files = filesIn(corpusFolder("archive_reader"));
  ASSERT_GE(files.size(), 5u);
  for (const auto& file : files) {
    std::string bytes = testing_support::slurp(file);
    SCOPED_TRACE(file.filename().string());
    EXPECT_NO_THROW(fuzzing::exerciseArchiveReader(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
  }
}

TEST(CorpusReplay, LibraryTocSeeds) {
  auto files = filesIn(corpusFolder("library_toc"));
  ASSERT_GE(files.size(), 3u);
  for (const auto& file : files) {
    std::string bytes = testing_support::slurp(file);
    SCOPED_TRACE(file.filename().string());
    EXPECT_NO_THROW(fuzzing::exerciseLibraryToc(bytes));
  }
}

}  // namespace
