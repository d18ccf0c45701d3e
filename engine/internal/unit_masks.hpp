// Bit masks of 64 units at a time, for the scans that find words without
// looking each unit up: the scramble's scan and the count of its draws; and
// the SSE2 steps that these and the UTF-8 scans' masks of bytes share.
// Internal to the engine.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/internal/units.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textquirl::internal {

#if defined(__SSE2__)
// The SSE2 steps of every 64-at-a-time mask, the 16-bit units' and the
// bytes' alike.
// All ones in the 16-bit lanes of `x` that lie in r, unsigned.
inline __m128i units_in_range(__m128i x, UnitRange r) {
  const __m128i offset = _mm_sub_epi16(x, _mm_set1_epi16(static_cast<short>(r.first)));
  const auto top = static_cast<short>(r.last - r.first);
  return _mm_cmpeq_epi16(_mm_subs_epu16(offset, _mm_set1_epi16(top)), _mm_setzero_si128());
}
// The 16 lanes of two vectors of 16-bit comparison results as 16 bits, `low` first.
inline std::uint64_t unit_bits(__m128i low, __m128i high) {
  return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)))};
}
// All ones in the bytes of `x` from `first` to `last`, unsigned.
inline __m128i bytes_in_range(__m128i x, std::uint8_t first, std::uint8_t last) {
  const __m128i offset = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(first)));
  return _mm_cmpeq_epi8(_mm_subs_epu8(offset, _mm_set1_epi8(static_cast<char>(last - first))), _mm_setzero_si128());
}
// The top bits of the 16 bytes of `v` as 16 bits.
inline std::uint64_t byte_bits(__m128i v) { return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(v))}; }
#endif

// Of 64 units: bit j of `letters` set where units[j] is one of the plain
// word units (kPlainWordUnits), bit j of `spaces` where it is a space.
//   plain_units(u"Ab c" + 60 more units).letters & 0xF == 0b1011
struct PlainUnits {
  std::uint64_t letters = 0, spaces = 0;
};
// Inlined into each scan: a call per 64 units would cost a twentieth of a count.
[[gnu::always_inline]] inline PlainUnits plain_units(const char16_t* units) {
  PlainUnits found;
#if defined(__SSE2__)
  // The upper and the lower case ASCII letters in one test: x | 0x20 is a
  // lower case letter exactly when x is a letter of either case.
  static_assert(kPlainWordUnits[0].first == u'A' && kPlainWordUnits[0].last == u'Z' &&
                    kPlainWordUnits[1].first == u'a' && kPlainWordUnits[1].last == u'z',
                "the first two plain ranges are the ASCII letters");
  const auto plain = [&](const char16_t* at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i any = units_in_range(_mm_or_si128(x, _mm_set1_epi16(0x20)), kPlainWordUnits[1]);
    for (std::size_t r = 2; r < kPlainWordUnits.size(); ++r) any = _mm_or_si128(any, units_in_range(x, kPlainWordUnits[r]));
    return any;
  };
  const auto space = [](const char16_t* at) {
    return _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi16(' '));
  };
  for (unsigned j = 0; j < 64; j += 16) {
    found.letters |= unit_bits(plain(units + j), plain(units + j + 8)) << j;
    found.spaces |= unit_bits(space(units + j), space(units + j + 8)) << j;
  }
#else
  for (unsigned j = 0; j < 64; ++j) {
    found.letters |= std::uint64_t{is_plain_word_unit(units[j])} << j;
    found.spaces |= std::uint64_t{units[j] == u' '} << j;
  }
#endif
  return found;
}

// The plain word units of `text` in runs, found 64 units at a time: each
// block's mask is made once, when a scan first reaches it, so a scan that
// only moves forward pays a few instructions per 64 units and one count of
// trailing ones per run.
//   PlainRuns runs(u"Hallo, Welt");  runs.end_of_run(0) == 5;  runs.end_of_run(5) == 5
class PlainRuns {
 public:
  explicit PlainRuns(std::u16string_view text) : text_(text) {}

  // The end of the run of plain word units that starts at `i` (i itself
  // when text[i] is none; text.size() at most).
  std::size_t end_of_run(std::size_t i) {
    const std::size_t n = text_.size();
    while (i < n) {
      const std::size_t base = i & ~std::size_t{63};
      if (base != base_) load(base);
      const auto offset = static_cast<unsigned>(i - base);
      const auto run = static_cast<unsigned>(std::countr_one(letters_ >> offset));
      i += run;
      if (offset + run < 64) break;  // a unit that is not plain, or the text's end
    }
    return i;
  }

 private:
  void load(std::size_t base) {
    base_ = base;
    const std::size_t left = text_.size() - base;
    if (left >= 64) {
      letters_ = plain_units(text_.data() + base).letters;
    } else if (text_.size() >= 64) {
      // The last 64 units of the text, shifted down to the block's start.
      letters_ = plain_units(text_.data() + text_.size() - 64).letters >> (64 - left);
    } else {
      // A short text, followed by NULs, which are not plain.
      char16_t tail[64] = {};
      std::copy(text_.begin(), text_.end(), tail);
      letters_ = plain_units(tail).letters;
    }
  }

  std::u16string_view text_;
  std::size_t base_ = 1;  // the block whose mask `letters_` is: none yet
  std::uint64_t letters_ = 0;
};

}  // namespace textquirl::internal
