// Property: a file-list item keeps every digit of values wider than eight hex digits.
#include <gtest/gtest.h>

#include "mpak/archive.h"
#include "mpak/file_list_item.h"

namespace {

// The ordinary eight-digit items are checked through `tarnwick-cli list` (tests/cli).
TEST(FileListItem, WideValuesKeepAllDigits) {
  mpak::ArchiveEntry e{.path = "caf\xE9 a",
                       .storedSize = 0xFFFFFFFF,
                       .unpackedSize = 0xFFFFFFFF,
                       .compressedFlag = 255,
                       .copies = 65535,
                       .dataOffsets = {},
                       .dataPosition = 0x1FFFFFFF0ull,
                       .inStoc = 1};
  EXPECT_EQ(mpak::fileListItem(e), "1FFFFFFF0 2FFFFFFEE FFFFFFFF FFFFFFFF 255 65535 1 caf\xE9 a");
}

}  // namespace
