// Property: a file-list item is the eight fields of an entry joined by single spaces:
// four upper-case hexadecimal numbers padded to eight digits (data position, last stored
// byte, stored size, unpacked size), the flag padded to two digits, the copies, the
// in-STOC byte and the path.
#include <gtest/gtest.h>

#include <string>

#include "mpak/archive.h"
#include "mpak/file_list_item.h"

namespace {

struct ItemCase {
  const char* name;
  std::uint64_t dataPosition;
  std::uint32_t storedSize;
  std::uint32_t unpackedSize;
  std::uint8_t flag;
  std::uint16_t copies;
  std::uint8_t inStoc;
  std::string path;
  std::string item;
};

class FileListItem : public testing::TestWithParam<ItemCase> {};

TEST_P(FileListItem, JoinsTheEightFields) {
  const ItemCase& c = GetParam();
  mpak::ArchiveEntry e;
  e.dataPosition = c.dataPosition;
  e.storedSize = c.storedSize;
  e.unpackedSize = c.unpackedSize;
  e.compressedFlag = c.flag;
  e.copies = c.copies;
  e.inStoc = c.inStoc;
  e.path = c.path;
  EXPECT_EQ(mpak::fileListItem(e), c.item);
}

INSTANTIATE_TEST_SUITE_P(
    Items, FileListItem,
    testing::Values(ItemCase{"Worked", 0xA4C, 0xD4, 0x200, 1, 1, 0, "data\\maps\\m01.bin",
                             "00000A4C 00000B1F 000000D4 00000200 01 1 0 data\\maps\\m01.bin"},
                    ItemCase{"SixteenBytes", 0x1A2B, 16, 16, 0, 1, 1, "x",
                             "00001A2B 00001A3A 00000010 00000010 00 1 1 x"},
                    ItemCase{"NoCopiesEndsBeforeItsPosition", 0x40, 0, 0, 0, 0, 0, "e",
                             "00000040 0000003F 00000000 00000000 00 0 0 e"},
                    ItemCase{"WideValuesKeepAllDigits", 0x1FFFFFFF0ull, 0xFFFFFFFF, 0xFFFFFFFF, 255,
                             65535, 1, "w", "1FFFFFFF0 2FFFFFFEE FFFFFFFF FFFFFFFF 255 65535 1 w"},
                    ItemCase{"PathBytesKept", 0x18, 1, 1, 1, 2, 0, "caf\xE9 a\\b",
                             "00000018 00000018 00000001 00000001 01 2 0 caf\xE9 a\\b"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
