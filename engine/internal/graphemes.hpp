// Splitting text into user-perceived characters (extended grapheme clusters,
// of the Unicode version in grapheme_table.hpp, with the Indic conjunct rule
// of ICU 72's root rules). Internal to the engine.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/internal/grapheme_table.hpp"

namespace textquirl::internal {

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

// Replaces `bounds` with the start offset of every user-perceived character
// of `text`, followed by text.size(): u"e\u0301a" gives {0, 2, 3}; u"" gives
// {0}. A lone surrogate counts as a code point of its own (class Other), as
// in ICU. Fails with WordTooLong (kSplit) for a text of 2^31 units or more.
void split_graphemes(std::u16string_view text, std::vector<std::uint32_t>& bounds);

// The same, always applying the rules: for callers that already know the
// text is not made of single-unit characters only.
void split_graphemes_by_rules(std::u16string_view text, std::vector<std::uint32_t>& bounds);

}  // namespace textquirl::internal
