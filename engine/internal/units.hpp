// How the scramble sees each 16-bit unit of a text, and where a line ends:
// the one home of the punctuation marks and of the line-break rule, shared
// by the scan that scrambles and the count of its draws. Internal to the
// engine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace textquirl::internal {

// A unit's class in the low bits of its table entry (kClassBits).
enum UnitClass : std::uint8_t {
  kWordUnit = 0,    // belongs to a word: letters, digits, tabs, other signs
  kSpace,           // U+0020 only
  kClosingMark,     // stands right after the word before it: "Hallo," "Welt!"
  kOpeningMark,     // stands right before the word after it: "(Klammer"
  kCarriageReturn,  // starts a line break when an LF follows, else a word unit
};
inline constexpr std::uint8_t kClassBits = 7;
// Set in a unit's entry when it may belong to a character of several units
// (a surrogate, a combining mark, a joiner, CR ...): a word holding one is
// cut into characters by the segmentation rules.
inline constexpr std::uint8_t kJoins = 8;

// The marks held apart from the words. Straight quotes count as closing.
inline constexpr std::u16string_view kClosingMarks = u".,!?\"'\u00A7%&/:-)]\u00B4`=";
inline constexpr std::u16string_view kOpeningMarks = u"([";

// The class and kJoins bit of every unit:
//   unit_table()[u'a'] == kWordUnit;  unit_table()[u','] == kClosingMark
//   unit_table()[u'\u0301'] == (kWordUnit | kJoins)
const std::array<std::uint8_t, 65536>& unit_table();

// A line break is CR LF; a lone CR or LF is part of a word.
inline constexpr char16_t kCrUnit = u'\r', kLfUnit = u'\n';

// Whether `next`, the unit after a CR, makes it a line break, for scanners
// that have the CR already: completes_line_break(u'\n') == true.
constexpr bool completes_line_break(char16_t next) { return next == kLfUnit; }

// Whether a line break starts at text[i]:
//   line_break_at(u"a\r\nb", 1) == true;  line_break_at(u"a\rb", 1) == false
inline bool line_break_at(std::u16string_view text, std::size_t i) {
  return i + 1 < text.size() && text[i] == kCrUnit && completes_line_break(text[i + 1]);
}

// Whether `text` ends with a line break: ends_with_line_break(u"a\r\n") == true.
inline bool ends_with_line_break(std::u16string_view text) {
  return text.size() >= 2 && text[text.size() - 2] == kCrUnit && text[text.size() - 1] == kLfUnit;
}

// The same rule for 64 units at once: given bit masks of the CRs and of the
// units that complete a line break (LFs) among them, and whether such a unit
// follows the last one, the bits of the CRs that start a line break:
// line_break_bits(0b001, 0b010, false) == 0b001.
constexpr std::uint64_t line_break_bits(std::uint64_t crs, std::uint64_t lfs, bool lf_after) {
  return crs & ((lfs >> 1) | (std::uint64_t{lf_after} << 63));
}

// Units that are certainly word units of their own (no mark, no space, never
// joining a neighbour), for fast paths that test many units at once: the
// ASCII letters and digits and the Latin letters U+00C0 .. U+024F.
struct UnitRange {
  char16_t first, last;
};
inline constexpr std::array<UnitRange, 4> kPlainWordUnits = {{
    {u'A', u'Z'}, {u'a', u'z'}, {u'0', u'9'}, {u'\u00C0', u'\u024F'}}};

constexpr bool is_plain_word_unit(char16_t c) {
  for (const UnitRange& r : kPlainWordUnits) {
    if (c >= r.first && c <= r.last) return true;
  }
  return false;
}

}  // namespace textquirl::internal
