// The UTF-8 scans' view of a text: 64 bytes at a time as bit masks of the
// bytes in words, the characters that may join a neighbour, the marks, the
// line breaks and the spaces, each character looked up as the UTF-16 road
// sees its first unit. Shared by the scan that scrambles, the count of its
// draws and the two-step classic scramble. Internal to the engine.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/internal/unit_masks.hpp"
#include "engine/internal/units.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textquirl::internal::utf8 {

using UnitTable = std::array<std::uint8_t, 65536>;

inline std::uint64_t bit(unsigned j) { return std::uint64_t{1} << j; }

// The number of bytes of the character that each lead starts.
inline constexpr std::array<std::uint8_t, 256> kCharLengths = [] {
  std::array<std::uint8_t, 256> lengths{};
  for (unsigned b = 0; b < 256; ++b) lengths[b] = static_cast<std::uint8_t>(1 + (b >= 0xC0) + (b >= 0xE0) + (b >= 0xF0));
  return lengths;
}();
inline unsigned char_length(std::uint8_t lead) { return kCharLengths[lead]; }

// The code point of the character of `length` bytes at p.
inline char32_t code_point(const std::uint8_t* p, unsigned length) {
  switch (length) {
    case 1: return p[0];
    case 2: return ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    case 3: return ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    default: return ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
  }
}

// The unit table's entry for the character at p, as the UTF-16 road sees
// its first unit.
inline std::uint8_t entry_at(const UnitTable& table, const std::uint8_t* p, unsigned length) {
  const char32_t c = code_point(p, length);
  return table[c < 0x10000 ? c : 0xD800 + ((c - 0x10000) >> 10)];
}

// Bytes that belong to a word without a look-up: ASCII letters and digits,
// the leads C3 .. C8 (of U+00C0 .. U+023F, all of them plain word units:
// internal::kPlainWordUnits) and continuation bytes, which go with their lead
// (a mark's are taken out again).
inline constexpr std::array<bool, 256> kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (unsigned b = 0; b < 0x80; ++b) plain[b] = internal::is_plain_word_unit(static_cast<char16_t>(b));
  for (unsigned b = 0x80; b < 0xC0; ++b) plain[b] = true;
  for (unsigned b = 0xC3; b <= 0xC8; ++b) plain[b] = true;
  return plain;
}();
static_assert(internal::is_plain_word_unit(u'\u00C0') && internal::is_plain_word_unit(u'\u023F'));

// Of 64 bytes (fewer at the end of a text, the rest counting as spaces):
// bit j of `plain` set where byte j is one of kPlainBytes, of `spaces`
// where it is a space, of `continuations` where it continues a character.
struct ByteMasks {
  std::uint64_t plain = 0, spaces = 0, continuations = 0;
};
inline ByteMasks byte_masks(const std::uint8_t* p, std::size_t m) {
  ByteMasks masks;
#if defined(__SSE2__)
  if (m == 64) {
    for (unsigned j = 0; j < 64; j += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
      const __m128i continuation = bytes_in_range(x, 0x80, 0xBF);
      const __m128i plain = _mm_or_si128(
          _mm_or_si128(_mm_or_si128(bytes_in_range(x, 'A', 'Z'), bytes_in_range(x, 'a', 'z')), bytes_in_range(x, '0', '9')),
          _mm_or_si128(continuation, bytes_in_range(x, 0xC3, 0xC8)));
      masks.plain |= byte_bits(plain) << j;
      masks.spaces |= byte_bits(_mm_cmpeq_epi8(x, _mm_set1_epi8(' '))) << j;
      masks.continuations |= byte_bits(continuation) << j;
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

// The text 64 bytes at a time, as bit masks of what the scan looks for:
// the bytes in words, the characters that join, the marks and line breaks.
class Blocks {
 public:
  explicit Blocks(std::string_view text)
      : p_(reinterpret_cast<const std::uint8_t*>(text.data())), n_(text.size()) {}

  std::size_t base() const { return base_; }
  bool last() const { return base_ + 64 >= n_; }
  const std::uint8_t* bytes() const { return p_; }

  // Reads the first block, then each next one in turn.
  void load_first() { load(0); }
  void load_next() { load(base_ + 64); }

  std::uint64_t words = 0;          // bytes of characters in words
  std::uint64_t joins = 0;          // leads of characters that may join a neighbour
  std::uint64_t breaks = 0;         // marks' leads and LFs
  std::uint64_t starts = 0;         // bytes that start a character
  std::uint64_t events = 0;         // where tokens start: breaks and the first bytes of words
  std::uint64_t spaces = 0;         // spaces, and the bytes past the end of the text
  std::uint64_t lfs = 0;            // line breaks
  std::uint64_t opening = 0;        // opening marks (all ASCII)

 private:
  // Kept out of line, so that the scan's loop stays small enough for its
  // state to stay in registers.
  [[gnu::noinline]] void load(std::size_t base) {
    base_ = base;
    const std::size_t m = std::min<std::size_t>(64, n_ - base);
    const ByteMasks masks = byte_masks(p_ + base, m);
    std::uint64_t in_words = masks.plain & ~carried_out_;
    carried_out_ = 0;
    std::uint64_t joining = 0, marks = 0, line_feeds = 0, openers = 0;
    for (std::uint64_t others = ~(masks.plain | masks.spaces); others != 0; others &= others - 1) {
      const auto j = static_cast<unsigned>(std::countr_zero(others));
      const std::uint8_t* at = p_ + base + j;
      if (*at == '\n') {
        marks |= bit(j);
        line_feeds |= bit(j);
        continue;
      }
      const unsigned length = char_length(*at);
      const std::uint8_t entry = entry_at(table_, at, length);
      if ((entry & kClassBits) == kWordUnit) {
        in_words |= bit(j);
        joining |= std::uint64_t{(entry & kJoins) != 0} << j;
        continue;
      }
      marks |= bit(j);  // a mark: its continuation bytes belong to no word
      openers |= std::uint64_t{(entry & kClassBits) == kOpeningMark && length == 1} << j;
      for (unsigned k = 1; k < length; ++k) {
        if (j + k < 64) in_words &= ~bit(j + k);
        else carried_out_ |= bit(j + k - 64);
      }
    }
    words = in_words;
    joins = joining;
    breaks = marks;
    starts = ~masks.continuations;
    events = marks | (in_words & ~(in_words << 1));
    spaces = masks.spaces;
    lfs = line_feeds;
    opening = openers;
  }

  const UnitTable& table_ = internal::unit_table();
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t base_ = 0;
  std::uint64_t carried_out_ = 0;  // continuation bytes of a mark that run into the next block
};

}  // namespace textquirl::internal::utf8
