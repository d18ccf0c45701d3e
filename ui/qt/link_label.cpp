#include "ui/qt/link_label.hpp"

#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace textquirl {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::TabFocus); }

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

// The style's focus frame, one pixel round the text. The label takes the
// focus from the keyboard only, so the frame is drawn as after a Tab even
// where the style draws it only then.
void LinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QStylePainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.state |= QStyle::State_KeyboardFocusChange;
  option.backgroundColor = palette().color(backgroundRole());
  const QRect text = fontMetrics().boundingRect(contentsRect(), int(alignment()), this->text());
  option.rect = text.adjusted(-1, 0, 1, 0).intersected(rect());
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

}  // namespace textquirl
