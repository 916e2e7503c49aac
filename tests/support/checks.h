// What most test files use: the usual headers, `fs`, `Strings`, `Files`, thrown(), noise(),
// EXPECT_HAS.
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

}  // namespace testing_support

// `text` holds `part`.
#define EXPECT_HAS(text, part) EXPECT_PRED_FORMAT2(::testing::IsSubstring, part, text)
