#include "app/layout.h"

namespace app {
namespace {

template <class Step>
void step(Step&& s) {
  try {
    s();
  } catch (...) {
    // A refused size change (a maximized window) must not stop the layout.
  }
}

void setField(LayoutPort& port, std::string_view control, double Rect::*field, double value) {
  Rect r = port.rect(control);
  r.*field = value;
  port.setRect(control, r);
}

}  // namespace

void Form_Resize(LayoutPort& port) {
  if (port.windowState() == WindowState::Minimized)
    return;

  step([&] {
    if (port.outerWidth() < kMinOuterWidth)
      port.setOuterWidth(kMinOuterWidth);
  });
  step([&] {
    if (port.outerHeight() < kMinOuterHeight)
      port.setOuterHeight(kMinOuterHeight);
  });
  step([&] {
    setField(port, "Frame1", &Rect::left, port.clientWidth() - port.rect("Frame1").width);
  });
  step([&] { setField(port, "List1", &Rect::width, port.rect("Frame1").left - kSideGap); });
  step([&] {
    setField(port, "List1", &Rect::height,
             (port.clientHeight() - port.rect("List1").top) * kListShare);
  });
  step([&] { setField(port, "Text1", &Rect::width, port.rect("Frame1").left - kSideGap); });
  step([&] {
    auto list = port.rect("List1");
    setField(port, "Text1", &Rect::top, list.top + list.height + kPaneGap);
  });
  step([&] {
    auto text = port.rect("Text1");
    setField(port, "RichTextBox1", &Rect::top, text.top + text.height + kPaneGap);
  });
  step([&] { setField(port, "RichTextBox1", &Rect::width, port.rect("Frame1").left - kSideGap); });
  step([&] {
    setField(port, "RichTextBox1", &Rect::height,
             port.clientHeight() - port.rect("RichTextBox1").top - kSideGap);
  });
  step([&] {
    auto list = port.rect("List1");
    setField(port, "Label2", &Rect::left,
             list.left + list.width - port.rect("Label2").width - kLabelInset);
  });
}

}  // namespace app
