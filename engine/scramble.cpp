#include "engine/scramble.hpp"

#include <array>
#include <cstdint>
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

constexpr std::array<std::uint8_t, 256> make_unit_classes() {
  std::array<std::uint8_t, 256> classes{};
  constexpr char16_t kClosing[] = u".,!?\"'\u00A7%&/:-)]\u00B4`=";
  for (const char16_t c : kClosing) {
    if (c != 0) classes[c] = kClosingMark;
  }
  classes[u'('] = kOpeningMark;
  classes[u'['] = kOpeningMark;
  classes[u' '] = kSpace;
  classes[u'\r'] = kCarriageReturn;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kUnitClasses = make_unit_classes();

inline std::uint8_t unit_class(char16_t c) { return c < 256 ? kUnitClasses[c] : std::uint8_t{kWordUnit}; }

class Scrambler {
 public:
  Scrambler(RandomSource& random, std::u16string& out) : random_(random), out_(out) {}

  // Appends `word` with its inner characters shuffled. `simple` says that
  // each unit of the word is a character of its own.
  void append_word(std::u16string_view word, bool simple) {
    if (simple) {
      const std::size_t n = word.size();
      if (n <= 3) {
        out_.append(word);
        return;
      }
      const std::u16string_view middle = word.substr(1, n - 2);
      out_.push_back(word.front());
      internal::shuffle_indices(middle.size(), random_, [&](std::size_t i) { out_.push_back(middle[i]); });
      out_.push_back(word.back());
      return;
    }
    splitter_.split(word, bounds_);
    const std::size_t characters = bounds_.size() - 1;
    if (characters <= 3) {
      out_.append(word);
      return;
    }
    out_.append(word.substr(0, bounds_[1]));
    internal::shuffle_indices(characters - 2, random_, [&](std::size_t i) {
      out_.append(word.substr(bounds_[i + 1], bounds_[i + 2] - bounds_[i + 1]));
    });
    out_.append(word.substr(bounds_[characters - 1]));
  }

 private:
  RandomSource& random_;
  std::u16string& out_;
  internal::GraphemeSplitter splitter_;
  std::vector<std::size_t> bounds_;
};

}  // namespace

std::u16string scramble(std::u16string_view text, RandomSource& random) {
  const auto& single = internal::single_unit_characters();
  std::u16string out;
  out.reserve(text.size() + text.size() / 8 + 16);
  Scrambler scrambler(random, out);

  bool first = true;           // nothing written yet
  bool after_opening = false;  // the last token was "(" or "["
  bool after_line = false;     // the output ends with a line break
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = text[i];
    const std::uint8_t cls = unit_class(c);
    if (cls == kSpace) {
      ++i;
      continue;
    }
    const bool line_break = cls == kCarriageReturn && i + 1 < n && text[i + 1] == u'\n';
    const bool mark = cls == kClosingMark || cls == kOpeningMark;
    if (!first && !after_opening && !after_line && cls != kClosingMark) out.push_back(u' ');
    first = false;

    if (line_break) {
      out.append(u"\r\n");
      i += 2;
      after_opening = false;
      after_line = true;
    } else if (mark) {
      out.push_back(c);
      ++i;
      after_opening = cls == kOpeningMark;
      after_line = false;
    } else {
      const std::size_t start = i;
      bool simple = true;
      for (; i < n; ++i) {
        const char16_t u = text[i];
        const std::uint8_t k = unit_class(u);
        if (k == kWordUnit) {
          simple = simple && single[u];
        } else if (k == kCarriageReturn && (i + 1 == n || text[i + 1] != u'\n')) {
          simple = false;
        } else {
          break;
        }
      }
      const std::u16string_view word = text.substr(start, i - start);
      scrambler.append_word(word, simple);
      after_opening = false;
      after_line = word.size() >= 2 && out[out.size() - 2] == u'\r' && out.back() == u'\n';
    }
  }
  return out;
}

}  // namespace textquirl
