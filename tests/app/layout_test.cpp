// Form_Resize keeps the window at least 12000 x 8460 twips outside, keeps the option
// column flush right, stacks list, status line and log pane under each other, and leaves
// a minimized window alone.
#include "app/layout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/form_design.h"

namespace {

// A frame of 120 x 510 twips around the client area.
struct FakeLayout : app::LayoutPort {
  FakeLayout(double w, double h) : clientW(w), clientH(h) {
    for (const auto& c : app::formDesign())
      rects[std::string(c.name)] = {double(c.left), double(c.top), double(c.width),
                                    double(c.height)};
  }
  app::WindowState windowState() const override { return state; }
  double outerWidth() const override { return clientW + 120; }
  double outerHeight() const override { return clientH + 510; }
  double clientWidth() const override { return clientW; }
  double clientHeight() const override { return clientH; }
  void setOuterWidth(double twips) override { clientW = twips - 120; }
  void setOuterHeight(double twips) override { clientH = twips - 510; }
  app::Rect rect(std::string_view c) const override { return rects.at(std::string(c)); }
  void setRect(std::string_view c, const app::Rect& r) override {
    rects[std::string(c)] = r;
    ++writes;
  }
  app::WindowState state = app::WindowState::Normal;
  int writes = 0;
  double clientW, clientH;
  std::map<std::string, app::Rect> rects;
};

// The panes fill the window left of the option frame, top to bottom, without overlapping.
void expectLaidOut(const FakeLayout& w) {
  auto right = [](const app::Rect& r) { return r.left + r.width; };
  auto bottom = [](const app::Rect& r) { return r.top + r.height; };
  auto frame = w.rect("Frame1"), list = w.rect("List1"), text = w.rect("Text1"),
       log = w.rect("RichTextBox1");
  EXPECT_LT(right(frame), w.clientW + 1);
  EXPECT_GT(right(frame), w.clientW - 240);
  for (const auto& pane : {list, text, log}) {
    EXPECT_LE(right(pane), frame.left);
    EXPECT_GT(pane.width, 0);
  }
  EXPECT_GT(text.top, bottom(list));
  EXPECT_GT(log.top, bottom(text));
  EXPECT_LT(bottom(log), w.clientH);
  EXPECT_GT(bottom(log), w.clientH - 240);
  EXPECT_LE(right(w.rect("Label2")), right(list));
}

TEST(Layout, PanesFillWindowsOfEverySizeAndTooSmallSnapsBackToTheMinimum) {
  // Client size, then the outer size after the layout.
  const double rows[][4] = {{12870, 7950, 12990, 8460},   {20000, 15000, 20120, 15510},
                            {14000, 30000, 14120, 30510}, {5000, 3000, 12000, 8460},
                            {5000, 9000, 12000, 9510},    {20000, 100, 20120, 8460}};
  for (const auto& [w, h, outerW, outerH] : rows) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    FakeLayout window(w, h);
    app::Form_Resize(window);
    EXPECT_DOUBLE_EQ(window.outerWidth(), outerW);
    EXPECT_DOUBLE_EQ(window.outerHeight(), outerH);
    expectLaidOut(window);
  }
}

TEST(Layout, AMinimizedWindowIsLeftAlone) {
  FakeLayout w(5000, 3000);
  w.state = app::WindowState::Minimized;
  app::Form_Resize(w);
  EXPECT_EQ(w.writes, 0);
  EXPECT_DOUBLE_EQ(w.outerWidth(), 5120);
}

}  // namespace
