// Label9, the progress bar: a label of fixed size whose solid fill covers the given
// width from the left. A new fill shows at the label's next repaint, which only paints
// the label itself.
#pragma once

#include <QLabel>

namespace gui {

class ProgressLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ProgressLabel(QWidget* parent);
  // Width of the fill in pixels; at first the whole label.
  void setFillWidth(int pixels);
  int fillWidth() const { return m_fill < 0 ? width() : m_fill; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_fill = -1;
};

}  // namespace gui
