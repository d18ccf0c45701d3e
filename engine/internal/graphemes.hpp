// Splitting text into user-perceived characters (extended grapheme clusters).
// Internal to the engine.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct UBreakIterator;

namespace textquirl::internal {

// Units that form a character of their own whatever stands around them:
// grapheme-cluster-break class Other, Control or LF, and neither a surrogate
// nor CR (which joins a following LF).
const std::bitset<65536>& single_unit_characters();

// True when every 16-bit unit of `text` is a character of its own: no
// surrogates, combining marks, joiners, Hangul jamo, regional indicators,
// prepended marks or CR. Such text needs no segmentation.
bool each_unit_is_a_character(std::u16string_view text);

// Finds the boundaries of the user-perceived characters of a text with ICU's
// character break iterator (root locale). The iterator is opened on first use
// and reused for every later text.
class GraphemeSplitter {
 public:
  GraphemeSplitter() = default;
  GraphemeSplitter(const GraphemeSplitter&) = delete;
  GraphemeSplitter& operator=(const GraphemeSplitter&) = delete;
  ~GraphemeSplitter();

  // Replaces `bounds` with the start offset of every character of `text`,
  // followed by text.size(): u"e\u0301a" gives {0, 2, 3}; u"" gives {0}.
  // Throws std::length_error for a text of 2^31 units or more, and
  // std::runtime_error if ICU fails.
  void split(std::u16string_view text, std::vector<std::uint32_t>& bounds);

  // The same, always asking ICU: for callers that already know the text is
  // not made of single-unit characters only.
  void split_with_icu(std::u16string_view text, std::vector<std::uint32_t>& bounds);

 private:
  UBreakIterator* iterator_ = nullptr;
};

}  // namespace textquirl::internal
