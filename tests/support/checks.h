// What most tests use: the usual headers, fs, Strings, Files, thrown(), noise(), CancelAfter.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "util/progress.h"

namespace testing_support {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Files = std::map<std::string, std::string>;  // path: bytes, as contents() gives them

// The message of the E a call throws, or "" when it returns; other exceptions pass through.
template <typename E = std::exception, typename Call>
std::string thrown(Call&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "";
}

// `count` bytes below `below` from `random`: data that does not compress.
inline std::string randomBytes(std::size_t count, std::mt19937& random, unsigned below = 256) {
  std::string out(count, '\0');
  for (auto& c : out)
    c = static_cast<char>(random() % below);
  return out;
}
inline std::string noise(std::size_t count, unsigned seed = 7) {
  std::mt19937 random(seed);
  return randomBytes(count, random);
}

// A progress that asks the engine to stop once it has seen `steps` steps; records what it hears.
struct CancelAfter : util::Progress {
  explicit CancelAfter(std::uint64_t steps) : m_steps(steps) {}
  void begin(std::uint64_t count) override { total = count; }
  void step(std::uint64_t done, std::string_view name) override {
    dones.push_back(done);
    names.emplace_back(name);
  }
  bool cancelled() override { return dones.size() >= m_steps; }
  std::uint64_t total = 0;
  std::vector<std::uint64_t> dones;
  std::vector<std::string> names;

 private:
  std::uint64_t m_steps;
};

}  // namespace testing_support

// `text` holds `part`.
#define EXPECT_HAS(text, part) EXPECT_PRED_FORMAT2(::testing::IsSubstring, part, text)
