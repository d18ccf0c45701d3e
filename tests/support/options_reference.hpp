// The scramble with options, slow and obviously correct, for tests and
// fuzzing: the plain composition of the four slow procedures that
// compose_scramble (tests/support/engine_reference.hpp) follows, with the options applied
// word by word as they read.
#pragma once

#include <string>
#include <string_view>

#include "engine/options.hpp"
#include "engine/random_source.hpp"

namespace textquirl::reference {

// Separates the marks and line breaks, splits at spaces, then for each word:
// kept words and words of fewer than min_length characters stay; an
// eligible word draws r below rate 1, then its inner characters are shuffled
// (drawing one value each); the shuffle stands when r < rate (always at rate
// 1), rotated left by one place when always_change finds it unchanged and
// the inner characters not all equal. Joins and re-attaches the marks.
// With the default options it equals compose_scramble.
std::u16string scramble_with_options(std::u16string_view text, RandomSource& random, const ScrambleOptions& options);

}  // namespace textquirl::reference
