// The careful scramble straight on UTF-8, for front ends that hold UTF-8
// (the filter): no decoding of the whole text to UTF-16 and no encoding
// back. Tokens of characters of one UTF-16 unit each (ASCII, the Latin
// letters, „“ – € ...) are scrambled where they lie; a token with a
// character of several units or of a script written without spaces goes
// through the careful scan of engine/internal/careful.hpp, decoded alone.
// Line breaks are LF here where the UTF-16 road has CR LF. Internal to the
// engine.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/options.hpp"

namespace textquirl::internal {

class DeferredShuffles;

// Writes to `to` (room for text.size() bytes, apart from `text`: the careful
// scramble never changes the length) the careful scramble of `text`, valid UTF-8 with LF
// line breaks and no CR in it, drawing from `random` exactly as
// scramble(text decoded with each LF as CR LF, random, options) does with
// options.mode careful (the mode itself is not looked at), its result
// encoded with each CR LF as LF. Returns the end of what it wrote.
// Instantiated for DefaultRandom and RecordRandom (engine/record.hpp).
//   DefaultRandom random;  char out[32];
//   careful_scramble_utf8("„Hallo“ 2024\n", random, {}, out) writes "„Hlalo“ 2024\n"
template <class Source>
char* careful_scramble_utf8(std::string_view text, Source& random, const ScrambleOptions& options, char* to);

// careful_scramble_utf8 with the default options in two steps: writes
// `text` to `to` as it is and notes its words in `shuffles`; then
// shuffles.shuffle(random) gives the result, drawing shuffles.draws()
// values. False, with nothing usable written, for a text longer than
// DeferredShuffles::kLongest or with a character of several UTF-16 units
// (the one-step scramble's business).
//   careful_lay_out_utf8("„Hallo“ 2024\n", to, shuffles) == true;  shuffles.draws() == 3
bool careful_lay_out_utf8(std::string_view text, char* to, DeferredShuffles& shuffles);

// The number of values careful_scramble_utf8(text, ..., options, ...)
// draws, without drawing them; the same as count_draws(text decoded with
// each LF as CR LF, options) in careful mode:
//   careful_count_draws_utf8("„Hallo“ 2024\n", {}) == 3
std::size_t careful_count_draws_utf8(std::string_view text, const ScrambleOptions& options);

}  // namespace textquirl::internal
