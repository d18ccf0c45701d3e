// What a scramble may be asked to do besides its classic default: scramble
// only words from a given length, only a share of them, never leave a word as
// it was, leave given words alone. The default options give the classic
// scramble, result for result and draw for draw.
//
//   ScrambleOptions options;
//   options.min_length = 6;          // "Hallo" (5 characters) stays
//   options.keep = {u"Textquirl"};   // and so does "Textquirl"
//   validate(options);               // fine; min_length = 3 would throw InvalidOption
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace textquirl {

// How words are found and shuffled. `classic`: a word is a run of characters
// between spaces, line breaks and the marks held apart; spacing is
// normalised. `careful`: a word is a run of letters; only letters move,
// inside words; everything else (punctuation, digits, symbols, white space,
// web and mail addresses, words of scripts written without spaces) stays
// where it is, nothing added or taken away:
//   careful: in „Anführungszeichen“ only the letters between A and n move;
//   "E-Mail-Adresse" keeps its hyphens; "7:30 Uhr", "2024", "info@example.org" stay
enum class Mode : std::uint8_t { classic, careful };

struct ScrambleOptions {
  Mode mode = Mode::classic;
  // The shortest word scrambled, in characters; at least 4.
  std::size_t min_length = 4;
  // The share of eligible words (those of at least min_length characters)
  // that are scrambled, 0 to 1. Below 1 each eligible word first draws r
  // and is scrambled when r < rate; its shuffle's draws are taken either way.
  double rate = 1.0;
  // When a shuffle leaves a word's inner characters as they were and they
  // are not all equal, they are rotated left by one place (the first inner
  // character goes to the end of the inside), without a further draw.
  bool always_change = false;
  // Words left exactly as they are, compared with whole words, unit for unit
  // (case-sensitive); a kept word takes no draws.
  std::vector<std::u16string> keep;
};

// Throws InvalidOption (engine/error.hpp) naming the first field out of
// range: "mode" (not one of the modes), "min_length" (below 4), "rate" (not within 0..1).
//   ScrambleOptions o; o.rate = 1.5; validate(o) throws, option() == "rate"
void validate(const ScrambleOptions& options);

// What validate() checks, without throwing, for builds and callers without
// exceptions: the name validate() would give, or nullptr when all are fine.
//   ScrambleOptions o; o.min_length = 3; invalid_option(o) == std::string_view("min_length")
const char* invalid_option(const ScrambleOptions& options) noexcept;

// Whether `options` are the classic default in effect (keep empty, nothing
// else changed), so that the scramble can take its fastest path.
bool is_classic_default(const ScrambleOptions& options);

}  // namespace textquirl
