// Looks into a running Form1 from another process, for the Wine end-to-end
// test: `probe layout` prints the client size, each control's place and
// Text1's text limit; `probe text` prints Text1's text as UTF-8 with LF line
// breaks; `probe hold-clipboard` opens the clipboard, prints "held" and keeps
// it for three seconds. Exit status 1 if the window is not there.

#include <windows.h>

#include <string>

#include "ui/form1_layout.hpp"

namespace {

void write(const std::string& bytes) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

std::string utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// WM_GETTEXT is copied across processes; GetWindowText would not ask the control.
std::wstring text_of(HWND control) {
  const auto length = static_cast<std::size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  std::wstring lf;
  for (const wchar_t c : text) {
    if (c != L'\r') lf += c;
  }
  return lf;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::u16string caption(textquirl::layout::kWindowCaption);
  const HWND form = FindWindowW(nullptr, reinterpret_cast<const wchar_t*>(caption.c_str()));
  if (!form || argc != 2) {
    write(form ? "usage: probe layout|text|hold-clipboard\n" : "probe: no window \"Textquirl\"\n");
    return 1;
  }
  if (std::wstring(argv[1]) == L"hold-clipboard") {
    if (!OpenClipboard(nullptr)) return 1;
    write("held\n");
    Sleep(3000);
    CloseClipboard();
    return 0;
  }
  const HWND text1 = GetDlgItem(form, static_cast<int>(textquirl::layout::ControlId::Text1));
  if (std::wstring(argv[1]) == L"text") {
    write(utf8(text_of(text1)));
    return 0;
  }
  RECT client;
  GetClientRect(form, &client);
  std::string out = "client " + std::to_string(client.right) + " " + std::to_string(client.bottom) + "\n";
  for (const auto& c : textquirl::layout::kControls) {
    const HWND control = GetDlgItem(form, static_cast<int>(c.id));
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
    out += utf8(std::wstring(c.name.begin(), c.name.end())) + " " + std::to_string(r.left) + " " +
           std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
           std::to_string(r.bottom - r.top) + "\n";
  }
  out += "limit " + std::to_string(SendMessageW(text1, EM_GETLIMITTEXT, 0, 0)) + "\n";
  write(out);
  return 0;
}
