// Property: `tarnwick-cli toc ARCHIVE` writes the archive's library table (to -o FILE or to
// "<archive file name>.toc" in the current folder), never replaces an existing file without
// --force, and writes nothing for a damaged archive.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "cli_run.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using cli_testing::runCliCaptured;

const std::string kCommentBlock =
    "--Comment lines start with double (--) dashes\r\n"
    "--Field 1: 00=file is not compressed, 01=file is compressed.\r\n"
    "--Field 2: # of copies of file packed in raw data (RAWD) area. Probably also # of copies "
    "of file maintained in memory by the game.\r\n"
    "--Field 3: 1=file is a member of the sub-table of contents (STOC).\r\n"
    "--Field 4: File path.\r\n"
    "--It is possible to add new file references to this table if you wish.\r\n"
    "--However, Tarnwick will automatically add new files to the .MPAK. By default, they will "
    "be compressed (01), 1 copy.\r\n";

std::string sampleArchive() {
  testing_support::RawEntry a;
  a.path = "data/maps/m01.bin";
  a.stored = "abc";
  a.flag = 1;
  testing_support::RawEntry b;
  b.path = "sound/bank1.fsb";
  b.stored = "d";
  b.copies = 3;
  b.inStoc = true;
  return testing_support::buildArchiveBytes({a, b});
}

const std::string kSampleTable =
    kCommentBlock + "\r\n01 1 0 data\\maps\\m01.bin\r\n00 3 1 sound\\bank1.fsb";

TEST(TocCommand, WritesTheTableToTheGivenFile) {
  testing_support::TempDir dir;
  auto archive = dir.write("data.mpak", sampleArchive());
  auto target = dir.path() / "out.toc";
  auto r = runCliCaptured({"toc", archive.string(), "-o", target.string()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(testing_support::slurp(target), kSampleTable);
}

TEST(TocCommand, EmptyArchiveGivesTheCommentBlock) {
  testing_support::TempDir dir;
  auto archive = dir.write("e.mpak", testing_support::buildArchiveBytes({}));
  auto target = dir.path() / "e.toc";
  EXPECT_EQ(runCliCaptured({"toc", archive.string(), "--output", target.string()}).code, 0);
  EXPECT_EQ(testing_support::slurp(target), kCommentBlock);
}

TEST(TocCommand, DefaultsToTheArchiveNameInTheCurrentFolder) {
  testing_support::TempDir dir;
  auto archive = dir.write("in/data.mpak", sampleArchive());
  fs::path before = fs::current_path();
  fs::create_directory(dir.path() / "work");
  fs::current_path(dir.path() / "work");
  auto r = runCliCaptured({"toc", archive.string()});
  fs::current_path(before);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(testing_support::slurp(dir.path() / "work" / "data.mpak.toc"), kSampleTable);
}

TEST(TocCommand, KeepsAnExistingFileWithoutForce) {
  testing_support::TempDir dir;
  auto archive = dir.write("data.mpak", sampleArchive());
  auto target = dir.write("edited.toc", "01 9 1 my edit");
  auto r = runCliCaptured({"toc", archive.string(), "-o", target.string()});
  EXPECT_EQ(r.code, 7);
  EXPECT_NE(r.err.find("exists; use --force to replace it"), std::string::npos) << r.err;
  EXPECT_EQ(testing_support::slurp(target), "01 9 1 my edit");

  auto forced = runCliCaptured({"toc", archive.string(), "-o", target.string(), "--force"});
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_EQ(testing_support::slurp(target), kSampleTable);
}

TEST(TocCommand, DamagedArchiveWritesNothing) {
  testing_support::TempDir dir;
  std::string bytes = sampleArchive();
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
