// Random sources and random texts for the engine tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/internal/units.hpp"
#include "engine/random_source.hpp"
#include "tests/support/engine_reference.hpp"

namespace textquirl::testing {

// The default generator, counting its draws.
class CountingSource final : public RandomSource {
 public:
  explicit CountingSource(std::uint32_t seed = DefaultRandom::kDefaultSeed) : inner_(seed) {}
  float next() override {
    ++draws;
    return inner_.next();
  }
  std::size_t draws = 0;

 private:
  DefaultRandom inner_;
};

// Pieces a random text is made of: plain letters (most of them), every
// punctuation mark (the engine's own list), signs that are no marks, spaces,
// line breaks, lone CR and LF, a literal "\n", and characters that are more
// than one unit or join with their neighbours.
inline const std::vector<std::u16string>& text_pieces() {
  static const std::vector<std::u16string> pieces = [] {
    std::vector<std::u16string> p = {
        u"a", u"b", u"e", u"n", u"r", u"s", u"t", u"K", u"W", u"\u00E4", u"\u00DF", u"3",
        u"a", u"e", u"i", u"o", u"u", u"l", u"m", u"h", u"d", u"c", u"g", u"z",
        u" ", u" ", u" ", u" ", u" ", u"  ", u"\r\n", u"\r\n",
        u"$", u"#", u"*", u";", u"_",
        u"\\", u"\\n", u"\t", u"\r", u"\n", std::u16string(1, u'\0'),
        u"\u0301", u"e\u0301", u"\U0001F600", u"\U0001F469\u200D\U0001F4BB",
        u"\U0001F1E9\U0001F1EA", u"\u1100\u1161\u11A8", u"\u00A0", u"\uFEFF", u"\u0915\u094D",
    };
    for (const std::u16string_view marks : {internal::kClosingMarks, internal::kOpeningMarks}) {
      for (const char16_t mark : marks) p.emplace_back(1, mark);
    }
    return p;
  }();
  return pieces;
}

// A random text of up to `max_pieces` pieces.
inline std::u16string random_text(std::mt19937& gen, std::size_t max_pieces) {
  const auto& pieces = text_pieces();
  std::uniform_int_distribution<std::size_t> count(0, max_pieces);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::u16string text;
  for (std::size_t i = count(gen); i > 0; --i) text += pieces[pick(gen)];
  return text;
}

}  // namespace textquirl::testing
