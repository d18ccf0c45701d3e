// The UTF-8 road of the classic scramble (engine/utf8_scramble.hpp) held
// against the UTF-16 road it stands in for: the text decoded with CR LF,
// scrambled and counted there, the result encoded with LF. For tests and
// fuzzing only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/utf8.hpp"
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

}  // namespace textquirl::testing
