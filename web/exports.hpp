// The web page's way into the engine: what the WebAssembly module exports,
// under C names, for the page's scripts. The module holds one generator for
// its whole life, so that the n-th press after the page loads gives the n-th
// press of a freshly started desktop window, and two buffers of UTF-16 in its
// memory: the text going in and the text coming out.
//
//   char16_t* in = textquirl_text(n);        // the page writes n units there
//   std::uint32_t m = textquirl_scramble();  // m units at textquirl_result()
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
// gets CR LF, as in the windows) with the module's generator; the result,
// with LF line breaks, stands at textquirl_result(). Returns its length.
//   first press after loading, text u"eins\nzwei": returns 10, u"enis \nzwei"
//   (the filter's first scramble of the same text)
std::uint32_t textquirl_scramble();

// Where the last result (or message) stands.
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
