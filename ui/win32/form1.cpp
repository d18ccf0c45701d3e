#include "ui/win32/form1.hpp"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "ui/form1_access.hpp"
#include "engine/options.hpp"
#include "ui/form1_layout.hpp"
#include "ui/scramble_command.hpp"
#include "ui/win32/accessible.hpp"
#include "ui/win32/resource.h"
#include "ui/win32/window_state.hpp"
#include "win32_build.h"

namespace textquirl::win32 {
namespace {

using layout::ControlId;
using layout::ControlKind;

constexpr wchar_t kClassName[] = TEXTQUIRL_WINDOW_CLASS;
// A fixed frame with a minimise button and no maximise button.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = 0;
constexpr UINT_PTR kText1Subclass = 1;
constexpr UINT_PTR kControlSubclass = 2;

// Win32 text is UTF-16 in wchar_t, the engine's in char16_t: the same units.
const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
const wchar_t* wide(std::u16string_view text) = delete;  // may lack the terminating NUL

// What the window keeps between messages; owned by the window from
// WM_NCCREATE to WM_NCDESTROY (ui/win32/window_state.hpp).
struct Form1 {
  HWND hwnd = nullptr;
  UINT dpi = USER_DEFAULT_SCREEN_DPI;
  HFONT font = nullptr;       // the default font at `dpi`
  HFONT link_font = nullptr;  // Label2 and Label3 at `dpi`
  HWND focus = nullptr;       // the control to give the focus back to on activation
  ScrambleCommand command;
  HMENU command1_menu = nullptr;  // Command1's context menu, made when first opened
  HWND menu_tip = nullptr;        // the explanation beside its entry, made with it

