// A slow, obviously correct careful scramble, for tests and fuzzing: the
// whole text cut into characters by ICU, every character looked up in ICU's
// property data, each decision taken on its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/options.hpp"
#include "engine/random_source.hpp"

namespace textquirl::reference {

// The careful scramble of `text` (options.mode is not looked at): each word
// (a run of characters whose first code point is a letter) that is not kept
// and has at least options.min_length characters draws for the rate (below
// 1), then keeps its first and last character while the ones between are
// shuffled with reference::verwurschteln, and rotated by one when
// always_change finds them unchanged. Whole tokens between white space that
// are web or mail addresses, and words with a letter of a script written
// without spaces, are left as they are:
//   ZeroSource zero;  careful_scramble(u"„Hallo“ 7:30", zero, {}) == u"„Hallo“ 7:30"
std::u16string careful_scramble(std::u16string_view text, RandomSource& random, const ScrambleOptions& options);

}  // namespace textquirl::reference
