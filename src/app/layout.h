// Form_Resize: keeps the window at least 12000 x 8460 twips outside and lays the panes
// out again after every size change. All values are twips.
#pragma once

#include <string_view>

namespace app {

enum class WindowState { Normal, Minimized, Maximized };

struct Rect {
  double left = 0, top = 0, width = 0, height = 0;
};

// What the layout rules need of the window. Setters may apply a different value than
// asked (a list that snaps to whole lines); the rules read back what was applied.
class LayoutPort {
 public:
  virtual ~LayoutPort() = default;
  virtual WindowState windowState() const = 0;
  virtual double outerWidth() const = 0;
  virtual double outerHeight() const = 0;
  virtual double clientWidth() const = 0;
  virtual double clientHeight() const = 0;
  virtual void setOuterWidth(double twips) = 0;
  virtual void setOuterHeight(double twips) = 0;
  virtual Rect rect(std::string_view control) const = 0;
  virtual void setRect(std::string_view control, const Rect& rect) = 0;
};

inline constexpr double kMinOuterWidth = 12000;
inline constexpr double kMinOuterHeight = 8460;
inline constexpr double kListShare = 0.64;
inline constexpr double kSideGap = 120;
inline constexpr double kPaneGap = 60;
inline constexpr double kLabelInset = 20;

// Runs the eleven layout steps; a minimized window is left alone. A step that fails is
// skipped and the next one runs.
void Form_Resize(LayoutPort& port);

}  // namespace app
