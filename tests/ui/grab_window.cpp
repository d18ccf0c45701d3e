// Saves a screenshot of one X window (by id, decimal or 0x hex) as PNG, so the
// end-to-end test needs no image tools beyond Qt.
// Usage: grab_window <window id> <file.png>

#include <cstdio>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fputs("usage: grab_window <window id> <file.png>\n", stderr);
    return 2;
  }
  bool ok = false;
  const WId id = QString::fromLocal8Bit(argv[1]).toULongLong(&ok, 0);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!ok || !screen) return 2;
  const QPixmap shot = screen->grabWindow(id);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fputs("grab_window: no screenshot taken\n", stderr);
    return 1;
  }
  return 0;
}
