// What the Qt and the Win32 window share about Form1's look: the caption,
// the controls in tab order with their places in twips, their captions,
// the link labels' font and colour and the addresses they open, and the
// conversion of twips into pixels. Free of any toolkit.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace textquirl::layout {

// The controls. The values are the Win32 control IDs; the Qt window uses
// `name` as the objectName.
enum class ControlId : int { Text1 = 101, Command1, Label1, Label2, Label3 };

enum class ControlKind { TextBox, Button, Label, LinkLabel };

// A place in twips (1440 per inch) or in pixels, from the client area's
// top-left corner.
struct Rect {
  int left, top, width, height;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Control {
  ControlId id;
  std::u16string_view name;
  ControlKind kind;
  Rect twips;
};

inline constexpr std::u16string_view kWindowCaption = u"Textquirl";

// The dots per inch of a screen at 100 %: Windows' default and Qt's
// device-independent pixels.
inline constexpr int kStandardDpi = 96;

// The client area: 546 × 437 pixels at 96 DPI.
inline constexpr int kClientWidthTwips = 8190;
inline constexpr int kClientHeightTwips = 6555;

// Every control, in creation order, which is also the tab order of those that
// take the focus (Label1 does not; see ui/form1_access.hpp).
inline constexpr std::array<Control, 5> kControls = {{
    {ControlId::Text1, u"Text1", ControlKind::TextBox, {120, 120, 7935, 5535}},
    {ControlId::Command1, u"Command1", ControlKind::Button, {120, 5760, 7935, 495}},
    {ControlId::Label1, u"Label1", ControlKind::Label, {240, 6300, 2055, 255}},
    {ControlId::Label2, u"Label2", ControlKind::LinkLabel, {4560, 6300, 3495, 255}},
    {ControlId::Label3, u"Label3", ControlKind::LinkLabel, {2280, 6300, 2055, 255}},
}};

// The one command of Command1's context menu (a right-click on the button,
// the menu key or Shift+F10 while it has the focus): the careful scramble,
// onto the clipboard as the button's. `id` is the Win32 menu command, `name`
// the Qt objectName; `explanation` is the entry's tooltip and status text.
struct MenuCommand {
  int id;
  std::u16string_view name;
  std::u16string_view caption;
  std::u16string_view explanation;
};
inline constexpr MenuCommand kCarefulCommand = {
    201, u"CarefulCommand", u"Sorgfältig verwurschteln und kopieren",
    u"Mischt nur die Buchstaben im Inneren der Wörter; Satzzeichen, Ziffern, Abstände und Adressen "
    u"bleiben, wo sie sind."};

// The link labels' font: "MS Sans Serif" 8.25 pt, normal weight,
// underlined (a sans-serif stands in where it is missing), blue text.
inline constexpr std::u16string_view kLinkFontFamily = u"MS Sans Serif";
inline constexpr double kLinkFontPoints = 8.25;
struct Colour {
  int red, green, blue;
};
inline constexpr Colour kLinkColour = {0, 0, 255};

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel
// (halves up): twips_to_pixels(8190, 96) == 546, twips_to_pixels(7935, 120) == 661.
constexpr int twips_to_pixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

// A control's place in pixels at `dpi`, each value converted on its own:
// pixels({120, 120, 7935, 5535}, 96) == {8, 8, 529, 369}.
constexpr Rect pixels(const Rect& twips, int dpi) {
  return {twips_to_pixels(twips.left, dpi), twips_to_pixels(twips.top, dpi),
          twips_to_pixels(twips.width, dpi), twips_to_pixels(twips.height, dpi)};
}

// The entry of `id` in kControls.
const Control& control(ControlId id);

// The caption a control shows at start: the button's text, the copyright
// line, the web address, the mail address in parentheses; empty for Text1.
std::u16string caption(ControlId id);

// The address a link label opens: the web address for Label2, "mailto:" and
// the mail address for Label3; empty for every other control.
std::u16string link_target(ControlId id);

}  // namespace textquirl::layout
