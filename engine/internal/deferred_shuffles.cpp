#include "engine/internal/deferred_shuffles.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "engine/internal/shuffle.hpp"
#include "engine/internal/utf8_blocks.hpp"

namespace textquirl::internal {
namespace {

using utf8::bit;
using utf8::char_length;

// Bits below j.
inline std::uint64_t below(unsigned j) { return bit(j) - 1; }

// Draws from outputs taken beforehand: value i the same as the i-th
// DefaultRandom::next_index() would give.
class Outputs {
 public:
  explicit Outputs(const std::uint32_t* next) : next_(next) {}
  std::size_t next_index(std::size_t n) {
    const std::uint64_t x = *next_++ >> 8;
    if (n < (std::size_t{1} << 28)) return static_cast<std::size_t>((x * n) >> 24) + 1;
    return pick_index(static_cast<float>(x) * 0x1p-24f, n);
  }

 private:
  const std::uint32_t* next_;
};

// 8 bytes at p as a number, the first one lowest, and back.
inline std::uint64_t load8(const char* p) {
  std::uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, 8);
  } else {
    for (unsigned i = 0; i < 8; ++i) v |= std::uint64_t{static_cast<std::uint8_t>(p[i])} << (8 * i);
  }
  return v;
}
inline void store8(char* p, std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 8);
  } else {
    for (unsigned i = 0; i < 8; ++i) p[i] = static_cast<char>(v >> (8 * i));
  }
}

// The shuffle of the N inner bytes at `inner` (N <= 8), with the draws of
// shuffle_short: the bytes left are the bytes of one number, lowest first;
// taking the k-th out is a few shifts. The bytes after the N are written
// back as they were.
template <unsigned N>
void shuffle_in_register(char* inner, const std::uint32_t* x) {
  static_assert(N >= 2 && N <= 8);
  std::uint64_t left = load8(inner);
  std::uint64_t result = N == 8 ? 0 : left & (~std::uint64_t{0} << (8 * (N % 8)));
  for (unsigned i = 0; i < N; ++i) {
    const auto shift = 8 * static_cast<unsigned>(((x[i] >> 8) * std::uint64_t{N - i}) >> 24);
    result |= ((left >> shift) & 0xFF) << (8 * i);
    left = (left & below(shift)) | (((left >> shift) >> 8) << shift);
  }
  store8(inner, result);
}

// The same for 9 to 16 bytes, the indices left as nibbles of one number.
template <unsigned N>
void shuffle_by_nibbles(char* inner, const std::uint32_t* x) {
  static_assert(N > 8 && N <= 16);
  char values[16];
  std::memcpy(values, inner, N);
  std::uint64_t left = 0xFEDCBA9876543210;
  for (unsigned i = 0; i < N; ++i) {
    const auto shift = 4 * static_cast<unsigned>(((x[i] >> 8) * std::uint64_t{N - i}) >> 24);
    inner[i] = values[(left >> shift) & 0xF];
    left = (left & below(shift)) | (((left >> shift) >> 4) << shift);
  }
}

using Word = DeferredShuffles::Word;

template <unsigned N>
void shuffle_words(const Word* first, const Word* last, char* to, const std::uint32_t* outputs) {
  for (const Word* w = first; w != last; ++w) {
    if constexpr (N <= 8) {
      shuffle_in_register<N>(to + w->at + 1, outputs + w->draw);
    } else {
      shuffle_by_nibbles<N>(to + w->at + 1, outputs + w->draw);
    }
  }
}


