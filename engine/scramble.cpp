#include "engine/scramble.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/internal/shuffle.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The scramble works in one left-to-right pass over the text. It cuts the
// text into tokens: punctuation marks (each one a token of its own), line
// breaks (CR LF) and words (maximal runs of everything else but spaces), and
// writes each token with at most one space before it:
//   - no space at the start, and no space after a line break;
//   - no space after an opening mark "(" or "[";
//   - no space before any other mark (these close: "Hallo," "Welt!");
//   - otherwise exactly one space, however many stood in the text, and none
//     when a word and a mark touched.
// A word whose shuffled letters happen to end in CR LF counts as ending a
// line too. Words of four or more characters keep their first and last
// character; the characters between are shuffled. The text may come in
// pieces: a word still open at the end of a piece, or a CR there, waits for
// the next one.

namespace textquirl {
namespace {

enum UnitClass : std::uint8_t { kWordUnit = 0, kSpace, kClosingMark, kOpeningMark, kCarriageReturn };

// Per 16-bit unit: its class in the low bits, and kJoins when the unit may
// belong to a character of several units (see each_unit_is_a_character).
constexpr std::uint8_t kClassBits = 7;
constexpr std::uint8_t kJoins = 8;

std::unique_ptr<std::array<std::uint8_t, 65536>> build_unit_table() {
  auto table = std::make_unique<std::array<std::uint8_t, 65536>>();
  const auto& single = internal::single_unit_characters();
  for (std::size_t c = 0; c < table->size(); ++c) (*table)[c] = single[c] ? std::uint8_t{kWordUnit} : kJoins;
  constexpr char16_t kClosing[] = u".,!?\"'\u00A7%&/:-)]\u00B4`=";
  for (const char16_t c : kClosing) {
    if (c != 0) (*table)[c] = kClosingMark;
  }
  (*table)[u'('] = kOpeningMark;
  (*table)[u'['] = kOpeningMark;
  (*table)[u' '] = kSpace;
  (*table)[u'\r'] = kCarriageReturn | kJoins;
  return table;
}

const std::array<std::uint8_t, 65536>& unit_table() {
  static const std::unique_ptr<std::array<std::uint8_t, 65536>> table = build_unit_table();
  return *table;
}

// The output under construction: appended to the caller's text through a
// cursor, grown (rarely: texts with many marks touching words) when a token
// might not fit, and cut to what was written when it goes out of scope.
class Output {
 public:
  Output(std::u16string& text, std::size_t expected) : text_(text), length_(text.size()) {
    text_.resize(length_ + expected);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { text_.resize(length_); }

  // Makes room for `units` more units at the cursor.
  void reserve_more(std::size_t units) {
    if (units > text_.size() - length_) text_.resize(std::max(text_.size() + text_.size() / 2, length_ + units));
  }
  // Callers reserve first.
  void put(char16_t c) { text_[length_++] = c; }
  void put(std::u16string_view s) {
    char16_t* to = text_.data() + length_;
    for (const char16_t c : s) *to++ = c;  // mostly short: cheaper than a memmove call
    length_ += s.size();
  }
  // The cursor, for callers that write many units in a row (reserved
  // first) and then move it with advance_to.
  char16_t* cursor() { return text_.data() + length_; }
  void advance_to(const char16_t* to) { length_ = static_cast<std::size_t>(to - text_.data()); }
  bool ends_with_line_break() const {
    return length_ >= 2 && text_[length_ - 2] == u'\r' && text_[length_ - 1] == u'\n';
  }

 private:
  std::u16string& text_;
  std::size_t length_;
};

// End of the word whose units run from `i`: the first space, mark or line
// break, or text.size(). A CR that ends a text not `last` stops the scan
// with `cr_pending` set. Adds the units' table bits to `joins`.
std::size_t scan_word(std::u16string_view text, std::size_t i, bool last, std::uint8_t& joins, bool& cr_pending) {
  const auto& table = unit_table();
  const std::size_t n = text.size();
  for (; i < n; ++i) {
    const std::uint8_t t = table[text[i]];
    const std::uint8_t k = t & kClassBits;
    if (k != kWordUnit) {
      if (k != kCarriageReturn) break;
      if (i + 1 < n) {
        if (text[i + 1] == u'\n') break;
      } else if (!last) {
        cr_pending = true;
        break;
      }
    }
    joins |= t;
  }
  return i;
}

template <class Source>
class WordShuffler {
 public:
  explicit WordShuffler(Source& random) : random_(random) {}

