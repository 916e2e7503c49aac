// JSON text for the command line's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace util {

// `utf8` as a JSON string literal with its quotes: '"' and '\' escaped, the control
// characters below 0x20 (and 0x7F) written as \n, \r, \t or \u00XX. Other bytes pass
// through unchanged, so valid UTF-8 in gives valid JSON out.
std::string jsonString(std::string_view utf8);

}  // namespace util
