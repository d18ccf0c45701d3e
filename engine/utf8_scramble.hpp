// The scramble straight on UTF-8, for front ends that hold UTF-8 (the
// filter, the libraries): no decoding to UTF-16 and no encoding back. It
// takes any valid UTF-8 with LF line breaks and no CR, in either mode, with
// any options; for a text with a CR
// the caller goes the UTF-16 road (engine/scramble.hpp), which gives the
// same. Line breaks are LF here where the UTF-16 road has CR LF:
//
//   DefaultRandom random;
//   Utf8Scrambler scrambler;
//   char out[Utf8Scrambler::room(13)];
//   scrambler.scramble("Hallo, Welt!\n", random, out);  // writes "Hlalo, Wlet! \n"
//
// is what scramble(u"Hallo, Welt!\r\n", random) == u"Hlalo, Wlet! \r\n"
// gives, encoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "options.hpp"
#include "random_source.hpp"

namespace textquirl {

class RecordRandom;

// Scrambles UTF-8 texts with one set of options; keeps its working memory
// from text to text, so that many short texts (lines, records) cost no
// allocation each. Not for several threads at once: one per thread.
class Utf8Scrambler {
 public:
  // Throws InvalidOption for options that validate() refuses.
  explicit Utf8Scrambler(const ScrambleOptions& options = {});
  Utf8Scrambler(Utf8Scrambler&&) noexcept;
  Utf8Scrambler& operator=(Utf8Scrambler&&) noexcept;
  ~Utf8Scrambler();

  // The bytes of room scramble() needs for a text of `size` bytes.
  static constexpr std::size_t room(std::size_t size) { return 2 * size + 64; }

  // Whether this road takes `valid_utf8`: no CR in it. One pass of plain
  // comparisons: takes("Grüße\n") == true;  takes("a\r\n") == false
  bool takes(std::string_view valid_utf8) const;

  // Writes to `to`, which has room(text.size()) bytes, the scramble of
  // `text`, valid UTF-8 that takes(), drawing from `random` exactly as
  // scramble(text decoded, each LF as CR LF, random, options) does: its
  // result encoded, each CR LF as LF. Returns the end of what it wrote.
  // Throws std::bad_alloc when memory runs out, WordTooLong as scramble does.
  //   scramble("eins\nzwei", random, to) writes "enis \nzwei"  // after the example above
  char* scramble(std::string_view text, DefaultRandom& random, char* to);
  char* scramble(std::string_view text, RecordRandom& random, char* to);

  // The lines of `text` as records: line k (from 0) is scrambled on its own
  // with RecordRandom(seed, RecordKey::number(first_record + k)) and written
  // with an LF after it; a last line without LF gets one, unless empty.
  // That is scramble_record() of each line, encoded. Same room and throws
  // as scramble().
  //   scramble_records("Hallo Welt\nTschüss", 5489, 1, to) writes
  //       scramble_record(u"Hallo Welt", 5489, 1) + "\n" + scramble_record(u"Tschüss", 5489, 2) + "\n", encoded
  char* scramble_records(std::string_view text, std::uint32_t seed, std::uint64_t first_record, char* to);

  // The number of values scramble(text, ...) draws, without drawing them;
  // the same as count_draws(text decoded, each LF as CR LF, options):
  //   Utf8Scrambler().count_draws("Hallo Welt\n") == 5
  std::size_t count_draws(std::string_view text);

  // scramble(text, random, to) in two steps, for callers that learn where
  // their draws begin only after they know how many there are (threads
  // that each take a part of one text): lay_out() does all but the draws
  // and returns their number, count_draws(text); shuffle() then draws them
  // and returns the end of the result. In between, `text` and `to` stay.
  //   std::size_t draws = scrambler.lay_out("Hallo Welt\n", to);  // 5
  //   random.discard(skipped);  char* end = scrambler.shuffle(random);
  std::size_t lay_out(std::string_view text, char* to);
  char* shuffle(DefaultRandom& random);

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace textquirl
