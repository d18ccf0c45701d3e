// A label that acts as a link: it reports a click of the left mouse button,
// takes the focus from the keyboard (not from the mouse) and then shows a
// focus frame around its text; activate() opens it as a click does.
#pragma once

#include <QLabel>

namespace textquirl {

class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  // A label with Qt::TabFocus: Tab reaches it, a click leaves the focus where it was.
  explicit LinkLabel(QWidget* parent = nullptr);

  // What a click does, for the keyboard and for assistive technology: emits clicked().
  void activate() { emit clicked(); }

 signals:
  // Emitted when the left button is pressed and released over the label, and
  // by activate(). The second press of a double-click is no new click.
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool pressed_ = false;
};

}  // namespace textquirl
