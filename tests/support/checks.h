// What most test files use: the usual headers, `fs`, `Strings`, `Files`, thrown(), EXPECT_HAS.
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

}  // namespace testing_support

// `text` holds `part`.
#define EXPECT_HAS(text, part) EXPECT_PRED_FORMAT2(::testing::IsSubstring, part, text)
