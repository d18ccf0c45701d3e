#include "ui/qt/desktop_session.hpp"

#include <cstdlib>

#include <QClipboard>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

#if defined(TEXTQUIRL_HAVE_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace textquirl {
namespace {

// Whether a clipboard manager runs that saves the clipboard of a program
// ending (on X11 the owner of the CLIPBOARD_MANAGER selection; Qt hands the
// content over to it when the application ends).
bool clipboard_manager_running() {
#if defined(TEXTQUIRL_HAVE_XCB) && QT_CONFIG(xcb)
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return false;
  xcb_connection_t* connection = x11->connection();
  constexpr char kName[] = "CLIPBOARD_MANAGER";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr);
  if (atom == nullptr) return false;
  const xcb_atom_t selection = atom->atom;
  std::free(atom);
  if (selection == XCB_ATOM_NONE) return false;
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selection), nullptr);
  if (owner == nullptr) return false;
  const bool running = owner->owner != XCB_NONE;
  std::free(owner);
  return running;
#else
  return false;  // Wayland's clipboard managers copy the content as it changes
#endif
}

}  // namespace

bool install_german_translations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_de"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

void quit_after_window_keeping_clipboard(QWidget* window) {
  QGuiApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(window, &QObject::destroyed, qApp, [] {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard() || clipboard_manager_running()) {
      QCoreApplication::quit();
      return;
    }
    QObject::connect(clipboard, &QClipboard::dataChanged, qApp, [clipboard] {
      if (!clipboard->ownsClipboard()) QCoreApplication::quit();
    });
  });
}

}  // namespace textquirl
