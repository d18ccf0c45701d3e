// A slow, obviously correct careful scramble, for tests and fuzzing: the
// whole text cut into characters by ICU, every character looked up in ICU's
// property data, each decision taken on its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/random_source.hpp"

namespace textquirl::reference {

// The careful scramble of `text`: each word (a run of characters whose first
// code point is a letter) of at least `min_length` (and four) characters
// keeps its first and last character; the ones between are shuffled with
// reference::verwurschteln. Whole tokens between white space that are web or
// mail addresses, and words with a letter of a script written without
// spaces, are left as they are:
//   ZeroSource zero;  careful_scramble(u"„Hallo“ 7:30", zero, 4) == u"„Hallo“ 7:30"
std::u16string careful_scramble(std::u16string_view text, RandomSource& random, std::size_t min_length);

}  // namespace textquirl::reference
