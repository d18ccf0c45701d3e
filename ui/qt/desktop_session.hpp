// How the window program meets the desktop around its window: Qt's own texts
// in German, and a clipboard result that outlives the window.
#pragma once

class QCoreApplication;
class QWidget;

namespace textquirl {

// Loads Qt's German translations (qtbase_de.qm: the text box's context menu,
// standard buttons) whatever the system's locale. Returns false where they
// are not installed; those texts then stay in Qt's English.
bool install_german_translations(QCoreApplication& app);

// Ends the event loop once `window` is destroyed, unless this process still
// owns the clipboard's content and no clipboard manager will take it over at
// exit. Then the loop runs on without a window, serving the clipboard, and
// ends as soon as the process no longer owns it, whoever took it (another
// Textquirl too, or a program that only cleared it).
void quit_after_window_keeping_clipboard(QWidget* window);

}  // namespace textquirl
