// The classic scramble with the default options in two steps, on UTF-8
// without CR: lay_out() writes the text as the scan would, spaces and all,
// each word still in order, and notes the words to shuffle with the number
// of their first draw; shuffle() then takes all the draws at once and
// shuffles each word where it lies, the words of one length together, so
// that their shuffles run without a branch that depends on the length.
// Between the two steps a caller learns where its draws begin (the
// filter's threads lay out side by side). Internal to the engine.
//
//   ClassicLayout layout;
//   bool space = false;
//   layout.lay_out("Hallo  Welt\n", to, space);  // true; draws() == 5
//   layout.shuffle(random);                      // to: "Hlalo Wlet \n", as the scan writes it
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/internal/deferred_shuffles.hpp"
#include "engine/random_source.hpp"

namespace textquirl::internal {

class ClassicLayout {
 public:
  // The longest text lay_out() takes.
  static constexpr std::size_t kLongest = DeferredShuffles::kLongest;

  // Writes `text` (valid UTF-8, no CR) to `to` (room for 2 * size + 64
  // bytes) with the words not yet shuffled; `space` says whether a word
  // here gets a space before it, on entry and on return, as the scan's
  // flag. False, with nothing usable written and `space` as it was, for a
  // text longer than kLongest or with a character that may join a
  // neighbour (the scan's own business).
  bool lay_out(std::string_view text, char* to, bool& space);

  // The draws shuffle() takes, after lay_out() returned true.
  std::size_t draws() const { return shuffles_.draws(); }

  // Shuffles the laid-out words with the next draws() values of `random`,
  // as the scan would have drawn them; `text` and `to` must be as lay_out()
  // left them. Returns the end of the result.
  char* shuffle(DefaultRandom& random);

 private:
  DeferredShuffles shuffles_;
  char* end_ = nullptr;
};

}  // namespace textquirl::internal
