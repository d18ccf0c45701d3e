// The careful scramble on arbitrary UTF-16 input with random options. The
// first four bytes choose the seed, the next three the options (mode careful
// always; min_length, rate, always_change, and whether a word of the text is
// kept), the rest is the text. Checks on every run:
//  - the result equals the slow ICU-based version, draw for draw (for texts
//    short enough for it);
//  - only letters move: the same units, as many as in the text;
//  - well-formed input gives well-formed output;
//  - count_draws says how many values the scramble drew;
//  - the text cut into pieces (many of 0 to 3 units) and given to a
//    Scrambler gives the same result with the same number of draws.
#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/scramble.hpp"
#include "fuzz_common.hpp"
#include "tests/support/careful_reference.hpp"
#include "tests/support/engine_reference.hpp"

namespace {

using textquirl::fuzz::check;

class Counting final : public textquirl::RandomSource {
 public:
  explicit Counting(std::uint32_t seed) : inner_(seed) {}
  float next() override {
    ++draws;
    return inner_.next();
  }
  std::size_t draws = 0;

 private:
  textquirl::DefaultRandom inner_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const std::uint32_t seed = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
  textquirl::ScrambleOptions options;
  options.mode = textquirl::Mode::careful;
  options.min_length = 4 + (data[4] & 7);
  options.always_change = (data[4] & 8) != 0;
  options.rate = (data[5] & 0x80) ? 1.0 : (data[5] & 0x7F) / 127.0;
  const std::u16string text = textquirl::fuzz::units_of(data + 7, size - 7);
  if (data[6] & 1) {  // keep the first run of units up to a space, if any
    const std::size_t end = std::min(text.find(u' '), static_cast<std::size_t>(data[6] >> 1));
    if (end > 0) options.keep = {text.substr(0, std::min(end, text.size()))};
  }

  Counting random(seed);
  const std::u16string result = textquirl::scramble(text, random, options);
  check(textquirl::count_draws(text, options) == random.draws, "draws counted");
  std::u16string a = text, b = result;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  check(a == b, "only moved");
  if (textquirl::fuzz::well_formed(text)) check(textquirl::fuzz::well_formed(result), "well-formed output");

  Counting cut_random(seed);
  textquirl::Scrambler scrambler(cut_random, options);
  std::u16string cut_result;
  std::uint32_t cuts = seed;
  for (std::size_t at = 0; at < text.size();) {
    cuts = cuts * 1664525u + 1013904223u;
    const std::size_t length = (cuts >> 30) == 0 ? (cuts >> 8) % 512 : (cuts >> 8) % 4;
    const std::u16string_view piece = std::u16string_view(text).substr(at, length);
    scrambler.push(piece, cut_result);
    at += piece.size();
  }
  scrambler.push_last({}, cut_result);
  check(cut_result == result, "pieces give the whole text's result");
  check(cut_random.draws == random.draws, "pieces draw as often as the whole text");

  if (text.size() <= 2000) {
    Counting slow_random(seed);
    check(textquirl::reference::careful_scramble(text, slow_random, options) == result, "agrees with slow version");
    check(slow_random.draws == random.draws, "slow version draws as often");
  }
  return 0;
}
