// Textquirl's window program: shows the main window and runs the event loop.

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QByteArray>
#include <QtGlobal>

#include "ui/main_window.hpp"

namespace {

QtMessageHandler previous_handler = nullptr;
bool gui_started = false;

// Passes messages on to Qt's own handler, but ends a fatal error (such as a
// platform plugin that cannot start) with a German message and status 1
// instead of an abort.
void handle_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (previous_handler) previous_handler(type, context, message);
    return;
  }
  const QByteArray detail = message.toLocal8Bit();
  std::fprintf(stderr, "%s\n%s\n",
               gui_started ? "textquirl: Schwerer Fehler, das Programm wird beendet."
                           : "textquirl: Die grafische Oberfläche konnte nicht gestartet werden.",
               detail.constData());
  std::fflush(stderr);
  std::_Exit(1);
}

// X11 and Wayland need a display named in the environment; without one Qt
// would stop with a fatal error in English.
bool display_missing() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
  return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
         qEnvironmentVariableIsEmpty("DISPLAY") &&
         qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
  return false;
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
  if (display_missing()) {
    std::fputs("textquirl: Keine grafische Anzeige gefunden (weder DISPLAY noch "
               "WAYLAND_DISPLAY ist gesetzt). Bitte in einer grafischen Sitzung starten.\n",
               stderr);
    return 1;
  }
  previous_handler = qInstallMessageHandler(handle_message);

  QApplication app(argc, argv);
  gui_started = true;
  QApplication::setDesktopFileName(QStringLiteral("textquirl"));

  textquirl::Form1 window;
  window.show();
  return app.exec();
}