  // Appends `word` with its inner characters shuffled. `simple` says that
  // each unit of the word is a character of its own.
  // Callers reserve room for the word first.
  void append_word(std::u16string_view word, bool simple, Output& out_) {
    if (word.size() <= 3) {  // three units are at most three characters
      out_.put(word);
      return;
    }
    if (simple) {
      const std::u16string_view middle = word.substr(1, word.size() - 2);
      // Through a local cursor, which stays in a register during the shuffle.
      char16_t* to = out_.cursor();
      *to++ = word.front();
      internal::shuffle_values(
          middle.size(), random_, [&](std::size_t i) { return middle[i]; }, [&](char16_t c) { *to++ = c; });
      *to++ = word.back();
      out_.advance_to(to);
      return;
    }
    splitter_.split_by_rules(word, bounds_);
    const std::size_t characters = bounds_.size() - 1;
    if (characters <= 3) {
      out_.put(word);
      return;
    }
    out_.put(word.substr(0, bounds_[1]));
    // Each inner character goes through the shuffle as one value: up to
    // three units packed with their count (so that a long word's shuffle
    // reads them block by block, not from random places), a longer one as
    // its number, with count 0.
    const auto pack = [&](std::size_t i) {
      const std::uint32_t start = bounds_[i + 1], length = bounds_[i + 2] - start;
      if (length > 3) return std::uint64_t{i} << 2;
      std::uint64_t packed = length;
      for (std::uint32_t u = 0; u < length; ++u) packed |= std::uint64_t{word[start + u]} << (16 * (u + 1));
      return packed;
    };
    internal::shuffle_values(characters - 2, random_, pack, [&](std::uint64_t packed) {
      const auto length = static_cast<unsigned>(packed & 3);
      if (length == 0) {
        const std::size_t i = packed >> 2;
        out_.put(word.substr(bounds_[i + 1], bounds_[i + 2] - bounds_[i + 1]));
      }
      for (unsigned u = 1; u <= length; ++u) out_.put(static_cast<char16_t>(packed >> (16 * u)));
    });
    out_.put(word.substr(bounds_[characters - 1]));
  }

 private:
  Source& random_;
  internal::GraphemeSplitter splitter_;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace

class Scrambler::Impl {
 public:
  virtual ~Impl() = default;
  // Scrambles the next piece; `last` ends the text.
  virtual void push(std::u16string_view piece, bool last, std::u16string& out) = 0;
};

namespace {

// The scan over the pieces. What crosses a cut: whether anything was written
// yet, whether the last token was an opening mark or a line break, and an
// unfinished word (its units so far, whether any of them may join a
// neighbour, and whether a CR stands after it that the next unit decides).
template <class Source>
class PieceScrambler final : public Scrambler::Impl {
 public:
  explicit PieceScrambler(Source& random) : words_(random) {}

  // Flattened: the helpers it calls are compiled into it, which keeps the
  // output's cursor and the scan's state in registers (about a tenth
  // faster on prose).
  [[gnu::flatten]] void push(std::u16string_view text, bool last, std::u16string& out) override {
    const auto& table = unit_table();
    Output output(out, text.size() + text.size() / 8 + 16);
    const std::size_t n = text.size();
    std::size_t i = 0;
    if (open_word()) i = continue_word(text, last, output);

    while (i < n) {
      const char16_t c = text[i];
      const std::uint8_t cls = table[c] & kClassBits;
      if (cls == kSpace) {
        ++i;
        continue;
      }
      const bool line_break = cls == kCarriageReturn && i + 1 < n && text[i + 1] == u'\n';
      if (line_break) {
        put_line_break(output);
        i += 2;
      } else if (cls == kClosingMark || cls == kOpeningMark) {
        output.reserve_more(2);
        if (cls == kOpeningMark) put_space(output);
        output.put(c);
        first_ = false;
        after_opening_ = cls == kOpeningMark;
        after_line_ = false;
        ++i;
      } else {
        const std::size_t start = i;
        std::uint8_t joins = 0;
        i = scan_word(text, i, last, joins);
        if (cr_pending_ || (i == n && !last)) {  // the word may go on in the next piece
          carried_.assign(text.substr(start, i - start));
          joins_ = joins;
          return;
        }
        put_word(text.substr(start, i - start), (joins & kJoins) == 0, output);
      }
    }
    if (last) reset();
  }

