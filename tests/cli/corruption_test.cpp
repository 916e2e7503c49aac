// Property: damaged at random (bytes flipped, cut short, a length field spliced with
// another value), the sample archive, the sample sound bank and a model never crash or
// hang list, verify, extract, sounds or textures; nothing is written outside the chosen
// folder, and every failure says why.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "cli/cli.h"
#include "sample_bank.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::slurp;

constexpr int kDamagesPerFile = 2000;

std::string damaged(const std::string& good, std::mt19937& random) {
  std::string bytes = good;
  const auto at = [&](std::size_t size) { return size ? random() % size : 0; };
  switch (random() % 3) {
    case 0:  // flipped bytes
      for (int i = 0, n = 1 + static_cast<int>(random() % 8); i < n && !bytes.empty(); ++i)
        bytes[at(bytes.size())] ^= static_cast<char>(1 + random() % 255);
      break;
    case 1:  // cut short
      bytes.resize(at(bytes.size()));
      break;
    default: {  // a 16- or 32-bit field spliced with an extreme or random value
      const std::uint32_t values[] = {
          0, 1, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, static_cast<std::uint32_t>(random())};
      const std::uint32_t value = values[random() % 7];
      const std::size_t width = random() % 2 ? 2 : 4;
      if (bytes.size() >= width) {
        const std::size_t p = at(bytes.size() - width + 1);
        for (std::size_t i = 0; i < width; ++i)
          bytes[p + i] = static_cast<char>(value >> (8 * i));
      }
    }
  }
  return bytes;
}

TEST(Corruption, NoCommandCrashesHangsOrWritesOutsideItsFolderAndEveryFailureSaysWhy) {
  testing_support::TempDir dir;
  const auto bank = samples::makeBank(samples::sampleTones());
  std::string model = "MMOD";
  for (const char* name : {"skin.tga", "eyes.tga", "skin.tga", "a\\b\\c.tga"})
    model += std::string(40, '\x01') + '\0' + name;
  const std::pair<std::string, std::vector<std::vector<std::string>>> inputs[] = {
      {slurp(TARNWICK_SAMPLE_ARCHIVE),
       {{"list", "in"}, {"verify", "in"}, {"extract", "in", "-o", "out", "-q"}}},
      {std::string(bank.begin(), bank.end()), {{"sounds", "in"}, {"sounds", "in", "-o", "out"}}},
      {model, {{"textures", "in", "--archive", "sample"}}}};
  fs::copy_file(TARNWICK_SAMPLE_ARCHIVE, dir.path() / "sample");

  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  std::mt19937 random(20261206);
  std::size_t runs = 0, failures = 0;
  for (const auto& [good, commands] : inputs) {
    for (int n = 0; n < kDamagesPerFile; ++n) {
      dir.write("in", damaged(good, random));
      for (const auto& args : commands) {
        std::ostringstream out, err;
        cli::Io io{out, err, false};
        const int code = cli::runCli(args, io);
        ++runs;
        failures += code != 0;
        ASSERT_TRUE(code == 0 || code == 1 || code == 2) << args[0] << " gave " << code;
        // A failure says so on stderr; warnings (exit 1) may be verify's report on stdout.
        ASSERT_TRUE(code != 2 || err.str().starts_with("tarnwick-cli: ")) << args[0] << err.str();
        ASSERT_TRUE(code != 1 || !(err.str() + out.str()).empty()) << args[0];
      }
      for (const auto& entry : fs::directory_iterator(dir.path()))
        ASSERT_TRUE(entry.path().filename() == "in" || entry.path().filename() == "out" ||
                    entry.path().filename() == "sample")
            << entry.path();
      fs::remove_all(dir.path() / "out");
    }
  }
  fs::current_path(previous);
  EXPECT_EQ(runs, kDamagesPerFile * 6u);
  EXPECT_GT(failures, runs / 10) << "the damage should make many commands fail";
}

}  // namespace
