// What the options decide for one word: kept, too short, scrambled or left
// after its draws, and the rotation that makes an unchanged word change.
// Shared by every way of finding words (each mode) and by the count of
// draws. Internal to the engine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/options.hpp"

namespace textquirl::internal {

// The options for one word at a time. A word not kept and of at least
// min_length characters is eligible: below rate 1 it first draws r (scrambled
// when r < rate), then its shuffle draws one value per inner character,
// whether or not the result is used.
//   ScrambleOptions o; o.min_length = 5; o.rate = 0.5; WordRule rule(o);
//   rule.draws(u"Hund", true, bounds) == 0;  rule.draws(u"Hallo", true, bounds) == 4
class WordRule {
 public:
  explicit WordRule(const ScrambleOptions& options)
      : min_length_(options.min_length), rate_(options.rate), rate_draw_(options.rate < 1.0 ? 1 : 0),
        always_change_(options.always_change), keep_(options.keep) {
    std::sort(keep_.begin(), keep_.end());
    keep_.erase(std::unique(keep_.begin(), keep_.end()), keep_.end());
    for (const std::u16string& word : keep_) {
      shortest_kept_ = std::min(shortest_kept_, word.size());
      longest_kept_ = std::max(longest_kept_, word.size());
    }
  }

  std::size_t min_length() const { return min_length_; }
  bool rate_draws() const { return rate_draw_ != 0; }
  bool always_change() const { return always_change_; }

  // Whether `word` is one of the words to keep.
  bool kept(std::u16string_view word) const {
    if (word.size() < shortest_kept_ || word.size() > longest_kept_) return false;
    const auto at = std::lower_bound(keep_.begin(), keep_.end(), word,
                                     [](const std::u16string& a, std::u16string_view b) { return a < b; });
    return at != keep_.end() && *at == word;
  }

  // The number of characters of `word`, at least as far as eligibility
  // needs: a word of fewer units than min_length is not split. `simple`
  // says that each unit is a character; otherwise `bounds` is left holding
  // the word's character bounds (split_graphemes_by_rules) when it was split.
  std::size_t characters(std::u16string_view word, bool simple, std::vector<std::uint32_t>& bounds) const {
    if (simple || word.size() < min_length_) return word.size();
    split_graphemes_by_rules(word, bounds);
    return bounds.size() - 1;
  }

  bool eligible(std::size_t characters) const { return characters >= min_length_; }

  // The draws a word takes: none when kept or too short, else the rate's
  // one (below 1) and its inner characters'.
  std::size_t draws(std::u16string_view word, bool simple, std::vector<std::uint32_t>& bounds) const {
    if (kept(word)) return 0;
    const std::size_t n = characters(word, simple, bounds);
    const std::size_t taken = n - 2 + rate_draw_;
    return eligible(n) ? taken : 0;  // no branch: word lengths are hard to predict
  }

  // The rate's draw for an eligible word: whether it is scrambled. Draws one
  // value below rate 1, none at 1.
  template <class Source>
  bool draw_scrambled(Source& random) const {
    if (!rate_draws()) return true;
    return static_cast<double>(random.next()) < rate_;
  }

 private:
  std::size_t min_length_;
  double rate_;
  std::size_t rate_draw_;  // 1 below rate 1, else 0
  bool always_change_;
  std::vector<std::u16string> keep_;  // sorted, no repeats
  std::size_t shortest_kept_ = SIZE_MAX, longest_kept_ = 0;
};

// Rotates the inner characters of a word of at least three characters left by
// one place, in place: `units` is the word, `bounds` its character bounds
// (for a word whose units are its characters, pass an empty `bounds`).
//   u"Hallo" -> u"Hllao"
inline void rotate_inner(char16_t* units, std::size_t size, const std::vector<std::uint32_t>& bounds) {
  if (bounds.empty()) {
    std::rotate(units + 1, units + 2, units + size - 1);
    return;
  }
  const std::size_t characters = bounds.size() - 1;
  std::rotate(units + bounds[1], units + bounds[2], units + bounds[characters - 1]);
}

}  // namespace textquirl::internal
