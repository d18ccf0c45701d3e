// Textquirl's scramble engine: the whole text in, the scrambled text out.
//
// In every word of more than three characters the first and last character
// stay and the ones between are shuffled. Punctuation is held apart from the
// words and put back; runs of spaces shrink to one; line breaks (CR LF)
// survive, with one space before each and none after. Characters are
// user-perceived characters (extended grapheme clusters).
//
//   DefaultRandom random;
//   scramble(u"Hallo, Welt!", random) == u"Hlalo, Wlet!"
//   scramble(u"eins\r\nzwei", random) == u"enis \r\nzwei"  // space before, none after
//
// `Scrambler` does the same for a text that arrives in pieces, cut anywhere,
// and hands the result out piece by piece.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "error.hpp"
#include "options.hpp"
#include "random_source.hpp"

namespace textquirl {

// Scrambles `text` (line breaks as CR LF), drawing from `random` one value per
// character moved, word by word from the start; `options` (engine/options.hpp)
// choose which words and how, the default being the classic scramble. Linear
// in the text's length (a single very long word: n log n). Throws
// std::bad_alloc when memory runs out, WordTooLong for a word beyond the
// engine's indices, InvalidOption for options that validate() refuses; `text`
// is never changed.
//   ScrambleOptions o; o.keep = {u"Hallo"};
//   scramble(u"Hallo Hallo!", random, o) == u"Hallo Hallo!"  // no draws taken
std::u16string scramble(std::u16string_view text, RandomSource& random, const ScrambleOptions& options = {});

// The number of values scramble(text, random, options) draws: with the
// default options, for each word of four or more characters, its characters
// less two; otherwise for each word not kept and of at least min_length
// characters, its characters less two, and one more below rate 1. Throws
// InvalidOption as scramble does. A text cut right after a line break
// (CR LF) scrambles as its two parts do apart, the second part drawing from
// where the first leaves off, so the parts of a long text may be scrambled
// side by side:
//   DefaultRandom first, second, whole;
//   second.discard(count_draws(u"Hallo Welt\r\n"));
//   scramble(u"Hallo Welt\r\n", first) + scramble(u"tschüss", second)
//       == scramble(u"Hallo Welt\r\ntschüss", whole)
std::size_t count_draws(std::u16string_view text, const ScrambleOptions& options = {});

// Scrambles a text given in pieces. Whatever the cuts (inside a word, between
// CR and LF, inside a character of several units), the pieces of the result
// put together equal scramble(whole text), with the same draws in the same
// order. A piece ending inside a word, or in a CR, is held back until the
// next piece decides it; the rest of the result goes out at once.
//   DefaultRandom random;
//   Scrambler s(random);
//   std::u16string out;
//   s.push(u"Hallo, We", out);  // out == u"Hlalo,": "We" may go on
//   s.push_last(u"lt!", out);   // out == u"Hlalo, Wlet!"
class Scrambler {
 public:
  // Draws from `random`, which must outlive the scrambler, with `options`
  // (copied). Throws InvalidOption for options that validate() refuses.
  explicit Scrambler(RandomSource& random, const ScrambleOptions& options = {});
  Scrambler(Scrambler&&) noexcept;
  Scrambler& operator=(Scrambler&&) noexcept;
  ~Scrambler();

  // Scrambles `piece`, the next part of the text, and appends to `out` the
  // part of the result that no later piece can change. Throws
  // std::bad_alloc when memory runs out.
  void push(std::u16string_view piece, std::u16string& out);
  // Like push for the last piece (which may be empty), then ends the text:
  // appends the rest of the result. The scrambler then starts a new text.
  void push_last(std::u16string_view piece, std::u16string& out);

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace textquirl
