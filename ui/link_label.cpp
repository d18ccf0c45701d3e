#include "ui/link_label.hpp"

#include <QMouseEvent>

namespace textquirl {

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

// Qt's default turns a double-click into one more press; the label ignores
// it, so its release does not count either.
void LinkLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    event->accept();
    return;
  }
  QLabel::mouseDoubleClickEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    event->accept();
    if (rect().contains(event->position().toPoint())) emit clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

}  // namespace textquirl
