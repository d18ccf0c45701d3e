#include "web/exports.hpp"

#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "engine/line_breaks.hpp"
#include "engine/scramble.hpp"
#include "ui/form1_access.hpp"
#include "ui/form1_layout.hpp"
#include "ui/scramble_failure.hpp"

#define TEXTQUIRL_EXPORT(name) __attribute__((export_name(#name)))

namespace {

using textquirl::DefaultRandom;
namespace layout = textquirl::layout;

DefaultRandom generator;  // never seeded, as in the windows
std::u16string text;      // the page's text
std::u16string result;    // what the page reads back
bool out_of_memory = false;

constexpr char kHexDigits[] = "0123456789abcdef";

std::u16string ascii(std::string_view s) { return {s.begin(), s.end()}; }

// `s` as a JSON string, quotes included.
std::u16string json(std::u16string_view s) {
  std::u16string out = u"\"";
  for (const char16_t c : s) {
    if (c == u'"' || c == u'\\') {
      out += u'\\';
      out += c;
    } else if (c < 0x20) {
      out += u"\\u00";
      out += static_cast<char16_t>(kHexDigits[c >> 4]);
      out += static_cast<char16_t>(kHexDigits[c & 15]);
    } else {
      out += c;
    }
  }
  return out + u'"';
}

std::u16string json(int n) { return ascii(std::to_string(n)); }

std::u16string_view kind_name(layout::ControlKind kind) {
  switch (kind) {
    case layout::ControlKind::TextBox: return u"TextBox";
    case layout::ControlKind::Button: return u"Button";
    case layout::ControlKind::Label: return u"Label";
    case layout::ControlKind::LinkLabel: return u"LinkLabel";
  }
  return u"";
}

// The keys that press Command1 while Text1 has the focus (Ctrl+Enter), in
// the form of aria-keyshortcuts: u"Control+Enter". The page's own keys (Tab,
// Enter and Space on the button and links) are the browser's.
std::u16string press_shortcuts() {
  namespace access = textquirl::access;
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

std::uint32_t hand_out(std::u16string s) {
  result = std::move(s);
  return static_cast<std::uint32_t>(result.size());
}

}  // namespace

// Every allocation of the module comes here, so that a lack of memory is
// known as such when the module traps.
void* operator new(std::size_t size) {
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  out_of_memory = true;
  __builtin_trap();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

extern "C" {

TEXTQUIRL_EXPORT(textquirl_text) char16_t* textquirl_text(std::uint32_t units) {
  std::u16string().swap(result);
  text.assign(units, u'\0');
  return text.data();
}

TEXTQUIRL_EXPORT(textquirl_scramble) std::uint32_t textquirl_scramble() {
  // The page's text as the windows hand theirs to the engine: every LF
  // that does not follow a CR becomes CR LF; a lone CR stays a character.
  std::u16string crlf = textquirl::to_crlf(text);
  std::u16string().swap(text);
  std::u16string scrambled = textquirl::scramble(crlf, generator);
  std::u16string().swap(crlf);
  return hand_out(textquirl::crlf_to_lf(std::move(scrambled)));
}

TEXTQUIRL_EXPORT(textquirl_result) const char16_t* textquirl_result() { return result.data(); }

TEXTQUIRL_EXPORT(textquirl_drawn) double textquirl_drawn() { return static_cast<double>(generator.drawn()); }

TEXTQUIRL_EXPORT(textquirl_skip) void textquirl_skip(double values) {
  if (values > 0) generator.discard(static_cast<std::uint64_t>(values));
}

TEXTQUIRL_EXPORT(textquirl_out_of_memory) std::uint32_t textquirl_out_of_memory() { return out_of_memory ? 1 : 0; }

TEXTQUIRL_EXPORT(textquirl_failure_message) std::uint32_t textquirl_failure_message(std::uint32_t oom) {
  return hand_out(textquirl::scramble_failure_message(oom != 0 ? textquirl::kOutOfMemoryReason
                                                                : textquirl::kUnknownFailureReason));
}

TEXTQUIRL_EXPORT(textquirl_form) std::uint32_t textquirl_form() {
  std::u16string out = u"{\"caption\":" + json(layout::kWindowCaption);
  out += u",\"messageCaption\":" + json(textquirl::kMessageCaption);
  out += u",\"width\":" + json(layout::twips_to_pixels(layout::kClientWidthTwips, layout::kStandardDpi));
  out += u",\"height\":" + json(layout::twips_to_pixels(layout::kClientHeightTwips, layout::kStandardDpi));
  out += u",\"controls\":[";
  for (const layout::Control& c : layout::kControls) {
    const layout::Rect px = layout::pixels(c.twips, layout::kStandardDpi);
    if (&c != &layout::kControls.front()) out += u',';
    out += u"{\"name\":" + json(c.name) + u",\"kind\":" + json(kind_name(c.kind));
    out += u",\"left\":" + json(px.left) + u",\"top\":" + json(px.top);
    out += u",\"width\":" + json(px.width) + u",\"height\":" + json(px.height);
    out += u",\"caption\":" + json(layout::caption(c.id));
    out += u",\"target\":" + json(layout::link_target(c.id));
    out += u",\"accessibleName\":" + json(textquirl::access::name(c.id));
    out += u",\"keyShortcuts\":" + json(c.id == layout::ControlId::Command1 ? press_shortcuts() : std::u16string());
    out += u'}';
  }
  out += u"],\"linkFont\":{\"family\":" + json(layout::kLinkFontFamily);
  const int hundredths = static_cast<int>(layout::kLinkFontPoints * 100 + 0.5);
  out += u",\"points\":" + json(hundredths / 100) + u'.' + json(hundredths / 10 % 10) + json(hundredths % 10);
  out += u"},\"linkColour\":" + json(hex_colour(layout::kLinkColour)) + u'}';
  return hand_out(std::move(out));
}

}  // extern "C"
