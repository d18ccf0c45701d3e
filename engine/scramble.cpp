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
// character; the characters between are shuffled.

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

// The output under construction: a buffer written through a cursor, grown
// (rarely: texts with many marks touching words) when a token might not fit.
class Output {
 public:
  explicit Output(std::size_t expected) : text_(expected, u'\0') {}

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
  bool ends_with_line_break() const {
    return length_ >= 2 && text_[length_ - 2] == u'\r' && text_[length_ - 1] == u'\n';
  }
  std::u16string finish() && {
    text_.resize(length_);
    return std::move(text_);
  }

 private:
  std::u16string text_;
  std::size_t length_ = 0;
};

template <class Source>
class Scrambler {
 public:
  Scrambler(Source& random, Output& out) : random_(random), out_(out) {}

  // Appends `word` with its inner characters shuffled. `simple` says that
  // each unit of the word is a character of its own.
  void append_word(std::u16string_view word, bool simple) {
    out_.reserve_more(word.size());
    if (word.size() <= 3) {  // three units are at most three characters
      out_.put(word);
      return;
    }
    if (simple) {
      const std::u16string_view middle = word.substr(1, word.size() - 2);
      out_.put(word.front());
      internal::shuffle_indices(middle.size(), random_, [&](std::size_t i) { out_.put(middle[i]); });
      out_.put(word.back());
      return;
    }
    splitter_.split_by_rules(word, bounds_);
    const std::size_t characters = bounds_.size() - 1;
    if (characters <= 3) {
      out_.put(word);
      return;
    }
    out_.put(word.substr(0, bounds_[1]));
    internal::shuffle_indices(characters - 2, random_, [&](std::size_t i) {
      out_.put(word.substr(bounds_[i + 1], bounds_[i + 2] - bounds_[i + 1]));
    });
    out_.put(word.substr(bounds_[characters - 1]));
  }

 private:
  Source& random_;
  Output& out_;
  internal::GraphemeSplitter splitter_;
  std::vector<std::uint32_t> bounds_;
};

template <class Source>
std::u16string scramble_with(std::u16string_view text, Source& random) {
  const auto& table = unit_table();
  Output out(text.size() + text.size() / 8 + 16);
  Scrambler<Source> scrambler(random, out);

  bool first = true;           // nothing written yet
  bool after_opening = false;  // the last token was "(" or "["
  bool after_line = false;     // the output ends with a line break
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = text[i];
    const std::uint8_t cls = table[c] & kClassBits;
    if (cls == kSpace) {
      ++i;
      continue;
    }
    const bool line_break = cls == kCarriageReturn && i + 1 < n && text[i + 1] == u'\n';
    const bool mark = cls == kClosingMark || cls == kOpeningMark;
    out.reserve_more(3);
    if (!first && !after_opening && !after_line && cls != kClosingMark) out.put(u' ');
    first = false;

    if (line_break) {
      out.put(u"\r\n");
      i += 2;
      after_opening = false;
      after_line = true;
    } else if (mark) {
      out.put(c);
      ++i;
      after_opening = cls == kOpeningMark;
      after_line = false;
    } else {
      const std::size_t start = i;
      std::uint8_t joins = 0;
      for (; i < n; ++i) {
        const std::uint8_t t = table[text[i]];
        const std::uint8_t k = t & kClassBits;
        if (k != kWordUnit && (k != kCarriageReturn || (i + 1 < n && text[i + 1] == u'\n'))) break;
        joins |= t;
      }
      const bool simple = (joins & kJoins) == 0;
      const std::u16string_view word = text.substr(start, i - start);
      scrambler.append_word(word, simple);
      after_opening = false;
      after_line = word.size() >= 2 && out.ends_with_line_break();
    }
  }
  return std::move(out).finish();
}

}  // namespace

std::u16string scramble(std::u16string_view text, RandomSource& random) {
  // The programs' own generator is called directly, without a virtual call
  // per draw.
  if (auto* fixed = dynamic_cast<DefaultRandom*>(&random)) return scramble_with(text, *fixed);
  return scramble_with(text, random);
}

}  // namespace textquirl
