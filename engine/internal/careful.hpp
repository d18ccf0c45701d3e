// The careful scramble: only letters move, and only inside words; every
// other character stays where it is. Internal to the engine.
//
// The text is seen as user-perceived characters. A letter is a character
// whose first code point is a letter (General_Category L); a word is a
// maximal run of letters. A token is a maximal run of characters that do not
// start with white space. Left whole: a token that is a web or mail address
// once its leading and trailing punctuation is set aside, and a word with a
// letter of a script written without spaces (Han, Hiragana, Katakana, Thai,
// Lao, Khmer, Myanmar).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/internal/character_table.hpp"
#include "engine/internal/graphemes.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/scrambler_impl.hpp"
#include "engine/internal/units.hpp"
#include "engine/options.hpp"

namespace textquirl::internal {

// The character_table flags of code point `c` (up to 0x10FFFF; a lone
// surrogate has none): character_flags(U'a') == character_table::kLetter.
std::uint8_t character_flags(char32_t c);

// The code point that starts at text[i] (a lone surrogate stands for itself):
// code_point_at(u"\U0001F600", 0) == U'\U0001F600'.
inline char32_t code_point_at(std::u16string_view text, std::size_t i) {
  const char32_t c = text[i];
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    return 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  return c;
}

// How the careful scan sees a 16-bit unit, in the low bits of its entry
// (kCarefulClassBits); the order matters: from kCarefulBlank on, a unit ends
// a token.
enum CarefulUnit : std::uint8_t {
  kCarefulLetter = 0,  // a letter that is a character of its own, of a script written with spaces
  kCarefulOther,       // another character of its own, not white space: digits, marks, symbols
  kCarefulComplex,     // may belong to a character of several units, or a letter of a spaceless script
  kCarefulBlank,       // white space that combining marks may join (U+0020, the no-break spaces ...)
  kCarefulBreak,       // white space that nothing joins: tab, CR, LF, line and paragraph separator ...
};
inline constexpr std::uint8_t kCarefulClassBits = 7;
inline constexpr std::uint8_t kCarefulPunctuation = 8;  // a punctuation mark of its own
inline constexpr std::uint8_t kCarefulAddressHint = 16;  // '@' or ':': the token may be an address
inline constexpr std::uint8_t kCarefulComplexBit = 32;   // set with kCarefulComplex, to be or-ed over a token

// Units that are letters of their own, of a script written with spaces, for
// fast paths that test many units at once: the ASCII letters and the Latin
// letters U+00C0 .. U+024F (without U+00D7 and U+00F7, the signs for times
// and division).
inline constexpr std::array<UnitRange, 5> kCarefulPlainLetters = {
    {{u'A', u'Z'}, {u'a', u'z'}, {u'\u00C0', u'\u00D6'}, {u'\u00D8', u'\u00F6'}, {u'\u00F8', u'\u024F'}}};

// The entry of every unit: careful_unit_table()[u'a'] == kCarefulLetter,
// careful_unit_table()[u' '] == kCarefulBlank.
const std::array<std::uint8_t, 65536>& careful_unit_table();

// Whether `token` (no white space in it) is a web or mail address once the
// punctuation at its ends is set aside: it contains "://", starts with
// "www." (any case), or has the form name@domain.tld (one '@', something
// before it, a dot inside the part after it):
//   is_address_token(u"„info@example.org“") == true;  is_address_token(u"z.B.") == false
bool is_address_token(std::u16string_view token);

// Whether a token of single-unit characters starts with "www." (any case)
// after its punctuation: may_start_address(careful_unit_table(), u"(www.") == true.
inline bool may_start_address(const std::array<std::uint8_t, 65536>& table, std::u16string_view token) {
  std::size_t i = 0;
  while (i < token.size() && (table[token[i]] & kCarefulPunctuation)) ++i;
  if (token.size() - i < 4 || token[i + 3] != u'.') return false;
  for (std::size_t k = i; k < i + 3; ++k) {
    if ((token[k] | 0x20) != u'w') return false;
  }
  return true;
}

// Whether code point `c` joins a white-space character before it into one
// user-perceived character (Grapheme_Cluster_Break Extend, ZWJ or
// SpacingMark): joins_blank(U'\u0301') == true, joins_blank(U'a') == false.
bool joins_blank(char32_t c);

// The careful scan over a text that may come in pieces, cut anywhere. It
// hands every part of the text to `Sink`: characters that stay to
// put(unit) or put(units), each word of letters that may move to
// word(units, simple, characters), where `simple` says that each unit is a
// character of its own. The sink decides what a word becomes. A token still
// open at the end of a piece is held back until a later piece ends it.
template <class Sink>
class CarefulScanner {
 public:
  // Scans the next piece; `last` ends the text.
  void push(std::u16string_view text, bool last, Sink& sink) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    if (!carried_.empty()) {
      std::uint8_t bits = carried_bits_;
      i = scan_token(text, 0, 0, bits);
      carried_.append(text.substr(0, i));
      carried_bits_ = bits;
      if (i == n && !last) return;
      end_token(carried_, bits, token_after_blank_, sink);
      carried_.clear();
      after_blank_ = false;
    }
    while (i < n) {
      const char16_t c = text[i];
      const std::uint8_t cls = table_[c] & kCarefulClassBits;
      if (cls >= kCarefulBlank) {
        sink.put(c);
        after_blank_ = cls == kCarefulBlank;
        ++i;
        continue;
      }
      const std::size_t start = i;
      std::uint8_t bits = 0;
      i = scan_token_words(text, i, bits);
      if (i == n && !last) {  // the token may go on in the next piece
        carried_.assign(text.substr(start));
        carried_bits_ = bits;
        token_after_blank_ = after_blank_;
        return;
      }
      const std::u16string_view token = text.substr(start, i - start);
      if ((bits & kCarefulComplexBit) || words_found_ > kMaxWords) {
        end_token(token, bits, after_blank_, sink);
      } else if (may_be_address(token, bits) && is_address_token(token)) {
        sink.put(token);
      } else {
        std::size_t at = start;
        for (std::size_t w = 0; w < words_found_; ++w) {
          const auto [first, end] = words_[w];
          sink.put(text.substr(at, first - at));
          sink.word(text.substr(first, end - first), true, end - first);
          at = end;
        }
        sink.put(text.substr(at, i - at));
      }
      after_blank_ = false;
    }
    if (last) {
      after_blank_ = false;
      carried_bits_ = 0;
    }
  }