  ~Form1() {
    if (font) DeleteObject(font);
    if (link_font) DeleteObject(link_font);
    if (command1_menu) DestroyMenu(command1_menu);
  }
  HWND item(ControlId id) const { return GetDlgItem(hwnd, static_cast<int>(id)); }
};

Form1& form_of(HWND hwnd) { return *state_of<Form1>(hwnd); }

// The layout entry of a child window, or nullptr for any other window.
const layout::Control* control_of(HWND child) {
  const int id = GetDlgCtrlID(child);
  for (const layout::Control& c : layout::kControls) {
    if (static_cast<int>(c.id) == id) return &c;
  }
  return nullptr;
}

bool is_link(HWND child) {
  const layout::Control* c = control_of(child);
  return c && c->kind == ControlKind::LinkLabel;
}

// ---- DPI: the functions of Windows 10 1607 and later where they exist, the
// system DPI before (where the process is system aware anyway).

template <class Function>
Function user32_function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT dpi_of(HWND hwnd) {
  static const auto get_dpi_for_window = user32_function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (get_dpi_for_window) return get_dpi_for_window(hwnd);
  const HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// The outer size of a window whose client area is 8190 × 6555 twips at `dpi`.
SIZE window_size(UINT dpi) {
  RECT r = {0, 0, layout::twips_to_pixels(layout::kClientWidthTwips, static_cast<int>(dpi)),
            layout::twips_to_pixels(layout::kClientHeightTwips, static_cast<int>(dpi))};
  static const auto adjust_for_dpi =
      user32_function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  if (!adjust_for_dpi || !adjust_for_dpi(&r, kStyle, FALSE, kExStyle, dpi)) {
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  }
  return {r.right - r.left, r.bottom - r.top};
}

// The system's message font (the default font of dialogs) at `dpi`.
HFONT create_default_font(UINT dpi) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  static const auto parameters_for_dpi =
      user32_function<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
  if (!parameters_for_dpi ||
      !parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// "MS Sans Serif" 8.25 pt, normal weight, underlined; the font mapper takes
// a sans-serif where that face is missing.
HFONT create_link_font(UINT dpi) {
  LOGFONTW font = {};
  font.lfHeight = -std::lround(layout::kLinkFontPoints * dpi / 72.0);  // 11 px at 96 DPI
  font.lfWeight = FW_NORMAL;
  font.lfUnderline = TRUE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  layout::kLinkFontFamily.copy(reinterpret_cast<char16_t*>(font.lfFaceName), LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

// Places every control from the twips table and gives it its font, both for
// `dpi`; the fonts made for the previous DPI are released.
void apply_dpi(Form1& form, UINT dpi) {
  const HFONT font = create_default_font(dpi);
  const HFONT link_font = create_link_font(dpi);
  for (const layout::Control& c : layout::kControls) {
    const layout::Rect r = layout::pixels(c.twips, static_cast<int>(dpi));
    const HWND control = form.item(c.id);
    SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowFont(control, c.kind == ControlKind::LinkLabel ? link_font : font, TRUE);
  }
  SetWindowFont(form.hwnd, font, FALSE);
  if (form.font) DeleteObject(form.font);
  if (form.link_font) DeleteObject(form.link_font);
  form.font = font;
  form.link_font = link_font;
  form.dpi = dpi;
}

// ---- Text1: a multi-line edit; Ctrl+A selects all. The window's keys
// (Tab, Ctrl+Enter, Escape) are taken before they reach it: translate_key.

LRESULT CALLBACK Text1_Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                            DWORD_PTR) {
  switch (message) {
    case WM_KEYDOWN:
      if (wparam == 'A' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
        Edit_SetSel(hwnd, 0, -1);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wparam == 1) return 0;  // the character of Ctrl+A, handled above
      // A multi-line edit that has been asked WM_GETDLGCODE with a message
      // (as IsDialogMessage does) closes its parent on Escape; it never sees one.
      if (wparam == VK_ESCAPE) return 0;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, Text1_Proc, kText1Subclass);
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// ---- Every control: its accessible object; a link label also repaints its
// focus frame when it gains or loses the focus.

LRESULT CALLBACK Control_Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                              DWORD_PTR) {
  switch (message) {
    case WM_GETOBJECT:
      if (const layout::Control* c = control_of(hwnd)) {
        if (const LRESULT object = accessible_object(hwnd, c->id, wparam, lparam)) return object;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (is_link(hwnd)) InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, Control_Proc, kControlSubclass);
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// ---- The link labels' look: blue (0, 0, 255), or the theme's link colour
// in a high-contrast theme.

COLORREF link_colour() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON)) {
    return GetSysColor(COLOR_HOTLIGHT);
  }
  const layout::Colour blue = layout::kLinkColour;
  return RGB(blue.red, blue.green, blue.blue);
}

// ---- The clipboard.

enum class ClipboardResult { Done, Busy, Failed };

// Replaces the clipboard's content by `text` as CF_UNICODETEXT. Another
// program may hold the clipboard for a moment, so opening it is tried for
// about half a second. The memory is taken before the clipboard is emptied,
// so when there is no memory or the clipboard cannot be had (Busy) it keeps
// what it had; only if SetClipboardData itself fails, after the emptying,
// is the clipboard left empty (Failed either way).
ClipboardResult put_on_clipboard(HWND owner, const std::u16string& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return ClipboardResult::Failed;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return ClipboardResult::Failed;
  }
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory);

  // Another program may hold the clipboard for a moment: try for half a second.
  constexpr int kOpenAttempts = 20;
  constexpr DWORD kOpenRetryMilliseconds = 25;
  bool open = false;
  for (int attempt = 0; attempt < kOpenAttempts && !(open = OpenClipboard(owner)); ++attempt) {
    Sleep(kOpenRetryMilliseconds);
  }
  if (!open) {
    GlobalFree(memory);
    return ClipboardResult::Busy;
  }
  EmptyClipboard();
  const bool done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!done) GlobalFree(memory);  // still ours: the clipboard did not take it
  CloseClipboard();
  return done ? ClipboardResult::Done : ClipboardResult::Failed;
}

void show_message(HWND owner, const std::u16string& text, UINT icon) {
  MessageBoxW(owner, wide(text), wide(std::u16string(kMessageCaption)), MB_OK | icon);
}

// ---- The handlers of the controls.

// Scrambles the whole text of Text1 (line breaks as CR LF) and puts the
// result on the clipboard. A failed scramble, or a clipboard that cannot be
// had, is reported in a message box; Text1 never changes.
void Command1_Click(Form1& form, const ScrambleOptions& options = {}) {
  std::u16string text;
  try {
    const HWND text1 = form.item(ControlId::Text1);
    text.resize(static_cast<std::size_t>(GetWindowTextLengthW(text1)));
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(text1, reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size() + 1))));
  } catch (const std::bad_alloc&) {
    show_message(form.hwnd, scramble_failure_message(kOutOfMemoryReason), MB_ICONERROR);
    return;
  }
  const ScrambleCommand::Outcome outcome = form.command.run(text, options);
  if (!outcome.ok) {
    show_message(form.hwnd, outcome.text, MB_ICONERROR);
    return;
  }
  switch (put_on_clipboard(form.hwnd, outcome.text)) {
    case ClipboardResult::Done:
      break;
    case ClipboardResult::Busy:
      show_message(form.hwnd,
                   u"Die Zwischenablage wird gerade von einem anderen Programm benutzt. "
                   u"Der verwurschtelte Text konnte nicht hineingelegt werden.\n\n"
                   u"Bitte gleich noch einmal auf die Schaltfläche klicken. Der Text im Fenster ist unverändert.",
                   MB_ICONWARNING);
      break;
    case ClipboardResult::Failed:
      show_message(form.hwnd,
                   u"Der verwurschtelte Text konnte nicht in die Zwischenablage gelegt werden "
                   u"(zu wenig Arbeitsspeicher?).\n\nDer Text im Fenster ist unverändert.",
                   MB_ICONERROR);
      break;
  }
}

