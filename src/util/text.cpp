#include "util/text.h"

#include <cstdio>

namespace util {

std::string hexUpper(std::uint64_t value) {
  return hexPadded(value, 1);
}

std::string hexPadded(std::uint64_t value, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", width, static_cast<unsigned long long>(value));
  return buf;
}

std::string decimalPadded(std::int64_t value, int width) {
  std::string digits = std::to_string(value < 0 ? -static_cast<std::uint64_t>(value)
                                                : static_cast<std::uint64_t>(value));
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, width - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

std::string replaceAll(std::string_view text, char from, char to) {
  std::string out(text);
  for (char& c : out)
    if (c == from)
      c = to;
  return out;
}

std::string_view fileNamePart(std::string_view path) {
  auto pos = path.find_last_of("\\/");
  return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view folderPart(std::string_view path) {
  auto pos = path.find_last_of("\\/");
  return pos == std::string_view::npos ? std::string_view{} : path.substr(0, pos);
}

std::string_view trimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

std::string crLfToLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace util
