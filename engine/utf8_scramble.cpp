#include "engine/utf8_scramble.hpp"

#include <array>
#include <cstdint>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"
#include "engine/internal/units.hpp"
#include "engine/internal/word_shuffler.hpp"

// The same scan as the classic PieceScrambler (scramble.cpp), over the
// characters of UTF-8 of at most two bytes each. Such a character is one
// UTF-16 unit, so each one is looked up in the same unit table and a word's
// units are its characters: the tokens, the spaces between them and the
// shuffle of each word (same indices, same draws) are the UTF-16 road's. An
// LF stands for the CR LF that the UTF-16 road sees; a CR never comes.

namespace textquirl {
namespace {

using internal::kClassBits;
using internal::kClosingMark;
using internal::kJoins;
using internal::kOpeningMark;
using internal::kSpace;
using internal::kWordUnit;
using UnitTable = std::array<std::uint8_t, 65536>;

// The unit of the character at p[i] (of one or two bytes); `length` gets its length.
inline char16_t unit_at(const std::uint8_t* p, std::size_t i, std::size_t& length) {
  const std::uint8_t lead = p[i];
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  length = 2;
  return static_cast<char16_t>(((lead & 0x1F) << 6) | (p[i + 1] & 0x3F));
}

// Writes `unit` (below U+0800) as UTF-8.
inline char* put_unit(char16_t unit, char* to) {
  if (unit < 0x80) {
    *to++ = static_cast<char>(unit);
  } else {
    *to++ = static_cast<char>(0xC0 | (unit >> 6));
    *to++ = static_cast<char>(0x80 | (unit & 0x3F));
  }
  return to;
}

// Bytes that can be taken one by one inside a word, without a look-up:
// ASCII letters and digits, the leads C3 .. C8 (of U+00C0 .. U+023F, all of
// them plain word units: internal::kPlainWordUnits) and continuation bytes,
// which the scan meets only after such a lead.
constexpr std::array<bool, 256> kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (unsigned b = 0; b < 0x80; ++b) plain[b] = internal::is_plain_word_unit(static_cast<char16_t>(b));
  for (unsigned b = 0x80; b < 0xC0; ++b) plain[b] = true;
  for (unsigned b = 0xC3; b <= 0xC8; ++b) plain[b] = true;
  return plain;
}();
static_assert(internal::is_plain_word_unit(u'\u00C0') && internal::is_plain_word_unit(u'\u023F'));

// Calls sink.line_break(), sink.mark(bytes, opening) and
// sink.word(bytes, units, simple) for the tokens of `text` in order.
template <class Sink>
void scan(std::string_view text, Sink& sink) {
  const UnitTable& table = internal::unit_table();
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    if (p[i] == '\n') {
      sink.line_break();
      ++i;
      continue;
    }
    std::size_t length = 0;
    const std::uint8_t cls = table[unit_at(p, i, length)] & kClassBits;
    if (cls == kSpace) {
      i += length;
    } else if (cls == kClosingMark || cls == kOpeningMark) {
      sink.mark(text.substr(i, length), cls == kOpeningMark);
      i += length;
    } else {
      const std::size_t start = i;
      std::size_t units = 0;
      std::uint8_t joins = 0;
      while (i < n) {
        if (kPlainBytes[p[i]]) {
          units += (p[i] & 0xC0) != 0x80;
          ++i;
          continue;
        }
        if (p[i] == '\n') break;
        const std::uint8_t t = table[unit_at(p, i, length)];
        if ((t & kClassBits) != kWordUnit) break;
        joins |= t;
        ++units;
        i += length;
      }
      sink.word(text.substr(start, i - start), units, (joins & kJoins) == 0);
    }
  }
}

// The units of `word` (characters below U+0800) into `units`.
void decode(std::string_view word, std::u16string& units) {
  if (units.size() < word.size()) units.resize(word.size());
  const auto* p = reinterpret_cast<const std::uint8_t*>(word.data());
  std::size_t count = 0;
  for (std::size_t i = 0, length = 0; i < word.size(); i += length) units[count++] = unit_at(p, i, length);
  units.resize(count);
}