// The entry of Command1's context menu: the careful scramble, the rest as
// the button does it.
void CarefulCommand_Click(Form1& form) {
  ScrambleOptions careful;
  careful.mode = Mode::careful;
  Command1_Click(form, careful);
}

// Opens Command1's context menu at `at` (screen pixels), or below the button
// when opened from the keyboard, its entry then selected. The menu and the
// tooltip that explains its entry are made the first time.
void open_command1_menu(Form1& form, std::optional<POINT> at) {
  const layout::MenuCommand& careful = layout::kCarefulCommand;
  if (!form.command1_menu) {
    form.command1_menu = CreatePopupMenu();
    if (!form.command1_menu ||
        !AppendMenuW(form.command1_menu, MF_STRING, static_cast<UINT_PTR>(careful.id),
                     wide(std::u16string(careful.caption)))) {
      return;
    }
    form.menu_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, 0, 0, 0, 0,
                                    form.hwnd, nullptr, nullptr, nullptr);
    if (form.menu_tip) {
      static const std::u16string explanation(careful.explanation);
      TTTOOLINFOW tool = {};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
      tool.hwnd = form.hwnd;
      tool.lpszText = const_cast<wchar_t*>(wide(explanation));
      SendMessageW(form.menu_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
      SendMessageW(form.menu_tip, TTM_SETMAXTIPWIDTH, 0, 10000);  // one line
    }
  }
  POINT where = {};
  if (at) {
    where = *at;
  } else {
    RECT button;
    GetWindowRect(form.item(ControlId::Command1), &button);
    where = {button.left, button.bottom};
    PostMessageW(form.hwnd, WM_KEYDOWN, VK_DOWN, 0);  // the menu's loop takes it: the entry is selected
  }
  TrackPopupMenuEx(form.command1_menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, where.x, where.y,
                   form.hwnd, nullptr);
}

// Shows the explanation beside the menu's entry while it is selected.
void OnMenuSelect(HWND hwnd, HMENU menu, int item, HMENU, UINT flags) {
  Form1& form = form_of(hwnd);
  if (!form.menu_tip) return;
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd;
  RECT entry;
  const bool show = menu == form.command1_menu && item == layout::kCarefulCommand.id && !(flags & MF_POPUP) &&
                    GetMenuItemRect(nullptr, menu, 0, &entry);  // nullptr: the popup's own window
  if (show) {
    SendMessageW(form.menu_tip, TTM_TRACKPOSITION, 0, MAKELPARAM(entry.left, entry.bottom + 2));
  }
  SendMessageW(form.menu_tip, TTM_TRACKACTIVATE, show, reinterpret_cast<LPARAM>(&tool));
}

// A right-click on Command1 (or the system's WM_CONTEXTMENU for a key; at
// -1, -1) opens its menu.
void OnContextMenu(HWND hwnd, HWND target, UINT x, UINT y) {
  Form1& form = form_of(hwnd);
  if (target != form.item(ControlId::Command1)) return;
  const POINT at = {static_cast<short>(x), static_cast<short>(y)};
  open_command1_menu(form, at.x == -1 && at.y == -1 ? std::nullopt : std::optional<POINT>(at));
}

// Hands the link's address to the shell, which opens it with the user's
// default program; whether that works is not reported.
void open_link(ControlId id) {
  const std::u16string target = layout::link_target(id);
  ShellExecuteW(nullptr, L"open", wide(target), nullptr, nullptr, SW_SHOWNORMAL);
}

void Label2_Click(Form1&) { open_link(ControlId::Label2); }
void Label3_Click(Form1&) { open_link(ControlId::Label3); }

// ---- The window's messages.

