// A label that reports a click of the left mouse button, for the window's
// link captions.
#pragma once

#include <QLabel>

namespace textquirl {

class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  // Emitted when the left button is pressed and released over the label. The
  // second press of a double-click is no new click.
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace textquirl
