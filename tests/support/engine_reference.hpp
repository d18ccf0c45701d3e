// Slow, obviously correct versions of the engine, for tests and fuzzing.
//
// Each procedure follows the textbook algorithm step by step (copies of the
// whole text per hit, a fresh array per draw), and `compose_scramble` builds
// the scramble out of the four procedures: separate the punctuation with
// replace-all, split at spaces, shuffle the inside of each long word, join
// with trims, re-attach the punctuation. The fast engine must agree with it
// on every input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/random_source.hpp"
#include "engine/text_primitives.hpp"

namespace textquirl::testing {

// Always yields 0, so that every shuffle keeps the original order; counts
// its draws.
class ZeroSource final : public RandomSource {
 public:
  float next() override {
    ++draws;
    return 0.0f;
  }
  std::size_t draws = 0;
};

}  // namespace textquirl::testing

namespace textquirl::reference {

std::u16string stringreplace(std::u16string_view eingabe, std::u16string_view ersetzenvon,
                             std::u16string_view ersetzendurch);
void csv_zerlegen(std::u16string_view eingabe, StringArray& ergebnis, std::u16string& delimiter);
// Always applies the segmentation rules, with no shortcut for simple text.
void buchstaben_zerlegen(std::u16string_view eingabe, StringArray& ergebnis);
std::u16string verwurschteln(StringArray& eingabe, RandomSource& zufall);

// The four procedures a composed scramble is built from.
struct Procedures {
  std::u16string (*stringreplace)(std::u16string_view, std::u16string_view, std::u16string_view);
  void (*csv_zerlegen)(std::u16string_view, StringArray&, std::u16string&);
  void (*buchstaben_zerlegen)(std::u16string_view, StringArray&);
  std::u16string (*verwurschteln)(StringArray&, RandomSource&);
};

// The engine's own procedures, and the slow ones above.
Procedures engine_procedures();
Procedures slow_procedures();

// The scramble as a plain composition of `p`. Line breaks travel through the
// word stage as a one-unit token that does not occur in `text`; throws
// std::invalid_argument if the text uses every one of the 65536 units.
std::u16string compose_scramble(std::u16string_view text, RandomSource& random,
                                const Procedures& p = engine_procedures());

// The text without its leading and trailing spaces (U+0020 only).
//   trim(u" a b ") == u"a b"
std::u16string trim(std::u16string s);

// A unit that does not occur in `text`, for a token that must not collide
// with it (from U+E000 on); throws std::invalid_argument if every unit does.
//   unused_unit(u"abc") == u'\uE000'
char16_t unused_unit(std::u16string_view text);

}  // namespace textquirl::reference
