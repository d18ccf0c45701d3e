// Textquirl's window on Windows in plain Win32 (Unicode W functions): Form1
// with the text box Text1, the button Command1 that puts the scrambled text
// on the clipboard, the copyright line Label1 and the link labels Label2 and
// Label3, laid out from the shared twips table at the window's DPI.
#pragma once

#include <windows.h>

namespace textquirl::win32 {

// Registers Form1's window class, creates the window with its controls and
// shows it with `show_command` (as handed to wWinMain); Text1 is empty and
// has the focus. Returns nullptr if the window could not be made.
HWND create_form1(HINSTANCE instance, int show_command);

// Carries out the window's keys (ui/form1_access.hpp: Tab and Shift+Tab,
// Enter on the button and the links, Ctrl+Enter in Text1, Escape, which does
// nothing) for a message of the program's loop. Returns true if `message`
// was one of them and is done with: the loop neither translates nor
// dispatches it. Call it first for each message:
//   if (translate_key(form, message)) continue;
bool translate_key(HWND form, const MSG& message);

}  // namespace textquirl::win32
