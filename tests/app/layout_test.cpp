// Form_Resize keeps the window at least 12000 x 8460 twips outside, keeps the option
// column flush right, stacks list, status line and log pane under each other, reads back
// what the platform applied, and leaves a minimized window alone.
#include "app/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "app/form_design.h"

namespace {

// A window whose frame adds 120 twips in width and 510 in height around the client area;
// its list shows whole lines of 195 twips only.
class FakeLayout : public app::LayoutPort {
 public:
  FakeLayout(double clientW, double clientH) : m_clientW(clientW), m_clientH(clientH) {
    for (const auto& c : app::formDesign())
      if (c.parent == "Form1")
        m_rects[std::string(c.name)] = {double(c.left), double(c.top), double(c.width),
                                        double(c.height)};
  }
  app::WindowState windowState() const override { return state; }
  double outerWidth() const override { return m_clientW + 120; }
  double outerHeight() const override { return m_clientH + 510; }
  double clientWidth() const override { return m_clientW; }
  double clientHeight() const override { return m_clientH; }
  void setOuterWidth(double twips) override {
    if (refuseResize)
      throw std::runtime_error("refused");
    m_clientW = twips - 120;
  }
  void setOuterHeight(double twips) override {
    if (refuseResize)
      throw std::runtime_error("refused");
    m_clientH = twips - 510;
  }
  app::Rect rect(std::string_view control) const override {
    return m_rects.at(std::string(control));
  }
  void setRect(std::string_view control, const app::Rect& r) override {
    app::Rect applied = r;
    if (control == "List1")
      applied.height = std::floor(r.height / 195) * 195;
    m_rects[std::string(control)] = applied;
    ++writes;
  }

  app::WindowState state = app::WindowState::Normal;
  bool refuseResize = false;
  int writes = 0;

 private:
  double m_clientW, m_clientH;
  std::map<std::string, app::Rect> m_rects;
};

double right(const app::Rect& r) {
  return r.left + r.width;
}
double bottom(const app::Rect& r) {
  return r.top + r.height;
}

// The panes fill the window left of the option frame, top to bottom, without overlapping.
void expectLaidOut(const FakeLayout& w) {
  auto frame = w.rect("Frame1"), list = w.rect("List1"), text = w.rect("Text1"),
       log = w.rect("RichTextBox1"), label2 = w.rect("Label2");
  EXPECT_LT(right(frame), w.clientWidth() + 1);
  EXPECT_GT(right(frame), w.clientWidth() - 240);
  for (const auto& pane : {list, text, log}) {
    EXPECT_LE(right(pane), frame.left);
    EXPECT_GT(pane.width, 0);
  }
  EXPECT_GT(text.top, bottom(list));
  EXPECT_GT(log.top, bottom(text));
  EXPECT_LT(bottom(log), w.clientHeight());
  EXPECT_GT(bottom(log), w.clientHeight() - 240);
  EXPECT_LE(right(label2), right(list));
}

TEST(Layout, PanesFillWindowsOfEverySize) {
  for (auto [w, h] : {std::pair{12870.0, 7950.0}, {20000, 15000}, {14000, 30000}, {30000, 8000}}) {
    FakeLayout window(w, h);
    app::Form_Resize(window);
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    expectLaidOut(window);
  }
}

TEST(Layout, TooSmallSnapsBackToTheMinimumInEachDimension) {
  struct Row {
    double clientW, clientH, outerW, outerH;
  } rows[] = {{5000, 3000, 12000, 8460}, {5000, 9000, 12000, 9510}, {20000, 100, 20120, 8460}};
  for (const auto& row : rows) {
    FakeLayout w(row.clientW, row.clientH);
    app::Form_Resize(w);
    EXPECT_DOUBLE_EQ(w.outerWidth(), row.outerW);
    EXPECT_DOUBLE_EQ(w.outerHeight(), row.outerH);
    expectLaidOut(w);
  }
}

TEST(Layout, MinimizedChangesNothingAndARefusedResizeStillLaysOut) {
  FakeLayout w(5000, 3000);
  w.state = app::WindowState::Minimized;
  app::Form_Resize(w);
  EXPECT_EQ(w.writes, 0);
  EXPECT_DOUBLE_EQ(w.outerWidth(), 5120);

  w.state = app::WindowState::Maximized;
  w.refuseResize = true;
  app::Form_Resize(w);
  EXPECT_DOUBLE_EQ(w.clientWidth(), 5000);
  expectLaidOut(w);
}

}  // namespace
