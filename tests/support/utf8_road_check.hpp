// The UTF-8 road (engine/utf8_scramble.hpp, and in careful mode
// engine/internal/careful_utf8.hpp) held against the UTF-16 road it stands in
// for: the text decoded with CR LF, scrambled and counted there, the result
// encoded with LF; and its records against scramble_record of each line. For
// tests and fuzzing only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/utf8.hpp"
#include "engine/options.hpp"
#include "engine/random_source.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "engine/utf8_scramble.hpp"

namespace textquirl::testing {

// What differs between the two roads for `text` (valid UTF-8 that the road
// takes), `seed` and `options`, or "" when they agree in result, draws and
// count, and per record: utf8_road_mismatch("Hallo Welt\n", 7) == "".
inline std::string utf8_road_mismatch(std::string_view text, std::uint32_t seed, const ScrambleOptions& options = {}) {
  Utf8Scrambler scrambler(options);
  std::u16string units;
  cli::append_utf16_crlf(text, false, units);
  DefaultRandom utf16_random(seed), utf8_random(seed);
  std::string expected;
  cli::append_utf8_lf(scramble(units, utf16_random, options), expected);

  std::string result(Utf8Scrambler::room(text.size()), '\0');
  result.resize(static_cast<std::size_t>(scrambler.scramble(text, utf8_random, result.data()) - result.data()));
  if (result != expected) return "result \"" + result + "\", the UTF-16 road's \"" + expected + "\"";
  if (utf8_random.drawn() != utf16_random.drawn()) return "draws differ";
  if (scrambler.count_draws(text) != count_draws(units, options)) return "count differs";
  if (scrambler.count_draws(text) != utf8_random.drawn()) return "count differs from the draws";

  DefaultRandom two_step_random(seed);
  result.assign(Utf8Scrambler::room(text.size()), '\0');
  if (scrambler.lay_out(text, result.data()) != utf8_random.drawn()) return "lay_out counts other draws";
  result.resize(static_cast<std::size_t>(scrambler.shuffle(two_step_random) - result.data()));
  if (result != expected) return "in two steps \"" + result + "\", the UTF-16 road's \"" + expected + "\"";
  if (two_step_random.drawn() != utf8_random.drawn()) return "draws in two steps differ";

  const std::uint64_t first = seed % 3;
  std::string records;
  std::uint64_t record = first;
  for (std::string_view rest = text; !rest.empty(); ++record) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    std::u16string line_units;
    cli::append_utf16_crlf(line, false, line_units);
    cli::append_utf8_lf(scramble_record(line_units, seed, RecordKey::number(record), options), records);
    records += '\n';
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
  }
  result.assign(Utf8Scrambler::room(text.size()), '\0');
  result.resize(static_cast<std::size_t>(scrambler.scramble_records(text, seed, first, result.data()) - result.data()));
  if (result != records) return "records \"" + result + "\", each line's scramble_record \"" + records + "\"";
  return "";
}

// The same for the careful scramble with `options` (its mode set to
// careful), on valid UTF-8 without CR:
//   careful_utf8_mismatch("„Hallo“ 2024\n", 7, {}) == "".
inline std::string careful_utf8_mismatch(std::string_view text, std::uint32_t seed, ScrambleOptions options) {
  options.mode = Mode::careful;
  return utf8_road_mismatch(text, seed, options);
}

}  // namespace textquirl::testing
