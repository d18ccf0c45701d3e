// Textquirl's Windows program: shows the main window and runs its message loop.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "ui/win32/form1.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The shell's handlers for the link labels may need COM.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  const HWND form = textquirl::win32::create_form1(instance, show_command);
  if (!form) {
    MessageBoxW(nullptr, L"Das Fenster von Textquirl konnte nicht geöffnet werden.", L"Textquirl",
                MB_OK | MB_ICONERROR);
    return 1;
  }
  MSG message = {};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The window's keys: Tab, Enter, Ctrl+Enter, Escape. No IsDialogMessage:
    // it would put Text1 into dialog mode, where Escape closes the window.
    if (textquirl::win32::translate_key(form, message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return static_cast<int>(message.wParam);
}
