// Property: `tarnwick-cli toc` writes the library table, replacing a file only with --force.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_run.h"
#include "mpak/archive.h"
#include "mpak/library_toc.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using cli_testing::runCliCaptured;
using testing_support::slurp;

const std::string kArchive = testing_support::buildArchiveBytes(
    {{.path = "data/maps/m01.bin", .stored = "abc", .flag = 1},
     {.path = "sound/bank1.fsb", .stored = "d", .copies = 3, .inStoc = true}});

std::string table() {
  return mpak::libraryTocText(mpak::readArchiveIndex(testing_support::toBytes(kArchive)).entries);
}

TEST(TocCommand, ReplacesAFileOnlyWithForce) {
  testing_support::TempDir dir;
  auto archive = dir.write("data.mpak", kArchive);
  auto target = dir.write("edited.toc", "01 9 1 my edit");
  auto r = runCliCaptured({"toc", archive.string(), "-o", target.string()});
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("exists; use --force to replace it"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(target), "01 9 1 my edit");

  r = runCliCaptured({"toc", archive.string(), "-o", target.string(), "--force"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(slurp(target), table());
  EXPECT_NE(table().find("\r\n00 3 1 sound\\bank1.fsb"), std::string::npos);
}

TEST(TocCommand, DefaultsToTheArchiveNameInTheCurrentFolder) {
  testing_support::TempDir dir;
  auto archive = dir.write("in/data.mpak", kArchive);
  fs::path before = fs::current_path();
  fs::create_directory(dir.path() / "work");
  fs::current_path(dir.path() / "work");
  auto r = runCliCaptured({"toc", archive.string()});
  fs::current_path(before);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(slurp(dir.path() / "work" / "data.mpak.toc"), table());
}

TEST(TocCommand, DamagedArchiveWritesNothing) {
  testing_support::TempDir dir;
  std::string bytes = kArchive;
  testing_support::storeU32(bytes, 4, 0xFFFFFFFF);
  auto archive = dir.write("bad.mpak", bytes);
  auto target = dir.path() / "bad.toc";
  auto r = runCliCaptured({"toc", archive.string(), "-o", target.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("tarnwick-cli: " + archive.string() + ": header: TOC block size"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(target));
}

}  // namespace
