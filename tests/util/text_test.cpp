// The text helpers produce the exact paddings the window shows, and Windows-1252 paths
// survive the trip to UTF-8 and back byte for byte.
#include <gtest/gtest.h>

#include "util/cp1252.h"
#include "util/text.h"

namespace {

TEST(Text, PaddingAndPathParts) {
  EXPECT_EQ(util::hexPadded(0x123456789ULL, 8), "123456789");
  EXPECT_EQ(util::hexUpper(0), "0");
  EXPECT_EQ(util::decimalPadded(-5, 2), "-05");
  EXPECT_EQ(util::fileNamePart("C:\\games\\ui.mpak"), "ui.mpak");
  EXPECT_EQ(util::folderPart("c.txt"), "");
  EXPECT_EQ(util::crLfToLf("a\r\nb\r\n\r\nc\r"), "a\nb\n\nc\r");
}

TEST(Cp1252, EveryByteRoundTripsAndKnownLettersMap) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  EXPECT_EQ(util::utf8ToCp1252(util::cp1252ToUtf8(all)), all);
  EXPECT_EQ(util::cp1252ToUtf8("\x80 caf\xE9"), "€ café");
  EXPECT_EQ(util::utf8ToCp1252("Œuvre"), "\x8Cuvre");
  EXPECT_EQ(util::utf8ToCp1252("日本"), "??");
}

}  // namespace
