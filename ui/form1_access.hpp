// What Form1 offers a person who works with the keyboard or a screen reader,
// shared by the Qt and the Win32 window: each control's role, name and
// description for assistive technology, the tab order, and the window's keys
// as a table. Free of any toolkit; texts are UTF-16.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "ui/form1_layout.hpp"

namespace textquirl::access {

using layout::ControlId;
using layout::ControlKind;

// ---- Assistive technology

// What a control is to a screen reader. The window itself is a Window.
enum class Role { Window, EditableText, PushButton, StaticText, Link };

// The window's accessible name: its caption, u"Textquirl".
inline constexpr std::u16string_view kWindowName = layout::kWindowCaption;

// Text1 shows no caption; this is what a screen reader announces for it.
inline constexpr std::u16string_view kText1Name = u"Text zum Verwurschteln";

// A control's one action, as a click does it: `name` as assistive technology
// calls it (the usual name for the role), `label` as a person reads it.
struct Action {
  std::u16string_view name;
  std::u16string_view label;
};
inline constexpr Action kButtonAction = {u"press", u"Drücken"};
inline constexpr Action kLinkAction = {u"jump", u"Öffnen"};

// The role of a control by its kind: role(ControlId::Text1) == Role::EditableText
// (multi-line), role(ControlId::Label2) == Role::Link.
Role role(ControlId id);

// The accessible name: kText1Name for Text1, the caption for every other
// control: name(ControlId::Label3) == u"(info@example.org)".
std::u16string name(ControlId id);

// The accessible description: a link's address (link_target), empty for every
// other control: description(ControlId::Label3) == u"mailto:info@example.org".
std::u16string description(ControlId id);

// The action of a control that a click sets off: kButtonAction for
// Command1, kLinkAction for Label2 and Label3, none for Text1 and Label1.
std::optional<Action> action(ControlId id);

// ---- Focus

// Whether a control of this kind takes the keyboard focus: all but a plain label.
constexpr bool takes_focus(ControlKind kind) { return kind != ControlKind::Label; }

// How many controls take the focus: 4.
inline constexpr std::size_t kFocusableCount = static_cast<std::size_t>(std::count_if(
    layout::kControls.begin(), layout::kControls.end(),
    [](const layout::Control& c) { return takes_focus(c.kind); }));

// The controls that take the focus, in tab order: Text1, Command1, Label2, Label3.
inline constexpr std::array<ControlId, kFocusableCount> kTabOrder = [] {
  std::array<ControlId, kFocusableCount> order{};
  std::size_t n = 0;
  for (const layout::Control& c : layout::kControls) {
    if (takes_focus(c.kind)) order[n++] = c.id;
  }
  return order;
}();

// The control Tab (or, `backwards`, Shift+Tab) moves the focus to from
// `from`, wrapping round at either end; from no control (the window itself
// or a control that takes no focus) the first or, backwards, the last:
// next_in_tab_order(ControlId::Label3, false) == ControlId::Text1.
ControlId next_in_tab_order(std::optional<ControlId> from, bool backwards);

// ---- Keys

enum class Key { Tab, Enter, Space, Escape, ContextMenu, F10 };

// Modifier keys held with a key, as a bit set.
enum Modifiers : unsigned { kNoModifier = 0, kShift = 1, kCtrl = 2, kAlt = 4 };
// In a binding: whatever modifiers are held.
inline constexpr unsigned kAnyModifiers = ~0u;

// Where the focus must be for a binding.
enum class Where { Anywhere, Text1, Command1, Link };

enum class KeyAction {
  PassOn,         // the focused control handles the key as usual
  Nothing,        // the key is swallowed
  FocusNext,      // the focus moves on in tab order
  FocusPrevious,  // the focus moves back in tab order
  PressCommand1,  // as a click on Command1 (Text1 keeps its text)
  OpenLink,       // as a click on the focused link label
  OpenMenu,       // opens the focused control's context menu (layout::kCarefulCommand)
};

struct KeyBinding {
  Key key;
  unsigned modifiers;  // exactly these held, or kAnyModifiers
  Where where;
  KeyAction action;
};

// The window's keys. Any other key, and these keys elsewhere or with other
// modifiers, go to the focused control as usual (Enter in Text1 starts a new
// line). Closing stays with the window's frame (the ×, Alt+F4, the system menu).
inline constexpr std::array<KeyBinding, 10> kKeyBindings = {{
    {Key::Tab, kNoModifier, Where::Anywhere, KeyAction::FocusNext},
    {Key::Tab, kShift, Where::Anywhere, KeyAction::FocusPrevious},
    {Key::Enter, kNoModifier, Where::Command1, KeyAction::PressCommand1},
    // Space presses the button too, but the button does that itself, as
    // buttons do, when Space is released.
    {Key::Space, kNoModifier, Where::Command1, KeyAction::PassOn},
    {Key::Enter, kCtrl, Where::Text1, KeyAction::PressCommand1},
    {Key::Enter, kNoModifier, Where::Link, KeyAction::OpenLink},
    {Key::Space, kNoModifier, Where::Link, KeyAction::OpenLink},
    {Key::ContextMenu, kNoModifier, Where::Command1, KeyAction::OpenMenu},
    {Key::F10, kShift, Where::Command1, KeyAction::OpenMenu},
    // Escape never closes the window and never reaches Text1.
    {Key::Escape, kAnyModifiers, Where::Anywhere, KeyAction::Nothing},
}};

// What `key` with `modifiers` does while `focused` has the focus (nullopt:
// the window itself), from the first matching row of kKeyBindings:
// key_action(ControlId::Text1, Key::Enter, kCtrl) == KeyAction::PressCommand1,
// key_action(ControlId::Text1, Key::Enter, kNoModifier) == KeyAction::PassOn.
KeyAction key_action(std::optional<ControlId> focused, Key key, unsigned modifiers);

// What a window does with a key press: pass it on to the focused control,
// swallow it, move the focus to `control`, click `control` (the button or
// a link) as the mouse does, or open `control`'s context menu.
struct KeyResponse {
  enum class Kind { PassOn, Swallow, Focus, Click, Menu };
  Kind kind;
  ControlId control;  // for Focus and Click
  friend bool operator==(const KeyResponse&, const KeyResponse&) = default;
};

// key_action resolved for the window: the control to focus or click. A held
// key's repeats (`repeat`) click nothing:
// respond_to_key(ControlId::Text1, Key::Enter, kCtrl, false)
//     == KeyResponse{KeyResponse::Kind::Click, ControlId::Command1},
// respond_to_key(ControlId::Command1, Key::F10, kShift, false)
//     == KeyResponse{KeyResponse::Kind::Menu, ControlId::Command1}.
KeyResponse respond_to_key(std::optional<ControlId> focused, Key key, unsigned modifiers,
                           bool repeat);

}  // namespace textquirl::access