BOOL OnCreate(HWND hwnd, LPCREATESTRUCTW create) {
  Form1& form = form_of(hwnd);
  for (const layout::Control& c : layout::kControls) {
    const wchar_t* window_class = WC_STATICW;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    switch (c.kind) {
      case ControlKind::TextBox:
        window_class = WC_EDITW;
        style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::Button:
        window_class = WC_BUTTONW;
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::Label:
        style |= SS_LEFT | SS_NOPREFIX;
        break;
      case ControlKind::LinkLabel:
        // Drawn by the window (OnDrawItem), so that it can show a focus frame.
        // SS_NOTIFY: clicks reach the window. WS_TABSTOP: Tab reaches it.
        style |= WS_TABSTOP | SS_OWNERDRAW | SS_NOTIFY;
        break;
    }
    const HWND control = CreateWindowExW(
        ex_style, window_class, wide(layout::caption(c.id)), style, 0, 0, 0, 0, hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), create->hInstance, nullptr);
    if (!control) return FALSE;
    SetWindowSubclass(control, Control_Proc, kControlSubclass, 0);
  }
  const HWND text1 = form.item(ControlId::Text1);
  // Without this an edit control stops at 32,767 characters.
  Edit_LimitText(text1, 0);
  SetWindowSubclass(text1, Text1_Proc, kText1Subclass, 0);
  form.focus = text1;

  apply_dpi(form, dpi_of(hwnd));
  const SIZE size = window_size(form.dpi);
  SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}

// The second press of a double-click on a link label arrives as STN_DBLCLK,
// not STN_CLICKED, and so opens nothing a second time.
void OnCommand(HWND hwnd, int id, HWND, UINT code) {
  Form1& form = form_of(hwnd);
  switch (static_cast<ControlId>(id)) {
    case ControlId::Command1:
      if (code == BN_CLICKED) Command1_Click(form);
      break;
    case ControlId::Label2:
      if (code == STN_CLICKED) Label2_Click(form);
      break;
    case ControlId::Label3:
      if (code == STN_CLICKED) Label3_Click(form);
      break;
    default:
      if (id == layout::kCarefulCommand.id) CarefulCommand_Click(form);
      break;
  }
}

// A link label: its caption in the link font and colour, centred on one line
// on the window's background, as a centred static with SS_ENDELLIPSIS draws
// it (an address too wide for the label, in a wider stand-in font, ends in
// "…"); while it has the focus, the focus frame round the text.
void OnDrawItem(HWND hwnd, const DRAWITEMSTRUCT* item) {
  if (item->CtlType != ODT_STATIC || !is_link(item->hwndItem)) return;
  const Form1& form = form_of(hwnd);
  const HDC dc = item->hDC;
  RECT area = item->rcItem;
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));

  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item->hwndItem)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(item->hwndItem, text.data(), static_cast<int>(text.size()))));
  const HFONT previous = SelectFont(dc, form.link_font);
  SetTextColor(dc, link_colour());
  SetBkMode(dc, TRANSPARENT);
  constexpr UINT kFormat = DT_CENTER | DT_EXPANDTABS | DT_NOPREFIX | DT_SINGLELINE | DT_END_ELLIPSIS;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, kFormat);

  if (GetFocus() == item->hwndItem) {
    RECT measured = area;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, kFormat | DT_CALCRECT);
    const LONG width = std::min(measured.right - measured.left + 2, area.right - area.left);
    RECT frame = {area.left + (area.right - area.left - width) / 2, area.top, 0,
                  std::min(measured.bottom, area.bottom)};
    frame.right = frame.left + width;
    DrawFocusRect(dc, &frame);
  }
  SelectFont(dc, previous);
}

// A change to or from a high-contrast theme: the links take the new colour.
void OnSysColorChange(HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The hand over the link labels.
BOOL OnSetCursor(HWND hwnd, HWND under, UINT hit_test, UINT mouse_message) {
  if (hit_test == HTCLIENT && is_link(under)) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
  }
  return FORWARD_WM_SETCURSOR(hwnd, under, hit_test, mouse_message, DefWindowProcW);
}

// Keeps the focused control while another window is active.
void OnActivate(HWND hwnd, UINT state, HWND, BOOL minimized) {
  Form1& form = form_of(hwnd);
  if (state == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus && IsChild(hwnd, focus)) form.focus = focus;
  } else if (!minimized && form.focus) {
    SetFocus(form.focus);
  }
}

