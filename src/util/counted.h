// "1 byte", "2 bytes": a count with its noun in the right number, for messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

inline std::string counted(std::uint64_t n, std::string_view singular, std::string_view plural) {
  return std::to_string(n) + " " + std::string(n == 1 ? singular : plural);
}

}  // namespace util
