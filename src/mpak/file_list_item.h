// The text of one file-list item: what the window's list and `tarnwick-cli list` show for
// an entry.
#pragma once

#include <string>

#include "mpak/archive.h"

namespace mpak {

// Eight fields joined by single spaces: the data position, the position of the last
// stored byte (data position + stored size - 1), the stored size and the unpacked size,
// each in upper-case hexadecimal padded with "0" to at least eight digits; the compressed
// flag in decimal padded to at least two digits; the copies in decimal; the in-STOC byte;
// the path with "\" separators. Example:
//   00000A4C 00000B1F 000000D4 00000200 01 1 0 data\maps\m01.bin
// The path stays in Windows-1252 bytes, so the item's length in bytes is its length in
// characters; convert with util::cp1252ToUtf8 to show it. An entry with no copies uses
// the same formula from its data position (the RAWD position).
std::string fileListItem(const ArchiveEntry& entry);

}  // namespace mpak
