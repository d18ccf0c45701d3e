// textquirl-form-json: writes Form1 as JSON to standard output, for
// make_site.mjs, which builds the web page from it. A tool of the web build,
// run on the build machine; nothing of it ships.
//
// {"caption": "Textquirl", "messageCaption": "Textquirl", "width": 546,
//  "height": 437, "controls": [{"name": "Text1", "kind": "TextBox", "left": 8,
//  …, "caption": "", "target": "", "accessibleName": "…", "keyShortcuts": ""},
//  …], "linkFont": {"family": …, "points": 8.25}, "linkColour": "#0000ff"}
// Controls in tab order, places in pixels at 96 DPI; Command1's
// keyShortcuts ("Control+Enter") are the keys that press it from Text1. Every
// character outside ASCII is written as a \u escape, so the output is ASCII.
#include <cstdio>
#include <string>
#include <string_view>

#include "ui/form1_access.hpp"
#include "ui/form1_layout.hpp"
#include "ui/scramble_failure.hpp"

namespace {

namespace layout = textquirl::layout;
namespace access = textquirl::access;

constexpr char kHexDigits[] = "0123456789abcdef";

// `s` as a JSON string, quotes included:  json(u"ä\"") == "\"\\u00e4\\\"\""
std::string json(std::u16string_view s) {
  std::string out = "\"";
  for (const char16_t c : s) {
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(c >> shift) & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + '"';
}

std::string json(int n) { return std::to_string(n); }

std::u16string_view kind_name(layout::ControlKind kind) {
  switch (kind) {
    case layout::ControlKind::TextBox: return u"TextBox";
    case layout::ControlKind::Button: return u"Button";
    case layout::ControlKind::Label: return u"Label";
    case layout::ControlKind::LinkLabel: return u"LinkLabel";
  }
  return u"";
}

// The keys that press Command1 while Text1 has the focus, in the form of
// aria-keyshortcuts: u"Control+Enter". The page's own keys (Tab, Enter and
// Space on the button and links) are the browser's.
std::u16string press_shortcuts() {
  std::u16string out;
  for (const access::KeyBinding& b : access::kKeyBindings) {
    if (b.action != access::KeyAction::PressCommand1 || b.where != access::Where::Text1) continue;
    if (!out.empty()) out += u' ';
    if (b.modifiers & access::kCtrl) out += u"Control+";
    if (b.modifiers & access::kAlt) out += u"Alt+";
    if (b.modifiers & access::kShift) out += u"Shift+";
    switch (b.key) {
      case access::Key::Tab: out += u"Tab"; break;
      case access::Key::Enter: out += u"Enter"; break;
      case access::Key::Space: out += u"Space"; break;
      case access::Key::Escape: out += u"Escape"; break;
      case access::Key::ContextMenu: out += u"ContextMenu"; break;
      case access::Key::F10: out += u"F10"; break;
    }
  }
  return out;
}

std::u16string hex_colour(layout::Colour c) {
  std::u16string out = u"#";
  for (const int v : {c.red, c.green, c.blue}) {
    out += static_cast<char16_t>(kHexDigits[(v >> 4) & 15]);
    out += static_cast<char16_t>(kHexDigits[v & 15]);
  }
  return out;
}

std::string form_json() {
  std::string out = "{\"caption\":" + json(layout::kWindowCaption);
  out += ",\"messageCaption\":" + json(textquirl::kMessageCaption);
  out += ",\"width\":" + json(layout::twips_to_pixels(layout::kClientWidthTwips, layout::kStandardDpi));
  out += ",\"height\":" + json(layout::twips_to_pixels(layout::kClientHeightTwips, layout::kStandardDpi));
  out += ",\"controls\":[";
  for (const layout::Control& c : layout::kControls) {
    const layout::Rect px = layout::pixels(c.twips, layout::kStandardDpi);
    if (&c != &layout::kControls.front()) out += ',';
    out += "{\"name\":" + json(c.name) + ",\"kind\":" + json(kind_name(c.kind));
    out += ",\"left\":" + json(px.left) + ",\"top\":" + json(px.top);
    out += ",\"width\":" + json(px.width) + ",\"height\":" + json(px.height);
    out += ",\"caption\":" + json(layout::caption(c.id));
    out += ",\"target\":" + json(layout::link_target(c.id));
    out += ",\"accessibleName\":" + json(access::name(c.id));
    out += ",\"keyShortcuts\":" + json(c.id == layout::ControlId::Command1 ? press_shortcuts() : std::u16string());
    out += '}';
  }
  out += "],\"linkFont\":{\"family\":" + json(layout::kLinkFontFamily);
  const int hundredths = static_cast<int>(layout::kLinkFontPoints * 100 + 0.5);
  out += ",\"points\":" + json(hundredths / 100) + '.' + json(hundredths / 10 % 10) + json(hundredths % 10);
  out += "},\"linkColour\":" + json(hex_colour(layout::kLinkColour)) + "}\n";
  return out;
}

}  // namespace

int main() {
  const std::string out = form_json();
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    std::fputs("textquirl-form-json: cannot write the form\n", stderr);
    return 1;
  }
  return 0;
}
