// Textquirl's window program: shows the main window and runs the event loop.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QByteArray>
#include <QPointer>
#include <QtGlobal>

#include "ui/product_info.hpp"
#include "ui/qt/desktop_session.hpp"
#include "ui/qt/main_window.hpp"
#include "ui/qt/qt_text.hpp"

namespace {

QtMessageHandler previous_handler = nullptr;
bool gui_started = false;

// Qt's messages while the platform starts, held back until it has started:
// if it fails they are English noise before the German line.
struct HeldMessage {
  QtMsgType type;
  QString message;
};
std::vector<HeldMessage> held_messages;

std::string quoted(const QByteArray& text) { return "„" + text.toStdString() + "“"; }

// The one German line for a graphical session that cannot be reached, naming
// the displays the environment points at:
//   "textquirl: Kann die X11-Anzeige „:7“ nicht öffnen; das Programm braucht
//    eine grafische Sitzung."
std::string start_failure_line() {
  std::vector<std::string> targets;
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
  const QByteArray x11 = qgetenv("DISPLAY");
  if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland")) {
    targets.push_back("die grafische Oberfläche " + quoted(platform) + " (QT_QPA_PLATFORM)");
  } else {
    if (!wayland.isEmpty()) targets.push_back("die Wayland-Anzeige " + quoted(wayland));
    if (!x11.isEmpty()) targets.push_back("die X11-Anzeige " + quoted(x11));
  }
  if (targets.empty()) targets.push_back("die grafische Anzeige");
  std::string line = "textquirl: Kann " + targets[0];
  if (targets.size() > 1) line += " und " + targets[1];
  return line + " nicht öffnen; das Programm braucht eine grafische Sitzung.";
}

// Holds Qt's messages back while the platform starts and ends a failed start
// with one German line and status 1. Afterwards messages go to Qt's own
// handler, and a fatal error ends the program with status 1 instead of an
// abort.
void handle_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (!gui_started && type != QtFatalMsg) {
    held_messages.push_back({type, message});
    return;
  }
  if (type != QtFatalMsg) {
    if (previous_handler) previous_handler(type, context, message);
    return;
  }
  if (gui_started) {
    const QByteArray detail = message.toLocal8Bit();
    std::fprintf(stderr, "textquirl: Schwerer Fehler, das Programm wird beendet.\n%s\n",
                 detail.constData());
  } else {
    std::fprintf(stderr, "%s\n", start_failure_line().c_str());
  }
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

// What `textquirl --help` prints: the German usage text.
constexpr std::string_view kHelp =
    "Aufruf: textquirl [OPTION]\n"
    "Öffnet das Fenster von Textquirl: Text einfügen, auf „Verwurschteln und in\n"
    "Zwischenablage kopieren“ drücken, und der verwurschtelte Text liegt in der\n"
    "Zwischenablage. Ohne grafische Sitzung verwurschtelt textquirl-cli Text auf\n"
    "der Kommandozeile.\n"
    "\n"
    "Optionen:\n"
    "  -h, --help     diese Hilfe anzeigen und beenden\n"
    "  -V, --version  Version, Copyright und Lizenz anzeigen und beenden\n";

// What `textquirl --version` prints, e.g.
//   "textquirl 1.0.0\nCopyright © 2026 example.org\nLizenz: MIT\n".
std::string version_text() {
  return "textquirl " + std::string(textquirl::product::kVersion) + "\n" +
         std::string(textquirl::product::config::kCopyrightUtf8) + "\nLizenz: " +
         std::string(textquirl::product::config::kLicence) + "\n";
}

// Answers --help and --version on standard output without opening the
// window; returns false for any other command line, which goes to Qt.
bool answered_on_stdout(int argc, char* argv[]) {
  if (argc != 2) return false;
  const std::string_view arg = argv[1];
  std::string text;
  if (arg == "--help" || arg == "-h") {
    text = kHelp;
  } else if (arg == "--version" || arg == "-V") {
    text = version_text();
  } else {
    return false;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (answered_on_stdout(argc, argv)) return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  if (display_missing()) {
    std::fputs("textquirl: Keine grafische Anzeige gefunden (weder DISPLAY noch "
               "WAYLAND_DISPLAY ist gesetzt). Bitte in einer grafischen Sitzung starten.\n",
               stderr);
    return 1;
  }
  previous_handler = qInstallMessageHandler(handle_message);

  QApplication app(argc, argv);
  gui_started = true;
  for (const HeldMessage& held : held_messages) {
    if (previous_handler) previous_handler(held.type, QMessageLogContext(), held.message);
  }
  held_messages.clear();
  // The desktop entry's id, also as the X11 window class (WM_CLASS), so that
  // desktops connect the window to its menu entry and icon.
  const QString app_id = textquirl::to_qstring(textquirl::product::kAppId);
  QCoreApplication::setApplicationName(app_id);
  QGuiApplication::setDesktopFileName(app_id);
  textquirl::install_german_translations(app);

  // Closing deletes the window at once; the process may stay a little longer
  // to serve the scrambled text on the clipboard.
  QPointer<textquirl::Form1> window = new textquirl::Form1;
  window->setAttribute(Qt::WA_DeleteOnClose);
  textquirl::quit_after_window_keeping_clipboard(window);
  window->show();
  const int status = app.exec();
  delete window.data();
  return status;
}
