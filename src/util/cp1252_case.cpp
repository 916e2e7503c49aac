#include "util/cp1252_case.h"

namespace util {

char foldCaseCp1252(char c) {
  auto b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z')
    return static_cast<char>(b + 0x20);
  switch (b) {
    case 0x8A:  // Š
    case 0x8C:  // Œ
    case 0x8E:  // Ž
      return static_cast<char>(b + 0x10);
    case 0x9F:  // Ÿ
      return static_cast<char>(0xFF);
    default:
      break;
  }
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7)  // À..Þ without ×
    return static_cast<char>(b + 0x20);
  return c;
}

std::string foldCaseCp1252(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out)
    c = foldCaseCp1252(c);
  return out;
}

}  // namespace util
