// What MSAA (and UI Automation through its MSAA proxy) reads from Form1's
// controls: the standard object of each control's window class, with the
// role, name and description of ui/form1_access.hpp; a link label's default
// action ("Öffnen") opens it as a click does.
#pragma once

#include <windows.h>

#include "ui/form1_layout.hpp"

namespace textquirl::win32 {

// The answer of control `id` (a child of Form1) to WM_GETOBJECT with
// `wparam` and `lparam`: its accessible object for OBJID_CLIENT, 0 for every
// other object (pass the message on then). For a link label the default
// action posts WM_COMMAND with STN_CLICKED to the parent, as a click does.
LRESULT accessible_object(HWND control, layout::ControlId id, WPARAM wparam, LPARAM lparam);

}  // namespace textquirl::win32
