// Each ".tga" name after a NUL, once, in order, as the window shows it; the scan always ends.
#include "model/texture_scan.h"
#include "app/commands/model.h"
#include "model/tga_image.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/command_harness.h"

namespace {

using namespace testing_support;

std::string nul(const std::string& name) {
  return std::string(1, '\0') + name;
}

TEST(TextureScan, NamesFollowANulAndAreListedOnceWithTheirCase) {
  const std::string beforeBoundary = std::string(1019, 'x') + nul("boundary.tga");
  const std::pair<std::string, Strings> rows[] = {
      {"", {}},
      {nul("hull.tga") + nul("deck.tga") + nul("hull.tga"), {"hull.tga", "deck.tga"}},
      {nul("Hull.TGA") + nul("hull.tga"), {"Hull.TGA", "hull.tga"}},
      {beforeBoundary, {"boundary.tga"}},                  // the NUL at 1020, the "." at 1029
      {std::string(1021, 'x') + nul("a.tga"), {"a.tga"}},  // ".tga" across 1024
      {"\x01\x02" + nul("\x7F\x80name.tga"), {"\x7F\x80name.tga"}},
      {nul("left|right.tga"), {"left", "right.tga"}},
      {"no nul.tga", {}},                                           // once endless: no NUL before
      {nul("a.tga") + "b.tga" + nul("c.tga"), {"a.tga", "c.tga"}},  // none between
      {nul("x.tg") + nul("y.tgx") + nul(".TgA"), {".TgA"}},
  };
  for (const auto& [bytes, names] : rows)
    EXPECT_EQ(model::listTextures(model::findTextureNames(toBytes(bytes))), names)
        << testing::PrintToString(bytes.substr(0, 40));
  auto finds = model::findTextureNames(toBytes(beforeBoundary));
  ASSERT_EQ(finds.size(), 1u);
  EXPECT_EQ(finds[0].dotOffset, 1028u);
}

TEST(ModelCommand, ReportsTheNamesOfTheChosenModel) {
  CommandHarness h;
  const auto model = h.home.write(
      "models/ship.mmod", "HDR" + nul("hull.tga") + "\x05" + nul("deck.tga") + nul("hull.tga"));
  h.window.fileAnswers.push_back(model.string());
  app::butGetModelGraphics_Click(h.context);
  EXPECT_EQ(h.window.chooserCalls.at(0).title, "Select File [.mmod]");
  EXPECT_EQ(h.window.chooserCalls.at(0).filter, ".mmod type files (*.mmod)|*.mmod");
  EXPECT_EQ(h.window.log, crlfText("GRAPHICS FOR MODEL: ship.mmod\n\nhull.tga\ndeck.tga\n\n"
                                   "Operation complete.\n"));
  EXPECT_EQ(h.window.text("Text1"), "");
  EXPECT_FALSE(h.window.busy);
  h.session.modelPath = h.home.str() + "/models/gone.mmod";
  app::GetModelGraphics(h.context);
  EXPECT_TRUE(h.window.log.starts_with("GRAPHICS FOR MODEL: gone.mmod\r\n\r\nCould not read "))
      << h.window.log;
  EXPECT_TRUE(h.window.log.ends_with("\r\n\r\nOperation complete.\r\n"));
  EXPECT_EQ(h.window.messages, Messages{});
}

}  // namespace

namespace {

// A TGA header: type, width, height, bits a pixel, descriptor; `map` colour-map entries of
// `mapBits` bits each follow when given.
std::string tgaHeader(int type, int width, int height, int bits, int descriptor, int map = 0,
                      int mapBits = 0) {
  std::string h(18, '\0');
  h[1] = static_cast<char>(map > 0);
  h[2] = static_cast<char>(type);
  h[5] = static_cast<char>(map);
  h[7] = static_cast<char>(mapBits);
  h[12] = static_cast<char>(width);
  h[14] = static_cast<char>(height);
  h[16] = static_cast<char>(bits);
  h[17] = static_cast<char>(descriptor);
  return h;
}

std::vector<std::uint32_t> pixelsOf(const std::string& bytes) {
  return model::readTga(toBytes(bytes)).pixels;
}

}  // namespace

// True colour, run-length, colour-mapped and grey images in their pixel orders; no footer.
TEST(TgaImage, EveryKindAndPixelOrderReadsTopLeftFirst) {
  const std::uint32_t red = 0xFFFF0000, blue = 0xFF0000FF, half = 0x80FF0000;
  // 2 x 2, bottom-up (the default): the file's first row is the picture's last.
  EXPECT_EQ(
      pixelsOf(tgaHeader(2, 2, 2, 24, 0) + std::string("\xFF\0\0\xFF\0\0\0\0\xFF\0\0\xFF", 12)),
      (std::vector<std::uint32_t>{red, red, blue, blue}));
  // Top-down and right-to-left, 32 bits with alpha.
  EXPECT_EQ(pixelsOf(tgaHeader(2, 2, 1, 32, 0x38) + std::string("\0\0\xFF\x80\xFF\0\0\xFF", 8)),
            (std::vector<std::uint32_t>{blue, half}));
  // Run-length: a run of 3 red, then 1 raw blue, across rows.
  EXPECT_EQ(pixelsOf(tgaHeader(10, 2, 2, 24, 0x20) + std::string("\x82\0\0\xFF\x00\xFF\0\0", 8)),
            (std::vector<std::uint32_t>{red, red, red, blue}));
  // Colour-mapped through a 2-entry 24-bit map; grey with 8 bits.
  EXPECT_EQ(
      pixelsOf(tgaHeader(1, 2, 1, 8, 0x20, 2, 24) + std::string("\0\0\xFF\xFF\0\0\x01\x00", 8)),
      (std::vector<std::uint32_t>{blue, red}));
  EXPECT_EQ(pixelsOf(tgaHeader(3, 1, 1, 8, 0) + "\x40"), (std::vector<std::uint32_t>{0xFF404040}));
}

TEST(TgaImage, DamagedImagesAreRefusedNamingWhereAndNoPrefixCrashes) {
  const std::string good =
      tgaHeader(9, 4, 4, 8, 0, 2, 16) + std::string("\0\x80\xFF\xFF", 4) + "\x8F\x01";
  ASSERT_EQ(pixelsOf(good).size(), 16u);
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_EQ(thrown<model::TgaError>([&] { pixelsOf(good.substr(0, n)); }).empty(), false) << n;
  EXPECT_EQ(thrown<model::TgaError>([&] { pixelsOf(tgaHeader(1, 1, 1, 8, 0, 1, 24) + "abc\x05"); }),
            "not a readable TGA image: colour index 5 lies outside the colour map at offset 21");
  EXPECT_EQ(thrown<model::TgaError>([&] { pixelsOf(tgaHeader(2, 255, 255, 24, 0) + "abc"); }),
            "not a readable TGA image: the pixel data ends before the image does at offset 21");
  EXPECT_EQ(thrown<model::TgaError>([&] { pixelsOf(tgaHeader(4, 1, 1, 8, 0) + "a"); }),
            "not a readable TGA image: image type 4 is not one of 1, 2, 3, 9, 10, 11 at offset 2");
}
