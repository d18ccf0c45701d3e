// count_draws: how many values a scramble of a text draws, found without
// scrambling it, 64 units at a time.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "engine/internal/careful.hpp"
#include "engine/internal/graphemes.hpp"
#include "engine/internal/unit_masks.hpp"
#include "engine/internal/units.hpp"
#include "engine/internal/word_rule.hpp"
#include "engine/scramble.hpp"

namespace textquirl {
namespace {

using internal::kClassBits;
using internal::kJoins;
using internal::plain_units;
using internal::PlainUnits;

// Counts the draws of the words in a text 64 units at a time: bit masks of
// the units that belong to words and of those that may join a neighbour;
// a word is a run of set bits. Only words with joining units are cut into
// characters one by one. With `kWithRule`, each word's draws are the options'
// rule's (`rule` must then be given), otherwise the classic ones.
template <bool kWithRule>
class DrawCounter {
 public:
  explicit DrawCounter(std::u16string_view text, const internal::WordRule* rule = nullptr) : text_(text), rule_(rule) {}

  std::size_t count() {
    const std::size_t n = text_.size();
    for (std::size_t base = 0; base < n; base += 64) {
      const std::size_t m = std::min<std::size_t>(64, n - base);
      std::uint64_t words = 0, joins = 0, crs = 0, lfs = 0;
      // Most units are letters that are word units of their own; the
      // rest are looked up one by one.
      std::uint64_t others = ~std::uint64_t{0} >> (64 - m);
      if (m == 64) {
        const PlainUnits plain = plain_units(text_.data() + base);
        words = plain.letters;
        others &= ~(plain.letters | plain.spaces);
      }
      for (; others != 0; others &= others - 1) {
        const auto j = static_cast<unsigned>(std::countr_zero(others));
        const char16_t c = text_[base + j];
        const std::uint8_t t = table_[c];
        words |= std::uint64_t{(t & kClassBits) == internal::kWordUnit} << j;
        joins |= std::uint64_t{(t & kJoins) != 0} << j;
        crs |= std::uint64_t{(t & kClassBits) == internal::kCarriageReturn} << j;
        lfs |= std::uint64_t{internal::completes_line_break(c)} << j;
      }
      // A CR that starts no line break belongs to a word.
      const bool lf_next = base + m < n && internal::completes_line_break(text_[base + m]);
      const std::uint64_t breaks = internal::line_break_bits(crs, lfs, lf_next);
      words = (words | (crs & ~breaks)) & ~((breaks << 1) | std::uint64_t{lf_after_break_});
      lf_after_break_ = (breaks >> 63) != 0;
      joins &= words;
      const bool goes_on = base + m < n && is_word_unit(base + m);
      add_runs(base, words, joins, goes_on);
    }
    return draws_;
  }

 private:
  bool is_word_unit(std::size_t i) const {
    if (i > 0 && internal::line_break_at(text_, i - 1)) return false;  // the LF of a line break
    const std::uint8_t cls = table_[text_[i]] & kClassBits;
    return cls == internal::kWordUnit || (cls == internal::kCarriageReturn && !internal::line_break_at(text_, i));
  }
  // The runs of set bits in `words` (units base .. base + 63), the first
  // one going on from the last block when a word was open there, the last
  // one going on into the next block when `goes_on`.
  void add_runs(std::size_t base, std::uint64_t words, std::uint64_t joins, bool goes_on) {
    if (joins == 0 && !joined_) {
      add_plain_runs(base, words, goes_on);
      return;
    }
    std::uint64_t starts = words & ~((words << 1) | std::uint64_t{open_});
    std::uint64_t ends = words & ~(words >> 1);
    if (goes_on) ends &= ~(std::uint64_t{1} << 63);
    for (; ends != 0; ends &= ends - 1) {
      const auto last = static_cast<unsigned>(std::countr_zero(ends));
      unsigned first = 0;
      if (!open_) {
        first = static_cast<unsigned>(std::countr_zero(starts));
        starts &= starts - 1;
        start_ = base + first;
      }
      const std::uint64_t span = (~std::uint64_t{0} >> (63 - last)) & (~std::uint64_t{0} << first);
      end_word(base + last + 1, joined_ || (joins & span) != 0);
    }
    if (starts != 0) {
      const auto first = static_cast<unsigned>(std::countr_zero(starts));
      open_ = true;
      start_ = base + first;
      joined_ = (joins >> first) != 0;
    } else if (open_) {
      joined_ = joined_ || joins != 0;
    }
  }

  // The same for a block without joining units, word by word only for the
  // words that cross its edges: the others, where every unit is a
  // character, add their units less two if they have four or more, which
  // bit operations find for all of them at once.
  void add_plain_runs(std::size_t base, std::uint64_t words, bool goes_on) {
    if (open_) {
      const auto first_end = static_cast<unsigned>(std::countr_one(words));
      if (first_end == 64 && goes_on) return;  // the word goes on through the block
      end_word(base + first_end, false);
      words &= first_end == 64 ? 0 : ~std::uint64_t{0} << first_end;
    }
    if (goes_on && (words >> 63) != 0) {
      const auto last_start = 64 - static_cast<unsigned>(std::countl_one(words));
      open_ = true;
      start_ = base + last_start;
      words &= (std::uint64_t{1} << last_start) - 1;  // last_start < 64: bit 63 is set
    }
    if constexpr (kWithRule) {
      while (words != 0) {  // word by word
        const auto first = static_cast<unsigned>(std::countr_zero(words));
        const auto length = static_cast<unsigned>(std::countr_one(words >> first));
        draws_ += rule_->draws(text_.substr(base + first, length), true, bounds_);
        words &= length == 64 ? 0 : ~(((std::uint64_t{1} << length) - 1) << first);
      }
      return;
    }
    const std::uint64_t four = words & (words >> 1) & (words >> 2) & (words >> 3);  // bit p: p .. p + 3 in one word
    const std::uint64_t covered = four | (four << 1) | (four << 2) | (four << 3);
    const std::uint64_t starts = four & ~(words << 1);
    draws_ += static_cast<std::size_t>(std::popcount(covered)) - 2 * static_cast<std::size_t>(std::popcount(starts));
  }

  void end_word(std::size_t end, bool joined) {
    if constexpr (kWithRule) {
      draws_ += rule_->draws(text_.substr(start_, end - start_), !joined, bounds_);
      open_ = false;
      joined_ = false;
      return;
    }
    std::size_t characters = end - start_;
    if (joined && characters > 3) {
      internal::split_graphemes_by_rules(text_.substr(start_, characters), bounds_);
      characters = bounds_.size() - 1;
    }
    draws_ += characters > 3 ? characters - 2 : 0;
    open_ = false;
    joined_ = false;
  }

  std::u16string_view text_;
  const internal::WordRule* rule_;
  const std::array<std::uint8_t, 65536>& table_ = internal::unit_table();
  bool lf_after_break_ = false;  // the next block starts with the LF of a line break
  bool open_ = false;     // a word runs on from the last block
  bool joined_ = false;   // ... and has joining units there
  std::size_t start_ = 0;  // where the open word starts
  std::size_t draws_ = 0;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace

std::size_t count_draws(std::u16string_view text, const ScrambleOptions& options) {
  validate(options);
  if (options.mode == Mode::careful) return internal::careful_count_draws(text, options);
  if (is_classic_default(options)) return DrawCounter<false>(text).count();
  const internal::WordRule rule(options);
  return DrawCounter<true>(text, &rule).count();
}

}  // namespace textquirl
