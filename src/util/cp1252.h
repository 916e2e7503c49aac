// Windows-1252 <-> UTF-8. Entry paths, library tables and help texts are
// Windows-1252 bytes; file names on disk and texts on screen are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace util {

// Every byte becomes one character. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same number, so the
// conversion never fails and utf8ToCp1252 gives the bytes back.
std::string cp1252ToUtf8(std::string_view bytes);

// The inverse; characters that have no Windows-1252 byte become '?' and set *unmappable
// when it is given. Invalid UTF-8 bytes are taken as Windows-1252 bytes as they stand.
std::string utf8ToCp1252(std::string_view text, bool* unmappable = nullptr);

}  // namespace util
