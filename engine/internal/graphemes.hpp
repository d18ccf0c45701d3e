// Splitting text into user-perceived characters (extended grapheme clusters,
// Unicode 15.0, with the Indic conjunct rule of ICU 72's root rules).
// Internal to the engine.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace textquirl::internal {

// A code point's grapheme properties, one byte: the Grapheme_Cluster_Break
// class in the low bits (kClassMask) and the flags below.
enum GraphemeClass : std::uint8_t {
  kOther, kCR, kLF, kControl, kExtend, kZwj, kRegionalIndicator, kPrepend, kSpacingMark,
  kL, kV, kT, kLV, kLVT,
};
inline constexpr std::uint8_t kClassMask = 0x0F;
inline constexpr std::uint8_t kPictographic = 0x10;     // Extended_Pictographic
inline constexpr std::uint8_t kConjunctExtend = 0x20;   // Extend with a combining class, or ZWJ
inline constexpr std::uint8_t kVirama = 0x40;           // virama of the six conjunct scripts
inline constexpr std::uint8_t kConsonant = 0x80;        // linking consonant of the same scripts

// The properties of code point `c` (up to 0x10FFFF; a lone surrogate has
// its own entry): grapheme_properties(U'\u0301') == kExtend | kConjunctExtend.
std::uint8_t grapheme_properties(char32_t c);

// Units that form a character of their own whatever stands around them:
// grapheme-cluster-break class Other, Control or LF, and neither a surrogate
// nor CR (which joins a following LF).
const std::bitset<65536>& single_unit_characters();

// True when every 16-bit unit of `text` is a character of its own: no
// surrogates, combining marks, joiners, Hangul jamo, regional indicators,
// prepended marks or CR. Such text needs no segmentation.
bool each_unit_is_a_character(std::u16string_view text);

// Finds the boundaries of the user-perceived characters of a text. A lone
// surrogate counts as a code point of its own (class Other), as in ICU.
class GraphemeSplitter {
 public:
  // Replaces `bounds` with the start offset of every character of `text`,
  // followed by text.size(): u"e\u0301a" gives {0, 2, 3}; u"" gives {0}.
  // Throws std::length_error for a text of 2^31 units or more.
  void split(std::u16string_view text, std::vector<std::uint32_t>& bounds);

  // The same, always applying the rules: for callers that already know the
  // text is not made of single-unit characters only.
  void split_by_rules(std::u16string_view text, std::vector<std::uint32_t>& bounds);
};

}  // namespace textquirl::internal
