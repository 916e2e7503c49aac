#include "mpak/file_list_item.h"

#include "mpak/library_toc.h"
#include "util/text.h"

namespace mpak {

std::string fileListItem(const ArchiveEntry& entry) {
  // The last stored byte of an empty entry lies one before its data position; a default
  // entry at position 0 shows that as the 32-bit -1 the window has always shown.
  std::uint64_t last = entry.dataPosition + entry.storedSize;
  last = last == 0 ? 0xFFFFFFFFu : last - 1;
  std::string item;
  item.reserve(48 + entry.path.size());
  item += util::hexPadded(entry.dataPosition, 8);
  item += ' ';
  item += util::hexPadded(last, 8);
  item += ' ';
  item += util::hexPadded(entry.storedSize, 8);
  item += ' ';
  item += util::hexPadded(entry.unpackedSize, 8);
  item += ' ';
  item += libraryTocLine(entry);  // the flag, the copies, the in-STOC byte and the path
  return item;
}

}  // namespace mpak