// The words of N inner characters of up to three bytes each, not all of
// one: each character read as four bytes and written so, the cursor moving
// by its length; the bytes written past the inner ones are put back. The
// lengths come from the word's bits of character starts, and sit as
// nibbles in one number, so that the cursor never waits for a load.
template <unsigned N>
void shuffle_packed_words(const Word* first, const Word* last, char* to, const std::uint32_t* outputs) {
  for (const Word* w = first; w != last; ++w) {
    const char* const from = to + w->at;  // the word as the text has it
    std::uint32_t values[N];
    std::uint64_t starts = w->starts & (w->starts - 1);  // from the second character on
    std::uint64_t lengths = 0;
    const auto inner = static_cast<unsigned>(std::countr_zero(starts));
    for (unsigned k = 0; k < N; ++k) {
      const auto start = static_cast<unsigned>(std::countr_zero(starts));
      starts &= starts - 1;
      lengths |= std::uint64_t{std::countr_zero(starts) - start} << (4 * k);
      std::uint32_t value;
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, from + start, 4);  // the result has room past its end
      } else {
        value = 0;
        for (unsigned b = 0; b < 3; ++b) value |= std::uint32_t{static_cast<std::uint8_t>(from[start + b])} << (8 * b);
      }
      values[k] = value;
    }
    char* const last_character = to + w->at + std::countr_zero(starts);
    char kept[4];
    std::memcpy(kept, last_character, 4);
    char* cursor = to + w->at + inner;
    const std::uint32_t* const x = outputs + w->draw;
    std::uint64_t left = 0xFEDCBA9876543210;
    for (unsigned k = 0; k < N; ++k) {
      const auto shift = 4 * static_cast<unsigned>(((x[k] >> 8) * std::uint64_t{N - k}) >> 24);
      const auto index = static_cast<unsigned>((left >> shift) & 0xF);
      const std::uint32_t value = values[index];
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(cursor, &value, 4);
      } else {
        for (unsigned b = 0; b < 3; ++b) cursor[b] = static_cast<char>(value >> (8 * b));
      }
      cursor += (lengths >> (4 * index)) & 0xF;
      left = (left & below(shift)) | (((left >> shift) >> 4) << shift);
    }
    std::memcpy(last_character, kept, 4);
  }
}

template <unsigned... N>
void shuffle_all(std::integer_sequence<unsigned, N...>, Word* const* begin, Word* const* end, char* to,
                 const std::uint32_t* outputs) {
  constexpr unsigned kPacked = sizeof...(N) + 2;
  (shuffle_words<N + 2>(begin[N + 2], end[N + 2], to, outputs), ...);
  (shuffle_packed_words<N + 2>(begin[kPacked + N + 2], end[kPacked + N + 2], to, outputs), ...);
}

// The shuffle of n (up to 32) inner ASCII bytes `from` into `to`, with the
// draws of shuffle_short: the indices left as the bytes of four numbers,
// lowest first; taking one out shifts the bytes after it down by one, all
// four numbers at once, with no branch and no loop over the bytes.
template <class Draws>
void shuffle_by_bytes(char* to, const std::uint8_t* from, std::size_t n, Draws& draws) {
  std::uint64_t w0 = 0x0706050403020100, w1 = 0x0F0E0D0C0B0A0908, w2 = 0x1716151413121110, w3 = 0x1F1E1D1C1B1A1918;
  for (std::size_t m = n; m > 0; --m) {
    const auto k = static_cast<unsigned>(draws.next_index(m) - 1);
    const unsigned q = k >> 3, r = 8 * (k & 7);
    const std::uint64_t word = q == 0 ? w0 : q == 1 ? w1 : q == 2 ? w2 : w3;
    *to++ = static_cast<char>(from[(word >> r) & 0xFF]);
    // Each number after the taken byte: its bytes one down, the next number's first on top.
    const auto step = [&](std::uint64_t w, std::uint64_t next, unsigned i) {
      const std::uint64_t shifted = (w >> 8) | (next << 56);
      if (i < q) return w;
      if (i > q) return shifted;
      return (w & below(r)) | (shifted & ~below(r));
    };
    const std::uint64_t n0 = step(w0, w1, 0), n1 = step(w1, w2, 1), n2 = step(w2, w3, 2), n3 = step(w3, 0, 3);
    w0 = n0;
    w1 = n1;
    w2 = n2;
    w3 = n3;
  }
}

}  // namespace

