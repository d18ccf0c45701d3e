// Textquirl's scramble engine: the whole text in, the scrambled text out.
//
// In every word of more than three characters the first and last character
// stay and the ones between are shuffled. Punctuation is held apart from the
// words and put back; runs of spaces shrink to one; line breaks (CR LF)
// survive, with one space before each and none after. Characters are
// user-perceived characters (extended grapheme clusters).
//
//   DefaultRandom random;
//   scramble(u"Hallo, Welt!", random)  // e.g. u"Hlalo, Wlet!"
//   scramble(u"eins\r\nzwei", random)  // u"e??s \r\nz??i": space before, none after
#pragma once

#include <string>
#include <string_view>

#include "engine/letter_shuffle.hpp"
#include "engine/random_source.hpp"
#include "engine/text_primitives.hpp"

namespace textquirl {

// Scrambles `text` (line breaks as CR LF), drawing from `random` one value per
// character moved, word by word from the start. Linear in the text's length
// (a single very long word: n log n). Throws std::bad_alloc when memory runs
// out; `text` is never changed.
std::u16string scramble(std::u16string_view text, RandomSource& random);

}  // namespace textquirl
