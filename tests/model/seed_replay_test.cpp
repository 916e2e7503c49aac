// Property: every seed of the model and package fuzz targets passes through the same code
// in the normal test run.
#include <gtest/gtest.h>

#include <filesystem>

#include "../../fuzz/fuzz_bodies.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

TEST(SeedReplay, ModelAndPackageSeedsPass) {
  const auto corpus = std::filesystem::path(__FILE__).parent_path() / "../../fuzz/corpus";
  int files = 0;
  for (const char* target : {"model_scan", "package"})
    for (const auto& item : std::filesystem::directory_iterator(corpus / target)) {
      auto bytes = testing_support::toBytes(testing_support::slurp(item.path()));
      if (std::string_view(target) == "model_scan")
        EXPECT_NO_THROW(fuzzing::exerciseModelScan(bytes)) << item;
      else
        EXPECT_NO_THROW(fuzzing::exercisePackage(bytes)) << item;
      ++files;
    }
  EXPECT_GE(files, 8);
}

}  // namespace
