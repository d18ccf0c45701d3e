// What MSAA (and UI Automation through its MSAA proxy) reads from Form1's
// controls: the standard object of each control's window class, with the
// role, name and description of ui/form1_access.hpp; the default action of
// the button ("Drücken") and of a link label ("Öffnen") does what a click does.
#pragma once

#include <windows.h>

#include "ui/form1_layout.hpp"

namespace textquirl::win32 {

// The answer of control `id` (a child of Form1) to WM_GETOBJECT with
// `wparam` and `lparam`: its accessible object for OBJID_CLIENT, 0 for every
// other object (pass the message on then). The default action of the
// button and the links posts WM_COMMAND with BN_CLICKED or STN_CLICKED to
// the parent, as a click does.
LRESULT accessible_object(HWND control, layout::ControlId id, WPARAM wparam, LPARAM lparam);

}  // namespace textquirl::win32
