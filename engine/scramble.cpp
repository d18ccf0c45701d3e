#include "engine/scramble.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/internal/shuffle.hpp"

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

  void push(std::u16string_view text, bool last, std::u16string& out) override {
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

  // End of the word whose units run from `i`: the first space, mark or
  // line break, or n. A CR that ends an unfinished text stops the scan
  // with cr_pending_ set. Adds the units' table bits to `joins`.
  std::size_t scan_word(std::u16string_view text, std::size_t i, bool last, std::uint8_t& joins) {
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
          cr_pending_ = true;
          break;
        }
      }
      joins |= t;
    }
    return i;
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
    after_line_ = word.size() >= 2 && output.ends_with_line_break();
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

std::u16string scramble(std::u16string_view text, RandomSource& random) {
  std::u16string out;
  Scrambler(random).push_last(text, out);
  return out;
}

}  // namespace textquirl
