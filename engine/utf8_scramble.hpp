// The classic scramble straight on UTF-8, for front ends that hold UTF-8
// (the filter): no decoding to UTF-16 and no encoding back. It takes the
// texts most prose is made of, those of characters below U+0800 (Latin,
// Greek, Cyrillic, Hebrew, Arabic ...) with LF line breaks; for others the
// caller goes the UTF-16 road (engine/scramble.hpp), which gives the same.
// Line breaks are LF here where the UTF-16 road has CR LF:
//
//   DefaultRandom random;
//   char out[26];
//   scramble_utf8("Hallo, Welt!\n", random, out);  // writes "Hlalo, Wlet! \n"
//
// is what scramble(u"Hallo, Welt!\r\n", random) == u"Hlalo, Wlet! \r\n"
// gives, encoded.
#pragma once

#include <cstddef>
#include <string_view>

#include "random_source.hpp"

namespace textquirl {

// Whether the UTF-8 road takes `valid_utf8`: no character from U+0800 on
// and no CR in it. One pass of plain comparisons:
//   utf8_road_takes("Grüße\n") == true;  utf8_road_takes("a\r\n") == false;
//   utf8_road_takes("\xE2\x82\xAC") == false  // the euro sign, U+20AC
bool utf8_road_takes(std::string_view valid_utf8);

// Writes to `to`, which has room for 2 * text.size() bytes, the classic
// scramble (default options) of `text`, valid UTF-8 that utf8_road_takes,
// drawing from `random` exactly as scramble(text decoded, each LF as CR LF,
// random) does: its result encoded, each CR LF as LF. Returns the end of
// what it wrote. Throws std::bad_alloc when memory runs out.
//   scramble_utf8("eins\nzwei", random, to) writes "enis \nzwei"  // after the example above
char* scramble_utf8(std::string_view text, DefaultRandom& random, char* to);

// The number of values scramble_utf8(text, ...) draws, without drawing them;
// the same as count_draws(text decoded, each LF as CR LF):
//   count_draws_utf8("Hallo Welt\n") == 5
std::size_t count_draws_utf8(std::string_view text);

}  // namespace textquirl
