#include "engine/utf8_scramble.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"
#include "engine/internal/units.hpp"
#include "engine/internal/word_shuffler.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Without a branch per character, which would go wrong at every umlaut.
void decode(std::string_view word, std::u16string& units) {
  if (units.size() < word.size()) units.resize(word.size());
  const auto* p = reinterpret_cast<const std::uint8_t*>(word.data());
  const std::size_t n = word.size();
  std::size_t count = 0;
  for (std::size_t i = 0; i < n;) {
    const unsigned lead = p[i];
    const unsigned next = i + 1 < n ? p[i + 1] : 0;
    const bool two = lead >= 0x80;
    units[count++] = static_cast<char16_t>(two ? ((lead & 0x1F) << 6) | (next & 0x3F) : lead);
    i += 1 + static_cast<std::size_t>(two);
  }
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
      // The inner characters as they are, each one's bytes packed into 16
      // bits (a second byte of another character where it has one only);
      // written two bytes at a time, the cursor moving by the character's
      // length: no branch on it, which would go wrong at every umlaut. The
      // last character covers the byte written too many.
      const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
      const std::size_t n = bytes.size();
      const std::size_t first_end = 1 + static_cast<std::size_t>(p[0] >= 0x80);
      const std::size_t last_start = n - 1 - static_cast<std::size_t>((p[n - 1] & 0xC0) == 0x80);
      if (packed_.size() < units) packed_.resize(units);
      std::size_t count = 0;
      for (std::size_t i = first_end; i < last_start; i += 1 + static_cast<std::size_t>(p[i] >= 0x80)) {
        packed_[count++] = static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8));
      }
      char* to = to_;
      for (std::size_t i = 0; i < first_end; ++i) *to++ = static_cast<char>(p[i]);
      internal::shuffle_values(count, random_, [&](std::size_t i) { return packed_[i]; }, [&](std::uint16_t c) {
        to[0] = static_cast<char>(c & 0xFF);
        to[1] = static_cast<char>(c >> 8);
        to += 1 + static_cast<std::size_t>((c & 0x80) != 0);
      });
      for (std::size_t i = last_start; i < n; ++i) *to++ = static_cast<char>(p[i]);
      to_ = to;
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
  std::vector<std::uint16_t> packed_;
};

// Of 64 bytes (fewer at the end of a text, the rest counting as spaces):
// bit j of `plain` set where byte j is one of kPlainBytes, of `spaces`
// where it is a space, of `continuations` where it continues a character.
struct ByteMasks {
  std::uint64_t plain = 0, spaces = 0, continuations = 0;
};
ByteMasks byte_masks(const std::uint8_t* p, std::size_t m) {
  ByteMasks masks;
#if defined(__SSE2__)
  if (m == 64) {
    // first <= x <= last, unsigned, per byte
    const auto in_range = [](__m128i x, std::uint8_t first, std::uint8_t last) {
      const __m128i offset = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(first)));
      return _mm_cmpeq_epi8(_mm_subs_epu8(offset, _mm_set1_epi8(static_cast<char>(last - first))), _mm_setzero_si128());
    };
    for (unsigned j = 0; j < 64; j += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
      const __m128i continuation = in_range(x, 0x80, 0xBF);
      const __m128i plain = _mm_or_si128(
          _mm_or_si128(_mm_or_si128(in_range(x, 'A', 'Z'), in_range(x, 'a', 'z')), in_range(x, '0', '9')),
          _mm_or_si128(continuation, in_range(x, 0xC3, 0xC8)));
      const auto bits = [](__m128i v) { return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(v))}; };
      masks.plain |= bits(plain) << j;
      masks.spaces |= bits(_mm_cmpeq_epi8(x, _mm_set1_epi8(' '))) << j;
      masks.continuations |= bits(continuation) << j;
    }
    return masks;
  }
#endif
  for (std::size_t j = 0; j < m; ++j) {
    masks.plain |= std::uint64_t{kPlainBytes[p[j]]} << j;
    masks.spaces |= std::uint64_t{p[j] == ' '} << j;
    masks.continuations |= std::uint64_t{(p[j] & 0xC0) == 0x80} << j;
  }
  if (m < 64) masks.spaces |= ~std::uint64_t{0} << m;
  return masks;
}

// count_draws_utf8 64 bytes at a time: a bit mask of the bytes that belong
// to words, from kPlainBytes at once and from the unit table for the rest;
// a word is a run of set bits, its characters the bytes in it that continue
// none. Only words with a joining character are decoded and cut into
// characters one by one.
class BlockCounter {
 public:
  explicit BlockCounter(std::string_view text) : text_(text), p_(reinterpret_cast<const std::uint8_t*>(text.data())) {}

