// The message of the E a call throws, or "" when it returns; other exceptions pass through.
#pragma once

#include <exception>
#include <string>

namespace testing_support {

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
