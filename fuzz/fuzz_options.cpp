// The scramble with options on arbitrary UTF-16 input. Bytes 0-3 choose the
// seed, byte 4 the options (min_length, rate, always_change, how many of the
// text's first space-separated pieces to keep), the rest is the text. Checks:
//  - the result and the draws equal those of the slow version (for texts
//    short enough for it);
//  - count_draws says how many values the scramble drew;
//  - the text cut into pieces and given to a Scrambler gives the same result;
//  - a record's generator gives the same result through scramble_record.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "fuzz_common.hpp"
#include "tests/support/options_reference.hpp"

namespace {

using textquirl::fuzz::check;

// Counts the draws of the generator it passes on.
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

textquirl::ScrambleOptions options_of(std::uint8_t byte, std::u16string_view text) {
  textquirl::ScrambleOptions options;
  options.min_length = 4 + (byte & 3);
  constexpr double kRates[] = {1.0, 0.0, 0.5, 0.9};
  options.rate = kRates[(byte >> 2) & 3];
  options.always_change = (byte >> 4) & 1;
  for (unsigned k = byte >> 5; k > 0 && !text.empty(); --k) {
    const std::size_t space = text.find(u' ');
    options.keep.emplace_back(text.substr(0, space));
    text.remove_prefix(space == std::u16string_view::npos ? text.size() : space + 1);
  }
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::uint32_t seed = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
  const std::u16string text = textquirl::fuzz::units_of(data + 5, size - 5);
  const textquirl::ScrambleOptions options = options_of(data[4], text);

  Counting random(seed);
  const std::u16string result = textquirl::scramble(text, random, options);
  check(textquirl::count_draws(text, options) == random.draws, "draws counted");
  if (text.size() <= 4096) {
    Counting slow(seed);
    check(textquirl::reference::scramble_with_options(text, slow, options) == result, "the slow version's result");
    check(slow.draws == random.draws, "the slow version's draws");
  }

  textquirl::DefaultRandom cut_random(seed);
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
  check(cut_random.drawn() == random.draws, "pieces draw as often as the whole text");

  const textquirl::RecordKey key = textquirl::RecordKey::number(seed);
  textquirl::RecordRandom record_random(seed, key);
  check(textquirl::scramble_record(text, seed, key, options) == textquirl::scramble(text, record_random, options),
        "a record's result");
  return 0;
}
