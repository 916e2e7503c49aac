// Each ".tga" name after a NUL, once, in order, as the window shows it; the scan always ends.
#include "model/texture_scan.h"
#include "app/commands/model.h"
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
