// The web page's way into the engine: what the WebAssembly module exports,
// under C names, for the page's scripts. The module holds one generator for
// its whole life, so that the n-th press after the page loads gives the n-th
// press of a freshly started desktop window, and two buffers of UTF-16 in its
// memory: the text going in and the text coming out.
//
//   char16_t* in = textquirl_text(n);        // the page writes n units there
//   std::uint32_t m = textquirl_scramble();  // m units at textquirl_result()
//
// The npm package uses the same module with options (textquirl_set_options),
// generators started from a seed (textquirl_seed) and records, each with a
// generator of its own (textquirl_scramble_record, …_record_text).
//
// Nothing here throws. When memory runs out the module traps; the page then
// starts a fresh instance and skips its generator to where the old one stood
// (textquirl_drawn, textquirl_skip).
#pragma once

#include <cstdint>

extern "C" {

// Room for a text of `units` UTF-16 units, which the page writes at the
// address returned; drops the previous text and result.
//   char16_t* in = textquirl_text(5);  // in[0] … in[4] for the page to fill
char16_t* textquirl_text(std::uint32_t units);

// Scrambles the text written last (line breaks as LF or CR LF; the engine
// gets CR LF, as in the windows) with the module's generator and options; the
// result, with LF line breaks, stands at textquirl_result(). Returns its length.
//   first press after loading, text u"eins\nzwei": returns 10, u"enis \nzwei"
//   (the filter's first scramble of the same text)
std::uint32_t textquirl_scramble();

// The options of the scrambles that follow (at the start the engine's
// defaults, textquirl_defaults()): mode 0 classic, 1 careful; the shortest
// word scrambled; the share of words scrambled; always_change 0 or 1; the
// words to keep, separated by LF, as the first `keep_units` units of the text
// written last (textquirl_text(keep_units) first; the text is used up).
// Returns 0 when they are taken, else the number of the first one the engine
// refuses, and the options stay as they were:
//   1 mode, 2 min_length (below 4), 3 rate (not within 0..1),
//   4 always_change (not 0 or 1), 5 keep_units (more than the text written)
//   textquirl_set_options(0, 3, 1.0, 0, 0) == 2
std::uint32_t textquirl_set_options(std::uint32_t mode, std::uint32_t min_length, double rate,
                                    std::uint32_t always_change, std::uint32_t keep_units);

// The engine's default options and seed as JSON at textquirl_result();
// returns its length:
//   {"seed":5489,"mode":0,"minLength":4,"rate":1,"alwaysChange":false}
std::uint32_t textquirl_defaults();

// Starts the module's generator afresh from `seed` (textquirl_drawn() is 0
// again); the generator of a fresh instance is that of textquirl_seed(5489).
void textquirl_seed(std::uint32_t seed);

// Scrambles the text written last as the record with the integer key `key`
// (a BigInt from JavaScript), with a generator of its own made from `seed`
// and `key`, and the module's options; the module's generator is not
// touched. The result (LF line breaks) stands at textquirl_result(); returns
// its length. Line k of `textquirl-cli --seed S --per-line` is record k.
//   "Hallo Welt", seed 5489, key 1 -> the filter's first line for it
std::uint32_t textquirl_scramble_record(std::uint32_t seed, std::uint64_t key);

// Room for a text key of `units` UTF-16 units, which the caller writes at
// the address returned (kept until the next call of textquirl_key).
char16_t* textquirl_key(std::uint32_t units);

// textquirl_scramble_record with the text key written last (as UTF-8 to
// the engine). Returns the result's length, or 0xFFFFFFFF, when the key
// holds a lone surrogate, which no UTF-8 can carry (the text is then used up
// and nothing drawn).
std::uint32_t textquirl_scramble_record_text(std::uint32_t seed);

// Where the last result (or message, or defaults) stands.
const char16_t* textquirl_result();

// How many values the generator has given so far (exact as a double up to
// 2^53, far beyond what any page draws).
double textquirl_drawn();

// Skips `values` values of the generator: a fresh instance given the old
// one's textquirl_drawn() goes on where that one stood.
void textquirl_skip(double values);

// 1 once an allocation has failed (the trap follows at once), else 0. The
// page asks the trapped instance, to tell a lack of memory from a fault.
std::uint32_t textquirl_out_of_memory();

// The German message of a failed scramble, as every window shows it, at
// textquirl_result(); returns its length. With `out_of_memory` 1:
//   "Der Text konnte nicht verwurschtelt werden.\n\nDer Text ist zu groß …"
std::uint32_t textquirl_failure_message(std::uint32_t out_of_memory);

}  // extern "C"