  std::size_t count() {
    const std::size_t n = text_.size();
    for (std::size_t base = 0; base < n; base += 64) {
      const std::size_t m = std::min<std::size_t>(64, n - base);
      const ByteMasks masks = byte_masks(p_ + base, m);
      std::uint64_t words = masks.plain, joins = 0;
      // The second byte of a character whose lead ended the last block.
      if (second_of_last_ >= 0) {
        words = (words & ~std::uint64_t{1}) | std::uint64_t(second_of_last_);
        second_of_last_ = -1;
      }
      std::uint64_t others = ~(masks.plain | masks.spaces);
      if (m < 64) others &= (std::uint64_t{1} << m) - 1;
      for (; others != 0; others &= others - 1) {
        const auto j = static_cast<unsigned>(std::countr_zero(others));
        const std::uint8_t lead = p_[base + j];
        if (lead == '\n') continue;  // a line break: in no word
        std::size_t length = 0;
        const std::uint8_t t = table_[unit_at(p_, base + j, length)];
        const std::uint64_t word = (t & kClassBits) == kWordUnit;
        words |= word << j;
        joins |= std::uint64_t{(t & kJoins) != 0} << j;
        if (length == 2) {  // its second byte, a plain one, is in a word only with it
          if (j == 63) {
            second_of_last_ = static_cast<int>(word);
          } else {
            words = (words & ~(std::uint64_t{1} << (j + 1))) | (word << (j + 1));
          }
        }
      }
      const bool goes_on = base + m < n && continues_word(base + m);
      add_runs(base, words, joins, ~masks.continuations, goes_on);
    }
    return draws_;
  }

 private:
  // Whether the byte at i (which starts a block) is in the word the last
  // block ends with, if it ends with one.
  bool continues_word(std::size_t i) const {
    const std::uint8_t b = p_[i];
    if (kPlainBytes[b]) {
      // A continuation byte goes with its lead, which ends the last block.
      if ((b & 0xC0) != 0x80) return true;
      std::size_t length = 0;
      return (table_[unit_at(p_, i - 1, length)] & kClassBits) == kWordUnit;
    }
    if (b == '\n' || b == ' ') return false;
    std::size_t length = 0;
    return (table_[unit_at(p_, i, length)] & kClassBits) == kWordUnit;
  }

  // The runs of set bits in `words` (bytes base .. base + 63), the first one
  // going on from the last block when a word was open there, the last one
  // going on into the next block when `goes_on`.
  void add_runs(std::size_t base, std::uint64_t words, std::uint64_t joins, std::uint64_t starts_of_characters,
                bool goes_on) {
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
        characters_ = 0;
      }
      const std::uint64_t span = (~std::uint64_t{0} >> (63 - last)) & (~std::uint64_t{0} << first);
      characters_ += characters_in(span, starts_of_characters);
      end_word(base + last + 1, joined_ || (joins & span) != 0);
    }
    if (starts != 0) {
      const auto first = static_cast<unsigned>(std::countr_zero(starts));
      const std::uint64_t span = ~std::uint64_t{0} << first;
      open_ = true;
      start_ = base + first;
      characters_ = characters_in(span, starts_of_characters);
      joined_ = (joins & span) != 0;
    } else if (open_) {
      characters_ += characters_in(~std::uint64_t{0}, starts_of_characters);
      joined_ = joined_ || joins != 0;
    }
  }

  // The characters that start in `span`: without a branch, which would
  // go wrong at every word with an umlaut, and without std::popcount, a
  // call on plain x86-64.
  static std::size_t characters_in(std::uint64_t span, std::uint64_t starts_of_characters) {
    std::uint64_t x = span & starts_of_characters;
    x = x - ((x >> 1) & 0x5555555555555555);
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<std::size_t>((x * 0x0101010101010101) >> 56);
  }

  void end_word(std::size_t end, bool joined) {
    std::size_t characters = characters_;
    if (joined && characters > 3) {
      decode(text_.substr(start_, end - start_), units_);
      internal::split_graphemes_by_rules(units_, bounds_);
      characters = bounds_.size() - 1;
    }
    draws_ += characters > 3 ? characters - 2 : 0;
    open_ = false;
    joined_ = false;
  }

  std::string_view text_;
  const std::uint8_t* p_;
  const UnitTable& table_ = internal::unit_table();
  int second_of_last_ = -1;  // 0 or 1: the word bit of the next block's first byte
  bool open_ = false;        // a word runs on from the last block
  bool joined_ = false;      // ... and has joining characters there
  std::size_t start_ = 0;    // where the open word starts
  std::size_t characters_ = 0;  // ... and its characters so far
  std::size_t draws_ = 0;
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

std::size_t count_draws_utf8(std::string_view text) { return BlockCounter(text).count(); }

}  // namespace textquirl