 private:
  bool open_word() const { return cr_pending_ || !carried_.empty(); }

  std::size_t scan_word(std::u16string_view text, std::size_t i, bool last, std::uint8_t& joins) {
    return textquirl::scan_word(text, i, last, joins, cr_pending_);
  }

  // Goes on with the word (or lone CR) held back from the last piece;
  // returns where the scan of `text` resumes.
  std::size_t continue_word(std::u16string_view text, bool last, Output& output) {
    std::size_t i = 0;
    if (cr_pending_) {
      if (text.empty() && !last) return 0;
      cr_pending_ = false;
      if (!text.empty() && text[0] == u'\n') {
        if (!carried_.empty()) put_word(carried_, (joins_ & kJoins) == 0, output);
        carried_.clear();
        put_line_break(output);
        return 1;
      }
      carried_.push_back(u'\r');
      joins_ |= unit_table()[u'\r'];
    }
    i = scan_word(text, 0, last, joins_);
    carried_.append(text.substr(0, i));
    if (cr_pending_ || (i == text.size() && !last)) return text.size();  // still unfinished
    put_word(carried_, (joins_ & kJoins) == 0, output);
    carried_.clear();
    return i;
  }

  // Writes the space the rules put before a word, a line break or an
  // opening mark. Callers reserve first.
  void put_space(Output& output) {
    if (!first_ && !after_opening_ && !after_line_) output.put(u' ');
  }

  void put_line_break(Output& output) {
    output.reserve_more(3);
    put_space(output);
    output.put(u"\r\n");
    first_ = false;
    after_opening_ = false;
    after_line_ = true;
  }

  void put_word(std::u16string_view word, bool simple, Output& output) {
    output.reserve_more(word.size() + 1);
    put_space(output);
    first_ = false;
    words_.append_word(word, simple, output);
    after_opening_ = false;
    // Only a word with a CR in it (which makes it not simple) can end so.
    after_line_ = !simple && word.size() >= 2 && output.ends_with_line_break();
  }

  void reset() {
    first_ = true;
    after_opening_ = false;
    after_line_ = false;
    cr_pending_ = false;
    carried_.clear();
    joins_ = 0;
  }

