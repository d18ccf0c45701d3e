// Words as the options want them, for the scans that take options. Internal
// to the engine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/internal/output.hpp"
#include "engine/internal/word_rule.hpp"
#include "engine/internal/word_shuffler.hpp"
#include "engine/options.hpp"

namespace textquirl::internal {

// A kept word or one too short is written as it is; an eligible one takes
// the rate's draw (below rate 1) and its shuffle's, then is written as it
// was when the rate left it, rotated when always_change finds its shuffle
// left it unchanged:
//   ZeroSource zero; ScrambleOptions o; o.always_change = true;
//   OptionWords<RandomSource>(zero, o).append_word(u"Hallo", true, out);  // writes u"Hllao"
template <class Source>
class OptionWords {
 public:
  OptionWords(Source& random, const ScrambleOptions& options) : random_(random), shuffler_(random), rule_(options) {}

  // As WordShuffler::append_word; callers reserve room for the word first.
  void append_word(std::u16string_view word, bool simple, Output& out) {
    bounds_.clear();
    if (rule_.kept(word) || !rule_.eligible(rule_.characters(word, simple, bounds_))) {
      out.put(word);
      return;
    }
    const bool scrambled = rule_.draw_scrambled(random_);
    char16_t* const start = out.cursor();  // the room is reserved: the word's units stay here
    shuffler_.append_word(word, simple, out);
    if (!scrambled) {
      std::copy(word.begin(), word.end(), start);
    } else if (rule_.always_change() && std::equal(word.begin(), word.end(), start)) {
      rotate_inner(start, word.size(), bounds_);
    }
  }

 private:
  Source& random_;
  WordShuffler<Source> shuffler_;
  WordRule rule_;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace textquirl::internal
