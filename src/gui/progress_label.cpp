#include "gui/progress_label.h"

#include <QPainter>

namespace gui {

ProgressLabel::ProgressLabel(QWidget* parent) : QLabel(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressLabel::setFillWidth(int pixels) {
  pixels = std::max(0, pixels);
  if (pixels == m_fill)
    return;
  m_fill = pixels;
}

void ProgressLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int fill = std::min(fillWidth(), width());
  p.fillRect(0, 0, fill, height(), QColor(0, 0, 160));
  p.fillRect(fill, 0, width() - fill, height(), palette().window());
}

}  // namespace gui
