// Small text helpers shared by the commands: hexadecimal and zero padding as the
// window's texts use them, separators, and line ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

inline constexpr std::string_view kCrLf = "\r\n";

// Upper-case hexadecimal without leading zeros ("1A2B"); 0 gives "0".
std::string hexUpper(std::uint64_t value);
// Upper-case hexadecimal padded on the left with "0" to at least `width` digits.
std::string hexPadded(std::uint64_t value, int width);
// Decimal padded on the left with "0" to at least `width` digits; a negative value keeps
// its sign in front of the padded digits.
std::string decimalPadded(std::int64_t value, int width);

// Every occurrence of `from` replaced by `to`.
std::string replaceAll(std::string_view text, char from, char to);

// The text after the last "\" or "/" (the whole text when there is none).
std::string_view fileNamePart(std::string_view path);
// The text before the last "\" or "/" ("" when there is none).
std::string_view folderPart(std::string_view path);

// `text` without the spaces at its start and end (tabs and other blanks stay).
std::string_view trimSpaces(std::string_view text);

// "\r\n" pairs turned into "\n" (for display on this platform).
std::string crLfToLf(std::string_view text);

}  // namespace util
