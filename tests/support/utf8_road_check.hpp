// The UTF-8 roads of the classic scramble (engine/utf8_scramble.hpp) and of
// the careful one (engine/internal/careful_utf8.hpp) held against the UTF-16
// road they stand in for: the text decoded with CR LF,
// scrambled and counted there, the result encoded with LF. For tests and
// fuzzing only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/utf8.hpp"
#include "engine/internal/careful_utf8.hpp"
#include "engine/options.hpp"
#include "engine/random_source.hpp"
#include "engine/scramble.hpp"
#include "engine/utf8_scramble.hpp"

namespace textquirl::testing {

// What differs between the two roads for `text` (valid UTF-8 that
// utf8_road_takes) and `seed`, or "" when they agree in result, draws and
// count: utf8_road_mismatch("Hallo Welt\n", 7) == "".
inline std::string utf8_road_mismatch(std::string_view text, std::uint32_t seed) {
  std::u16string units;
  cli::append_utf16_crlf(text, false, units);
  DefaultRandom utf16_random(seed), utf8_random(seed);
  std::string expected;
  cli::append_utf8_lf(scramble(units, utf16_random), expected);

  std::string result(2 * text.size(), '\0');
  result.resize(static_cast<std::size_t>(scramble_utf8(text, utf8_random, result.data()) - result.data()));
  if (result != expected) return "result \"" + result + "\", the UTF-16 road's \"" + expected + "\"";
  if (utf8_random.drawn() != utf16_random.drawn()) return "draws differ";
  if (count_draws_utf8(text) != count_draws(units)) return "count differs";
  if (count_draws_utf8(text) != utf8_random.drawn()) return "count differs from the draws";
  return "";
}

// The same for the careful scramble with `options` (its mode set to
// careful), on valid UTF-8 without CR:
//   careful_utf8_mismatch("„Hallo“ 2024\n", 7, {}) == "".
inline std::string careful_utf8_mismatch(std::string_view text, std::uint32_t seed, ScrambleOptions options) {
  options.mode = Mode::careful;
  std::u16string units;
  cli::append_utf16_crlf(text, false, units);
  DefaultRandom utf16_random(seed), utf8_random(seed);
  std::string expected;
  cli::append_utf8_lf(scramble(units, utf16_random, options), expected);

  std::string result(text.size(), '\0');
  result.resize(static_cast<std::size_t>(
      internal::careful_scramble_utf8(text, utf8_random, options, result.data()) - result.data()));
  if (result != expected) return "result \"" + result + "\", the UTF-16 road's \"" + expected + "\"";
  if (utf8_random.drawn() != utf16_random.drawn()) return "draws differ";
  const std::size_t count = internal::careful_count_draws_utf8(text, options);
  if (count != count_draws(units, options)) return "count differs";
  if (count != utf8_random.drawn()) return "count differs from the draws";
  return "";
}

}  // namespace textquirl::testing