  // The number of units held back from the pieces so far.
  std::size_t held_back() const { return carried_.size(); }

  // For a text that begins right after white space that marks may join.
  void start_after_blank() { after_blank_ = true; }

 private:
  // End of the token that runs on from text[i] (begun at text[start], or
  // earlier in carried_): the first white space that starts a character.
  // Ors the units' entries into `bits`.
  std::size_t scan_token(std::u16string_view text, std::size_t i, std::size_t start, std::uint8_t& bits) const {
    const std::size_t n = text.size();
    for (; i < n; ++i) {
      const std::uint8_t t = table_[text[i]];
      if ((t & kCarefulClassBits) >= kCarefulBlank) {
        if ((t & kCarefulClassBits) == kCarefulBreak || !(bits & kCarefulComplexBit) || !after_prepend(text, i, start)) {
          break;
        }
        bits |= kCarefulComplexBit;  // joined to the prepended mark before it
      }
      bits |= t;
    }
    return i;
  }

  // scan_token for a token that starts at text[i], noting on the way where
  // its runs of letters (its words, when all its units are characters of
  // their own) begin and end: words_found_ of them, the first kMaxWords in
  // words_. One look-up per unit.
  std::size_t scan_token_words(std::u16string_view text, std::size_t i, std::uint8_t& bits) {
    const std::size_t n = text.size(), start = i;
    words_found_ = 0;
    for (;;) {
      const std::size_t first = i;
      std::uint8_t t = 0;
      while (i < n && ((t = table_[text[i]]) & kCarefulClassBits) == kCarefulLetter) ++i;
      if (i > first) {
        if (words_found_ < kMaxWords) words_[words_found_] = {first, i};
        ++words_found_;
      }
      if (i == n) return n;
      if ((t & kCarefulClassBits) >= kCarefulBlank) {
        if ((t & kCarefulClassBits) == kCarefulBreak || !(bits & kCarefulComplexBit) || !after_prepend(text, i, start)) {
          return i;
        }
        bits |= kCarefulComplexBit;  // joined to the prepended mark before it
      }
      bits |= t;
      ++i;
    }
  }

  // Whether the token's code point before text[i] is a prepended mark (which
  // joins the white space at text[i] to itself). The token began at
  // text[start] or, when carried_ holds its beginning, at text[0].
  bool after_prepend(std::u16string_view text, std::size_t i, std::size_t start) const {
    const auto unit_before = [&](std::size_t back) -> int {  // the unit `back` units before text[i], or -1
      if (back <= i - start) return text[i - back];
      const std::size_t in_carried = back - (i - start);
      return in_carried <= carried_.size() ? carried_[carried_.size() - in_carried] : -1;
    };
    const int last = unit_before(1);
    if (last < 0 || (table_[static_cast<char16_t>(last)] & kCarefulClassBits) != kCarefulComplex) return false;
    char32_t c = static_cast<char32_t>(last);
    if (c >= 0xDC00 && c <= 0xDFFF) {
      const int high = unit_before(2);
      if (high >= 0xD800 && high <= 0xDBFF) c = 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (c - 0xDC00);
    }
    return (grapheme_properties(c) & kClassMask) == kPrepend;
  }

