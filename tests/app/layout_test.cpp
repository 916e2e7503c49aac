// Form_Resize keeps the window at least 12000 x 8460 twips outside, keeps the option
// column flush right, gives the list 64 % of the height below its top, stacks the status
// line and log pane under it, right-aligns the item count above the list, reads back what
// the platform applied, and leaves a minimized window alone.
#include "app/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "app/form_design.h"

namespace {

// A window whose frame adds 120 twips in width and 510 in height around the client
// area, like a title bar and borders.
class FakeLayout : public app::LayoutPort {
 public:
  static constexpr double kFrameW = 120, kFrameH = 510;
  FakeLayout(double clientW, double clientH) : m_clientW(clientW), m_clientH(clientH) {
    for (const auto& c : app::formDesign())
      if (c.parent == "Form1")
        m_rects[std::string(c.name)] = {double(c.left), double(c.top), double(c.width),
                                        double(c.height)};
  }
  app::WindowState windowState() const override { return state; }
  double outerWidth() const override { return m_clientW + kFrameW; }
  double outerHeight() const override { return m_clientH + kFrameH; }
  double clientWidth() const override { return m_clientW; }
  double clientHeight() const override { return m_clientH; }
  void setOuterWidth(double twips) override {
    if (refuseResize)
      throw std::runtime_error("refused");
    m_clientW = twips - kFrameW;
  }
  void setOuterHeight(double twips) override {
    if (refuseResize)
      throw std::runtime_error("refused");
    m_clientH = twips - kFrameH;
  }
  app::Rect rect(std::string_view control) const override {
    return m_rects.at(std::string(control));
  }
  void setRect(std::string_view control, const app::Rect& r) override {
    app::Rect applied = r;
    // A list that shows whole lines of 195 twips only.
    if (control == "List1" && lineHeight > 0)
      applied.height = std::floor(r.height / lineHeight) * lineHeight;
    m_rects[std::string(control)] = applied;
    ++writes;
  }

  app::WindowState state = app::WindowState::Normal;
  bool refuseResize = false;
  double lineHeight = 0;
  int writes = 0;

 private:
  double m_clientW, m_clientH;
  std::map<std::string, app::Rect> m_rects;
};

void expectLaidOut(const FakeLayout& w) {
  auto frame = w.rect("Frame1"), list = w.rect("List1"), text = w.rect("Text1"),
       log = w.rect("RichTextBox1"), label2 = w.rect("Label2");
  EXPECT_DOUBLE_EQ(frame.left, w.clientWidth() - 3735);
  EXPECT_DOUBLE_EQ(frame.height, 7815);
  for (const auto& pane : {list, text, log}) {
    EXPECT_DOUBLE_EQ(pane.left, 120);
    EXPECT_DOUBLE_EQ(pane.width, frame.left - 120);
  }
  EXPECT_DOUBLE_EQ(text.top, list.top + list.height + 60);
  EXPECT_DOUBLE_EQ(log.top, text.top + text.height + 60);
  EXPECT_DOUBLE_EQ(log.height, w.clientHeight() - log.top - 120);
  EXPECT_DOUBLE_EQ(label2.left, list.left + list.width - 1095 - 20);
  EXPECT_DOUBLE_EQ(w.rect("Label1").left, 120);
  EXPECT_DOUBLE_EQ(w.rect("butSelectAll").left, 5760);
}

TEST(Layout, SeveralWindowSizes) {
  struct Row {
    double clientW, clientH;
  } rows[] = {{12870, 7950}, {20000, 15000}, {14000, 30000}, {30000, 8000}};
  for (const auto& row : rows) {
    FakeLayout w(row.clientW, row.clientH);
    app::Form_Resize(w);
    SCOPED_TRACE(testing::Message() << row.clientW << " x " << row.clientH);
    expectLaidOut(w);
    EXPECT_DOUBLE_EQ(w.rect("List1").height, (row.clientH - 360) * 0.64);
  }
}

TEST(Layout, TallWindowGivesTheList64PercentBelowItsTop) {
  FakeLayout w(12870, 20360);
  app::Form_Resize(w);
  EXPECT_DOUBLE_EQ(w.rect("List1").height, 20000 * 0.64);
  EXPECT_DOUBLE_EQ(w.rect("RichTextBox1").top + w.rect("RichTextBox1").height, 20360 - 120);
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

TEST(Layout, MinimizedChangesNothing) {
  FakeLayout w(5000, 3000);
  w.state = app::WindowState::Minimized;
  app::Form_Resize(w);
  EXPECT_EQ(w.writes, 0);
  EXPECT_DOUBLE_EQ(w.outerWidth(), 5120);
  w.state = app::WindowState::Normal;  // restoring runs the rules again
  app::Form_Resize(w);
  expectLaidOut(w);
}

TEST(Layout, RefusedResizeStillLaysOutThePanes) {
  FakeLayout w(5000, 3000);
  w.state = app::WindowState::Maximized;
  w.refuseResize = true;
  app::Form_Resize(w);
  EXPECT_DOUBLE_EQ(w.clientWidth(), 5000);
  expectLaidOut(w);
}

TEST(Layout, PanesFollowTheListHeightThePlatformApplied) {
  FakeLayout w(12870, 7950);
  w.lineHeight = 195;
  app::Form_Resize(w);
  auto list = w.rect("List1");
  EXPECT_DOUBLE_EQ(list.height, std::floor((7950 - 360) * 0.64 / 195) * 195);
  expectLaidOut(w);
}

}  // namespace
