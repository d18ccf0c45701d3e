#include "ui/qt/desktop_session.hpp"

#include <cstddef>
#include <cstdlib>

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCoreApplication>
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

#if defined(TEXTQUIRL_HAVE_XCB) && QT_CONFIG(xcb)
xcb_connection_t* x11_connection() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 == nullptr ? nullptr : x11->connection();
}

// The atom of `name` if the server knows it, else XCB_ATOM_NONE.
template <std::size_t N>
xcb_atom_t existing_atom(xcb_connection_t* connection, const char (&name)[N]) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, N - 1, name), nullptr);
  if (reply == nullptr) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

// The window owning `selection` now, as the server sees it; XCB_NONE for none.
xcb_window_t selection_owner(xcb_connection_t* connection, xcb_atom_t selection) {
  if (selection == XCB_ATOM_NONE) return XCB_NONE;
  xcb_get_selection_owner_reply_t* reply =
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
  if (reply == nullptr) return XCB_NONE;
  const xcb_window_t owner = reply->owner;
  std::free(reply);
  return owner;
}

// Whether `window` was made by this connection: its id lies in the range of
// ids the server gave this client.
bool made_here(xcb_connection_t* connection, xcb_window_t window) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  return window != XCB_NONE &&
         (window & ~setup->resource_id_mask) == (setup->resource_id_base & ~setup->resource_id_mask);
}

// Ends the event loop when this process loses the CLIPBOARD selection. The
// server tells the old owner by a SelectionClear event whoever the new owner
// is, also when it is None; Qt's own notion of owning (ownsClipboard(), and
// dataChanged) can miss a hand-over, e.g. when the new owner first clears
// the selection and then takes it.
class ClipboardLossWatch final : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) == XCB_SELECTION_CLEAR) {
      const auto* clear = static_cast<const xcb_selection_clear_event_t*>(message);
      xcb_connection_t* connection = x11_connection();
      if (connection != nullptr && clear->selection == existing_atom(connection, "CLIPBOARD")) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
      }
    }
    return false;  // Qt handles the event as well
  }
};
#endif

// Whether this process owns the clipboard's content. On X11 the server is
// asked, since Qt's cached answer can be out of date.
bool owns_clipboard() {
#if defined(TEXTQUIRL_HAVE_XCB) && QT_CONFIG(xcb)
  if (xcb_connection_t* connection = x11_connection()) {
    return made_here(connection, selection_owner(connection, existing_atom(connection, "CLIPBOARD")));
  }
#endif
  return QGuiApplication::clipboard()->ownsClipboard();
}

// Whether a clipboard manager runs that saves the clipboard of a program
// ending (on X11 the owner of the CLIPBOARD_MANAGER selection; Qt hands the
// content over to it when the application ends).
bool clipboard_manager_running() {
#if defined(TEXTQUIRL_HAVE_XCB) && QT_CONFIG(xcb)
  xcb_connection_t* connection = x11_connection();
  return connection != nullptr &&
         selection_owner(connection, existing_atom(connection, "CLIPBOARD_MANAGER")) != XCB_NONE;
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
    if (!owns_clipboard() || clipboard_manager_running()) {
      QCoreApplication::quit();
      return;
    }
#if defined(TEXTQUIRL_HAVE_XCB) && QT_CONFIG(xcb)
    // Events not yet handled pass the filter too, so none is missed.
    static ClipboardLossWatch watch;
    qApp->installNativeEventFilter(&watch);
#endif
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, qApp, [] {
      if (!owns_clipboard()) QCoreApplication::quit();
    });
  });
}

}  // namespace textquirl