// Writes the scrambled text: the spacing rules of the classic scramble
// (see scramble.cpp) and each word shuffled as WordShuffler does.
class Writer {
 public:
  Writer(DefaultRandom& random, char* to) : random_(random), shuffler_(random), to_(to) {}

  void line_break() {
    put_space();
    *to_++ = '\n';
    first_ = false;
    after_opening_ = false;
    after_line_ = true;
  }
  void mark(std::string_view bytes, bool opening) {
    if (opening) put_space();
    put(bytes);
    first_ = false;
    after_opening_ = opening;
    after_line_ = false;
  }
  // A word without CR never ends in a line break.
  void word(std::string_view bytes, std::size_t units, bool simple) {
    put_space();
    first_ = false;
    after_opening_ = false;
    after_line_ = false;
    if (units <= 3) {
      put(bytes);
    } else if (simple && units == bytes.size()) {  // ASCII: the bytes are the units
      const std::string_view middle = bytes.substr(1, bytes.size() - 2);
      char* to = to_;
      *to++ = bytes.front();
      internal::shuffle_values(middle.size(), random_, [&](std::size_t i) { return middle[i]; }, [&](char c) { *to++ = c; });
      *to++ = bytes.back();
      to_ = to;
    } else if (simple) {
      decode(bytes, units_);
      const std::u16string_view middle = std::u16string_view(units_).substr(1, units_.size() - 2);
      char* to = put_unit(units_.front(), to_);
      internal::shuffle_values(middle.size(), random_, [&](std::size_t i) { return middle[i]; },
                               [&](char16_t c) { to = put_unit(c, to); });
      to_ = put_unit(units_.back(), to);
    } else {  // characters of several units: the UTF-16 road's own shuffle
      decode(bytes, units_);
      shuffled_.clear();
      {
        internal::Output out(shuffled_, units_.size());
        shuffler_.append_word(units_, false, out);
      }
      for (const char16_t c : shuffled_) to_ = put_unit(c, to_);
    }
  }

  char* end() const { return to_; }

 private:
  void put_space() {
    if (!first_ && !after_opening_ && !after_line_) *to_++ = ' ';
  }
  void put(std::string_view bytes) {
    for (const char c : bytes) *to_++ = c;
  }

  DefaultRandom& random_;
  internal::WordShuffler<DefaultRandom> shuffler_;
  char* to_;
  bool first_ = true;           // nothing written yet
  bool after_opening_ = false;  // the last token was "(" or "["
  bool after_line_ = false;     // the output ends with a line break
  std::u16string units_, shuffled_;
};

// Counts the draws of the words as WordShuffler takes them.
class Counter {
 public:
  void line_break() {}
  void mark(std::string_view, bool) {}
  void word(std::string_view bytes, std::size_t units, bool simple) {
    std::size_t characters = units;
    if (!simple && units > 3) {
      decode(bytes, units_);
      internal::split_graphemes_by_rules(units_, bounds_);
      characters = bounds_.size() - 1;
    }
    draws += characters > 3 ? characters - 2 : 0;
  }
  std::size_t draws = 0;

 private:
  std::u16string units_;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace

bool utf8_road_takes(std::string_view valid_utf8) {
  // In blocks of plain byte operations that the compiler vectorises:
  // leads of three and four bytes are 0xE0 and above.
  const auto* p = reinterpret_cast<const std::uint8_t*>(valid_utf8.data());
  const std::size_t n = valid_utf8.size();
  constexpr std::size_t kBlock = 64;
  for (std::size_t base = 0; base < n; base += kBlock) {
    const std::size_t m = n - base < kBlock ? n - base : kBlock;
    std::uint8_t bad = 0;
    for (std::size_t j = 0; j < m; ++j) bad |= static_cast<std::uint8_t>((p[base + j] >= 0xE0) | (p[base + j] == '\r'));
    if (bad != 0) return false;
  }
  return true;
}

char* scramble_utf8(std::string_view text, DefaultRandom& random, char* to) {
  Writer writer(random, to);
  scan(text, writer);
  return writer.end();
}

std::size_t count_draws_utf8(std::string_view text) {
  Counter counter;
  scan(text, counter);
  return counter.draws;
}

}  // namespace textquirl