  void end_token(std::u16string_view token, std::uint8_t bits, bool after_blank, Sink& sink) {
    if (bits & kCarefulComplexBit) {
      end_complex_token(token, after_blank, sink);
      return;
    }
    if (may_be_address(token, bits) && is_address_token(token)) {
      sink.put(token);
      return;
    }
    const std::size_t n = token.size();
    for (std::size_t j = 0; j < n;) {
      if ((table_[token[j]] & kCarefulClassBits) != kCarefulLetter) {
        sink.put(token[j++]);
        continue;
      }
      const std::size_t first = j;
      while (++j < n && (table_[token[j]] & kCarefulClassBits) == kCarefulLetter) {
      }
      sink.word(token.substr(first, j - first), true, j - first);
    }
  }

  // A token of single-unit characters is worth the address check when it
  // holds '@' or ':' or may start with "www.".
  bool may_be_address(std::u16string_view token, std::uint8_t bits) const {
    return (bits & kCarefulAddressHint) || may_start_address(table_, token);
  }

  // A token with characters of several units, or with letters of a
  // spaceless script: cut into characters by the segmentation rules.
  void end_complex_token(std::u16string_view token, bool after_blank, Sink& sink) {
    split_graphemes_by_rules(token, bounds_);
    const std::size_t characters = bounds_.size() - 1;
    const auto character = [&](std::size_t k) { return token.substr(bounds_[k], bounds_[k + 1] - bounds_[k]); };
    std::size_t k = 0;
    if (after_blank && characters > 0 && joins_blank(code_point_at(token, 0))) {
      sink.put(character(0));  // marks that belong to the white space before them
      k = 1;
    }
    const std::u16string_view rest = token.substr(bounds_[k]);
    if (is_address_token(rest)) {
      sink.put(rest);
      return;
    }
    while (k < characters) {
      const std::uint8_t flags = character_flags(code_point_at(token, bounds_[k]));
      if (!(flags & character_table::kLetter)) {
        sink.put(character(k++));
        continue;
      }
      const std::size_t first = k;
      bool spaceless = false;
      for (; k < characters; ++k) {
        const std::uint8_t f = character_flags(code_point_at(token, bounds_[k]));
        if (!(f & character_table::kLetter)) break;
        spaceless = spaceless || (f & character_table::kSpaceless);
      }
      const std::u16string_view word = token.substr(bounds_[first], bounds_[k] - bounds_[first]);
      if (spaceless) {
        sink.put(word);
      } else {
        sink.word(word, false, k - first);
      }
    }
  }

  static constexpr std::size_t kMaxWords = 32;
  struct WordSpan {
    std::size_t first, end;
  };

  const std::array<std::uint8_t, 65536>& table_ = careful_unit_table();
  WordSpan words_[kMaxWords];     // the words of the token scan_token_words found last
  std::size_t words_found_ = 0;   // ... and how many there were
  bool after_blank_ = false;        // the last unit scanned is white space that marks may join
  bool token_after_blank_ = false;  // ... and so was the one before carried_
  std::u16string carried_;          // the token still open at the end of the last piece
  std::uint8_t carried_bits_ = 0;   // its units' entries, or-ed
  std::vector<std::uint32_t> bounds_;
};

// A careful Scrambler: the scan above, each word written by `Words` (as
// the classic scramble writes its words: WordShuffler, or the options' rule
// over it), everything else copied. The output has exactly as many units as
// the text: nothing is added or taken away.
template <class Words>
class CarefulScrambler final : public Scrambler::Impl {
 public:
  template <class... Args>
  explicit CarefulScrambler(Args&... args) : writer_(args...) {}

  [[gnu::flatten]] void push(std::u16string_view piece, bool last, std::u16string& out) override {
    Output output(out, piece.size() + scanner_.held_back());
    writer_.output = &output;
    scanner_.push(piece, last, writer_);
  }

 private:
  struct Writer {
    template <class... Args>
    explicit Writer(Args&... args) : words(args...) {}
    void put(char16_t c) { output->put(c); }
    void put(std::u16string_view units) { output->put(units); }
    void word(std::u16string_view units, bool simple, std::size_t) { words.append_word(units, simple, *output); }
    Words words;
    Output* output = nullptr;
  };
  Writer writer_;
  CarefulScanner<Writer> scanner_;
};

// The number of values the careful scramble of `text` with `options` draws
// (options.mode is not looked at): careful_count_draws(u"„Hallo“ 2024", {}) == 3.
std::size_t careful_count_draws(std::u16string_view text, const ScrambleOptions& options);

}  // namespace textquirl::internal
