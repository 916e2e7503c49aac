#include "model/texture_scan.h"

#include <cstring>
#include <unordered_set>

namespace model {

namespace {

bool isTga(const std::uint8_t* p) {
  return (p[1] | 0x20) == 't' && (p[2] | 0x20) == 'g' && (p[3] | 0x20) == 'a';
}

}  // namespace

std::vector<TextureFind> findTextureNames(std::span<const std::uint8_t> bytes) {
  std::vector<TextureFind> finds;
  const std::uint8_t* begin = bytes.data();
  const std::uint8_t* end = begin + bytes.size();
  const std::uint8_t* resume = begin;  // the scan goes on here after each find
  for (const std::uint8_t* p = begin; end - p >= 4;) {
    auto* dot = static_cast<const std::uint8_t*>(std::memchr(p, '.', end - p - 3));
    if (!dot)
      break;
    p = dot + 1;
    if (!isTga(dot))
      continue;
    // The NUL before the name, no further back than where the scan resumed.
    const std::uint8_t* afterNul = dot;
    while (afterNul != resume && afterNul[-1] != 0)
      --afterNul;
    const bool found = afterNul != resume;
    resume = dot + 1;
    if (!found)
      continue;
    const std::uint8_t* nul = afterNul - 1;
    finds.push_back({std::string(reinterpret_cast<const char*>(nul + 1), dot + 4 - (nul + 1)),
                     static_cast<std::uint64_t>(dot - begin)});
  }
  return finds;
}

std::vector<std::string> listTextures(const std::vector<TextureFind>& finds) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const auto& find : finds) {
    std::size_t start = 0;
    for (;;) {
      std::size_t bar = find.name.find('|', start);
      std::string part = find.name.substr(start, bar == std::string::npos ? bar : bar - start);
      if (seen.insert(part).second)
        names.push_back(std::move(part));
      if (bar == std::string::npos)
        break;
      start = bar + 1;
    }
  }
  return names;
}

}  // namespace model
