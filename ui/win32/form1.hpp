// Textquirl's window on Windows in plain Win32 (Unicode W functions): Form1
// with the text box Text1, the button Command1 that puts the scrambled text
// on the clipboard, the copyright line Label1 and the link labels Label2 and
// Label3, laid out from the shared twips table at the window's DPI.
#pragma once

#include <windows.h>

namespace textquirl::win32 {

// Registers Form1's window class, creates the window with its controls and
// shows it with `show_command` (as handed to wWinMain); Text1 is empty and
// has the focus. Returns nullptr if the window could not be made. The
// program's message loop should pass each message to IsDialogMessageW with
// this window first, so that Tab moves the focus as in a dialog.
HWND create_form1(HINSTANCE instance, int show_command);

}  // namespace textquirl::win32
