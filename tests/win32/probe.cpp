// Looks into a running Form1 from another process, for the Wine end-to-end
// test: `probe layout` prints the client size, each control's place and
// Text1's text limit; `probe text` prints Text1's text as UTF-8 with LF line
// breaks; `probe hold-clipboard` opens the clipboard, prints "held" and keeps
// it for three seconds; `probe watch-focus SECONDS` prints the name of the
// control with the focus at once and again at each change, for SECONDS; `probe access` prints what MSAA reads of the window and of each
// control, one line each: "Label3 link „(info@example.org)“ „mailto:…“ „Öffnen“"
// (role, name, description, default action); `probe do-default Label3`
// carries out a control's MSAA default action; `probe languages EXE` prints
// the language ids of EXE's icon, manifest and version resources. Exit
// status 1 if the window is not there.

#include <windows.h>

#include <oleacc.h>

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

std::string quoted(const std::wstring& text) { return "\u201E" + utf8(text) + "\u201C"; }

std::string role_name(LONG role) {
  switch (role) {
    case ROLE_SYSTEM_WINDOW: return "window";
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_TEXT: return "text";
    case ROLE_SYSTEM_PUSHBUTTON: return "pushbutton";
    case ROLE_SYSTEM_STATICTEXT: return "statictext";
    case ROLE_SYSTEM_LINK: return "link";
    default: return "role" + std::to_string(role);
  }
}

// One line on the object `id` of `window`: role, name, description, default action.
std::string accessible_line(const std::string& label, HWND window, LONG id) {
  IAccessible* object = nullptr;
  const HRESULT found = AccessibleObjectFromWindow(window, static_cast<DWORD>(id), __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&object));
  if (FAILED(found) || !object) {
    char hex[16];
    wsprintfA(hex, "%08lx", static_cast<unsigned long>(found));
    return label + " none " + hex + "\n";
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role;
  VariantInit(&role);
  // "-" where the object has no role to tell (Wine's window object)
  const bool has_role = SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4;
  std::string line = label + ' ';
  line += has_role ? role_name(role.lVal) : std::string("-");
  using Getter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
  for (const Getter get : {static_cast<Getter>(&IAccessible::get_accName),
                           static_cast<Getter>(&IAccessible::get_accDescription),
                           static_cast<Getter>(&IAccessible::get_accDefaultAction)}) {
    BSTR text = nullptr;
    const bool got = SUCCEEDED((object->*get)(self, &text)) && text;
    line += ' ';
    line += quoted(got ? std::wstring(text, SysStringLen(text)) : std::wstring());
    SysFreeString(text);
  }
  object->Release();
  return line + "\n";
}

HWND control_named(HWND form, const std::wstring& name) {
  for (const auto& c : textquirl::layout::kControls) {
    if (name == std::wstring(c.name.begin(), c.name.end())) {
      return GetDlgItem(form, static_cast<int>(c.id));
    }
  }
  return nullptr;
}

// The language ids of the resources of one type in `module`, as hex numbers.
std::string languages(HMODULE module, LPCWSTR type, LPCWSTR name) {
  std::string out;
  EnumResourceLanguagesW(
      module, type, name,
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) -> BOOL {
        char hex[8];
        wsprintfA(hex, "%04x", language);
        *reinterpret_cast<std::string*>(param) += std::string(" ") + hex;
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&out));
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"languages") {
    const HMODULE exe = LoadLibraryExW(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!exe) return 1;
    write("icon" + languages(exe, RT_GROUP_ICON, MAKEINTRESOURCEW(1)) + "\nmanifest" +
          languages(exe, RT_MANIFEST, MAKEINTRESOURCEW(1)) + "\nversion" +
          languages(exe, RT_VERSION, MAKEINTRESOURCEW(1)) + "\n");
    return 0;
  }
  const std::u16string caption(textquirl::layout::kWindowCaption);
  const HWND form = FindWindowW(nullptr, reinterpret_cast<const wchar_t*>(caption.c_str()));
  if (!form || argc < 2) {
    write(form ? "usage: probe layout|text|hold-clipboard|watch-focus SECONDS|access|do-default NAME|"
                 "languages EXE\n"
               : "probe: no window \"Textquirl\"\n");
    return 1;
  }
  const std::wstring command = argv[1];
  if (command == L"watch-focus" && argc == 3) {
    const DWORD thread = GetWindowThreadProcessId(form, nullptr);
    const ULONGLONG end = GetTickCount64() + 1000ULL * static_cast<ULONGLONG>(_wtoi(argv[2]));
    HWND last = reinterpret_cast<HWND>(INVALID_HANDLE_VALUE);  // no window: the first is printed
    while (GetTickCount64() < end) {
      GUITHREADINFO info = {};
      info.cbSize = sizeof info;
      if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != last) {
        last = info.hwndFocus;
        std::string name = last == form ? "Form1" : "none";
        for (const auto& c : textquirl::layout::kControls) {
          if (last && GetDlgCtrlID(last) == static_cast<int>(c.id)) {
            name = utf8(std::wstring(c.name.begin(), c.name.end()));
          }
        }
        write(name + "\n");
      }
      Sleep(20);
    }
    return 0;
  }
  if (command == L"access" || command == L"do-default") {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (command == L"do-default") {
      IAccessible* object = nullptr;
      const HWND control = argc == 3 ? control_named(form, argv[2]) : nullptr;
      if (!control || FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                                        __uuidof(IAccessible),
                                                        reinterpret_cast<void**>(&object)))) {
        return 1;
      }
      VARIANT self;
      VariantInit(&self);
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      const HRESULT done = object->accDoDefaultAction(self);
      object->Release();
      return SUCCEEDED(done) ? 0 : 1;
    }
    std::string out = accessible_line("Form1", form, OBJID_WINDOW);
    out += accessible_line("Form1.client", form, OBJID_CLIENT);
    for (const auto& c : textquirl::layout::kControls) {
      out += accessible_line(utf8(std::wstring(c.name.begin(), c.name.end())),
                             GetDlgItem(form, static_cast<int>(c.id)), OBJID_CLIENT);
    }
    write(out);
    return 0;
  }
  if (command == L"hold-clipboard") {
    if (!OpenClipboard(nullptr)) return 1;
    write("held\n");
    Sleep(3000);
    CloseClipboard();
    return 0;
  }
  const HWND text1 = GetDlgItem(form, static_cast<int>(textquirl::layout::ControlId::Text1));
  if (command == L"text") {
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