void DeferredShuffles::start(const std::uint8_t* text, std::size_t size, char* to) {
  text_ = text;
  size_ = size;
  to_ = to;
  draws_ = 0;
  // A word of c bytes and the byte after it: at most size / c + 1 of
  // them; a word of n + 2 characters, not all ASCII, has n + 3 bytes.
  std::size_t words = 1;
  for (unsigned n = 2; n < kLengths; ++n) words += (size / (n + 2) + 1) + (size / (n + 3) + 1);
  if (words > words_room_) {
    words_.reset();
    words_.reset(new Word[words]);
    words_room_ = words;
  }
  Word* next = words_.get();
  Word* const unshuffled = next++;
  for (unsigned kind = 0; kind < 2; ++kind) {
    for (unsigned n = 0; n < kLengths; ++n) {
      Word*& begin = begin_[kind * kLengths + n];
      begin = end_[kind * kLengths + n] = n < 2 ? unshuffled : next;
      if (n >= 2) next += size / (n + 2 + kind) + 1;
    }
  }
  // Longer words have 19 bytes or more.
  const std::size_t others = size / 19 + 2;
  if (others > others_room_) {
    others_.reset();
    others_.reset(new OtherWord[others]);
    others_room_ = others;
  }
  others_end_ = others_.get();
}

void DeferredShuffles::shuffle(DefaultRandom& random) {
  if (draws_ > outputs_room_) {
    outputs_.reset();
    outputs_.reset(new std::uint32_t[draws_]);
    outputs_room_ = draws_;
  }
  random.fill(outputs_.get(), draws_);
  shuffle_all(std::make_integer_sequence<unsigned, kLengths - 2>{}, begin_, end_, to_, outputs_.get());
  for (const OtherWord* w = others_.get(); w != others_end_; ++w) shuffle_other(*w, outputs_.get());
}

// A word of more than 16 inner ASCII letters, or with characters of
// several bytes (of up to three: one of four would join): shuffled as the
// scan does, each character moved whole.
void DeferredShuffles::shuffle_other(const OtherWord& word, const std::uint32_t* outputs) {
  Outputs draws(outputs + word.draw);
  const std::uint8_t* const from = text_ + word.from;
  char* const at = to_ + word.at;
  if (word.bytes == word.characters && word.bytes - 2 <= 32) {
    shuffle_by_bytes(at + 1, from + 1, word.bytes - 2, draws);
    return;
  }
  if (word.bytes == word.characters) {
    char* cursor = at + 1;
    shuffle_values(word.bytes - 2, draws, [&](std::size_t i) { return from[1 + i]; },
                   [&](std::uint8_t c) { *cursor++ = static_cast<char>(c); });
    return;
  }
  const std::size_t first_end = char_length(from[0]);
  std::size_t last = word.bytes - 1;
  while ((from[last] & 0xC0) == 0x80) --last;
  if (packed_.size() < word.characters) packed_.resize(word.characters);
  std::uint32_t* const values = packed_.data();
  std::size_t count = 0;
  for (std::size_t i = first_end; i < last; i += char_length(from[i])) {
    const std::uint8_t* c = from + i;
    const std::uint32_t third = i + 2 < word.bytes ? c[2] : 0;  // the bytes past the character are never written
    values[count++] = c[0] | (std::uint32_t{c[1]} << 8) | (third << 16);
  }
  // Each character written as three bytes, the cursor moving by its
  // length; the bytes written past the inner ones are put back.
  char kept[3];
  std::memcpy(kept, at + last, 3);
  char* cursor = at + first_end;
  shuffle_values(count, draws, [&](std::size_t i) { return values[i]; }, [&](std::uint32_t c) {
    cursor[0] = static_cast<char>(c & 0xFF);
    cursor[1] = static_cast<char>((c >> 8) & 0xFF);
    cursor[2] = static_cast<char>(c >> 16);
    cursor += char_length(static_cast<std::uint8_t>(c & 0xFF));
  });
  std::memcpy(at + last, kept, 3);
}

}  // namespace textquirl::internal