  WordShuffler<Source> words_;
  bool first_ = true;           // nothing written yet
  bool after_opening_ = false;  // the last token was "(" or "["
  bool after_line_ = false;     // the output ends with a line break
  bool cr_pending_ = false;     // the last piece ended in a CR not yet decided
  std::u16string carried_;      // the unfinished word
  std::uint8_t joins_ = 0;      // table bits of carried_'s units
};

std::unique_ptr<Scrambler::Impl> make_impl(RandomSource& random) {
  // The programs' own generator is called directly, without a virtual call
  // per draw.
  if (auto* fixed = dynamic_cast<DefaultRandom*>(&random)) return std::make_unique<PieceScrambler<DefaultRandom>>(*fixed);
  return std::make_unique<PieceScrambler<RandomSource>>(random);
}

}  // namespace

Scrambler::Scrambler(RandomSource& random) : impl_(make_impl(random)) {}
Scrambler::Scrambler(Scrambler&&) noexcept = default;
Scrambler& Scrambler::operator=(Scrambler&&) noexcept = default;
Scrambler::~Scrambler() = default;

void Scrambler::push(std::u16string_view piece, std::u16string& out) { impl_->push(piece, false, out); }
void Scrambler::push_last(std::u16string_view piece, std::u16string& out) { impl_->push(piece, true, out); }

namespace {

// Of 64 units: bit j of `letters` set where units[j] is certainly a word
// unit of its own (an ASCII letter or digit, or a letter of U+00C0 ..
// U+024F), bit j of `spaces` where it is a space. (Without SSE2 neither;
// every unit is then looked up.)
struct PlainUnits {
  std::uint64_t letters = 0, spaces = 0;
};
PlainUnits plain_units(const char16_t* units) {
  PlainUnits found;
#if defined(__SSE2__)
  // x - low < count, unsigned, per lane
  const auto in_range = [](__m128i x, short low, short count) {
    const __m128i offset = _mm_sub_epi16(x, _mm_set1_epi16(low));
    return _mm_cmpeq_epi16(_mm_subs_epu16(offset, _mm_set1_epi16(static_cast<short>(count - 1))), _mm_setzero_si128());
  };
  const auto plain = [&](const char16_t* at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return _mm_or_si128(_mm_or_si128(in_range(_mm_or_si128(x, _mm_set1_epi16(0x20)), 'a', 26), in_range(x, '0', 10)),
                        in_range(x, 0xC0, 0x250 - 0xC0));
  };
  const auto space = [](const char16_t* at) {
    return _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi16(' '));
  };
  const auto bits = [](__m128i low, __m128i high) {
    return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)))};
  };
  for (unsigned j = 0; j < 64; j += 16) {
    found.letters |= bits(plain(units + j), plain(units + j + 8)) << j;
    found.spaces |= bits(space(units + j), space(units + j + 8)) << j;
  }
#else
  (void)units;
#endif
  return found;
}

// Counts the draws of the words in a text 64 units at a time: bit masks of
// the units that belong to words and of those that may join a neighbour;
// a word is a run of set bits. Only words with joining units are cut into
// characters one by one.
class DrawCounter {
 public:
  explicit DrawCounter(std::u16string_view text) : text_(text) {}

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
        words |= std::uint64_t{(t & kClassBits) == kWordUnit} << j;
        joins |= std::uint64_t{(t & kJoins) != 0} << j;
        crs |= std::uint64_t{(t & kClassBits) == kCarriageReturn} << j;
        lfs |= std::uint64_t{c == u'\n'} << j;
      }
      // CR LF is a line break; any other CR belongs to a word.
      const bool lf_next = base + m < n && text_[base + m] == u'\n';
      const std::uint64_t breaks = crs & ((lfs >> 1) | (std::uint64_t{lf_next} << 63));
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
    if (text_[i] == u'\n' && i > 0 && text_[i - 1] == u'\r') return false;
    const std::uint8_t cls = table_[text_[i]] & kClassBits;
    return cls == kWordUnit || (cls == kCarriageReturn && (i + 1 == text_.size() || text_[i + 1] != u'\n'));
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
    const std::uint64_t four = words & (words >> 1) & (words >> 2) & (words >> 3);  // bit p: p .. p + 3 in one word
    const std::uint64_t covered = four | (four << 1) | (four << 2) | (four << 3);
    const std::uint64_t starts = four & ~(words << 1);
    draws_ += static_cast<std::size_t>(std::popcount(covered)) - 2 * static_cast<std::size_t>(std::popcount(starts));
  }

  void end_word(std::size_t end, bool joined) {
    std::size_t characters = end - start_;
    if (joined && characters > 3) {
      splitter_.split_by_rules(text_.substr(start_, characters), bounds_);
      characters = bounds_.size() - 1;
    }
    draws_ += characters > 3 ? characters - 2 : 0;
    open_ = false;
    joined_ = false;
  }

  std::u16string_view text_;
  const std::array<std::uint8_t, 65536>& table_ = unit_table();
  bool lf_after_break_ = false;  // the next block starts with the LF of a line break
  bool open_ = false;     // a word runs on from the last block
  bool joined_ = false;   // ... and has joining units there
  std::size_t start_ = 0;  // where the open word starts
  std::size_t draws_ = 0;
  internal::GraphemeSplitter splitter_;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace

std::size_t count_draws(std::u16string_view text) { return DrawCounter(text).count(); }

std::u16string scramble(std::u16string_view text, RandomSource& random) {
  std::u16string out;
  Scrambler(random).push_last(text, out);
  return out;
}

}  // namespace textquirl