// Moved to a screen of another DPI: everything is laid out anew at the new
// DPI, in the place Windows suggests.
void OnDpiChanged(HWND hwnd, UINT dpi, const RECT* suggested) {
  Form1& form = form_of(hwnd);
  apply_dpi(form, dpi);
  const SIZE size = window_size(dpi);
  SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, size.cx, size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnDestroy(HWND) { PostQuitMessage(0); }

// The crackers of <windowsx.h> need the parameters named wParam and lParam.
LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      adopt_state<Form1>(hwnd, lParam)->hwnd = hwnd;
      break;
    case WM_NCDESTROY:
      release_state<Form1>(hwnd);
      break;
    HANDLE_MSG(hwnd, WM_CREATE, OnCreate);
    HANDLE_MSG(hwnd, WM_COMMAND, OnCommand);
    HANDLE_MSG(hwnd, WM_DRAWITEM, OnDrawItem);
    HANDLE_MSG(hwnd, WM_SYSCOLORCHANGE, OnSysColorChange);
    HANDLE_MSG(hwnd, WM_SETCURSOR, OnSetCursor);
    HANDLE_MSG(hwnd, WM_ACTIVATE, OnActivate);
    HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
    HANDLE_MSG(hwnd, WM_CONTEXTMENU, OnContextMenu);
    HANDLE_MSG(hwnd, WM_MENUSELECT, OnMenuSelect);
    case WM_DPICHANGED:
      OnDpiChanged(hwnd, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- The window's keys (access::kKeyBindings).

std::optional<access::Key> access_key(WPARAM virtual_key) {
  switch (virtual_key) {
    case VK_TAB: return access::Key::Tab;
    case VK_RETURN: return access::Key::Enter;
    case VK_SPACE: return access::Key::Space;
    case VK_ESCAPE: return access::Key::Escape;
    case VK_APPS: return access::Key::ContextMenu;
    case VK_F10: return access::Key::F10;
    default: return std::nullopt;
  }
}

unsigned held_modifiers() {
  unsigned modifiers = access::kNoModifier;
  if (GetKeyState(VK_SHIFT) < 0) modifiers |= access::kShift;
  if (GetKeyState(VK_CONTROL) < 0) modifiers |= access::kCtrl;
  if (GetKeyState(VK_MENU) < 0) modifiers |= access::kAlt;
  return modifiers;
}

// Moves the focus to `id` from the keyboard: from now on the window shows
// where the focus is (a button's focus frame included).
void focus_from_keyboard(Form1& form, ControlId id) {
  SendMessageW(form.hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  SetFocus(form.item(id));
}

}  // namespace

bool translate_key(HWND form_window, const MSG& message) {
  // F10 is a system key: it comes as WM_SYSKEYDOWN.
  if (message.message != WM_KEYDOWN && !(message.message == WM_SYSKEYDOWN && message.wParam == VK_F10)) return false;
  if (message.hwnd != form_window && !IsChild(form_window, message.hwnd)) return false;
  const std::optional<access::Key> key = access_key(message.wParam);
  if (!key) return false;
  const layout::Control* focused = message.hwnd == form_window ? nullptr : control_of(message.hwnd);
  // Bit 30: the key was down already, this is a repeat of a held key.
  const bool repeat = (message.lParam & (1 << 30)) != 0;
  using Kind = access::KeyResponse::Kind;
  const access::KeyResponse response = access::respond_to_key(
      focused ? std::optional<ControlId>(focused->id) : std::nullopt, *key, held_modifiers(), repeat);
  Form1& form = form_of(form_window);
  switch (response.kind) {
    case Kind::PassOn:
      return false;
    case Kind::Swallow:
      return true;
    case Kind::Focus:
      focus_from_keyboard(form, response.control);
      return true;
    case Kind::Click: {
      const HWND target = form.item(response.control);
      FORWARD_WM_COMMAND(form_window, static_cast<int>(response.control), target,
                         is_link(target) ? STN_CLICKED : BN_CLICKED, SendMessageW);
      return true;
    }
    case Kind::Menu:
      open_command1_menu(form, std::nullopt);
      return true;
  }
  return false;
}

HWND create_form1(HINSTANCE instance, int show_command) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = WndProc;
  window_class.hInstance = instance;
  window_class.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_TEXTQUIRL), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CYICON), LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_TEXTQUIRL), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassExW(&window_class)) return nullptr;

  // The window takes the state in WM_NCCREATE; if it never gets there the
  // handoff frees it, and after a failed WM_CREATE, WM_NCDESTROY has.
  StateHandoff<Form1> handoff{std::make_unique<Form1>()};
  const SIZE size = window_size(USER_DEFAULT_SCREEN_DPI);
  const HWND hwnd = CreateWindowExW(kExStyle, kClassName, wide(std::u16string(layout::kWindowCaption)),
                                    kStyle, CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr,
                                    nullptr, instance, &handoff);
  if (!hwnd) return nullptr;
  ShowWindow(hwnd, show_command);
  UpdateWindow(hwnd);
  return hwnd;
}

}  // namespace textquirl::win32
