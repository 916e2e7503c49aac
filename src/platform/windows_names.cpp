#include <array>
#include <string>

#include "platform/files.h"

namespace platform {

namespace {

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isDeviceName(std::string_view name) {
  // The device is named by what comes before the first dot, blanks before it ignored.
  std::string base;
  for (char c : name.substr(0, name.find('.')))
    base.push_back(upper(c));
  while (!base.empty() && base.back() == ' ')
    base.pop_back();
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (auto device : kPlain)
    if (base == device)
      return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string windowsNameProblem(std::string_view name) {
  const std::string quoted = "the name \"" + std::string(name) + "\"";
  if (isDeviceName(name))
    return quoted + " is a device on Windows";
  for (unsigned char c : name) {
    if (c == ':')
      return quoted + " holds \":\", which on Windows names another stream of a file";
    if (c < 32 || std::string_view("<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos)
      return quoted + " holds a character Windows does not allow in a name";
  }
  if (!name.empty() && (name.back() == '.' || name.back() == ' '))
    return quoted + (name.back() == '.' ? " ends with a dot" : " ends with a blank") +
           ", which Windows drops";
  return {};
}

}  // namespace platform
