#include "engine/internal/classic_layout.hpp"

#include <bit>
#include <utility>
#include <cstring>

#include "engine/internal/shuffle.hpp"
#include "engine/internal/utf8_blocks.hpp"

// The spacing of the classic scan, 64 bytes at a time. The scan writes each
// token (a word, a mark, a line break) after a space when it is a word, an
// opening mark or a line break and the last token before it is a word or a
// closing mark; spaces in the text only part tokens. Most blocks of prose
// already have exactly those spaces: they are copied whole. Elsewhere the
// block is copied around its edits: spaces that go, spaces that come.

namespace textquirl::internal {
namespace {

using utf8::bit;
using utf8::Blocks;
using utf8::char_length;

// Bits below j, and up to j.
inline std::uint64_t below(unsigned j) { return bit(j) - 1; }
inline std::uint64_t up_to(unsigned j) { return (bit(j) << 1) - 1; }

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

using Word = ClassicLayout::Word;

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

using PackedWord = ClassicLayout::PackedWord;

// The words of N inner characters of up to three bytes each, not all of
// one: each character read as four bytes and written so, the cursor moving
// by its length; the bytes written past the inner ones are put back. The
// lengths come from the word's bits of character starts, and sit as
// nibbles in one number, so that the cursor never waits for a load.
template <unsigned N>
void shuffle_packed_words(const PackedWord* first, const PackedWord* last, const std::uint8_t* text,
                          const std::uint8_t* text_end, char* to, const std::uint32_t* outputs) {
  for (const PackedWord* w = first; w != last; ++w) {
    const std::uint8_t* const from = text + w->from;
    std::uint32_t values[N];
    std::uint64_t lengths = 0;
    std::uint64_t starts = w->starts & (w->starts - 1);  // from the second character on
    const auto inner = static_cast<unsigned>(std::countr_zero(starts));
    for (unsigned k = 0; k < N; ++k) {
      const auto start = static_cast<unsigned>(std::countr_zero(starts));
      starts &= starts - 1;
      lengths |= std::uint64_t{std::countr_zero(starts) - start} << (4 * k);
      const std::uint8_t* c = from + start;
      std::uint32_t value;
      if (std::endian::native == std::endian::little && c + 4 <= text_end) {
        std::memcpy(&value, c, 4);
      } else {  // the last character follows: c[1] is the word's
        value = c[0] | (std::uint32_t{c[1]} << 8) | (std::uint32_t{c + 2 < text_end ? c[2] : 0u} << 16);
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
void shuffle_all(std::integer_sequence<unsigned, N...>, Word* const* begin, Word* const* end,
                 PackedWord* const* packed_begin, PackedWord* const* packed_end, const std::uint8_t* text,
                 const std::uint8_t* text_end, char* to, const std::uint32_t* outputs) {
  (shuffle_words<N + 2>(begin[N + 2], end[N + 2], to, outputs), ...);
  (shuffle_packed_words<N + 2>(packed_begin[N + 2], packed_end[N + 2], text, text_end, to, outputs), ...);
}

}  // namespace

void ClassicLayout::make_room(std::size_t size) {
  // A word of c bytes and the byte after it: at most size / c + 1 of them.
  std::size_t words = 1;
  for (unsigned n = 2; n < kLengths; ++n) words += size / (n + 2) + 1;
  if (words > words_room_) {
    words_.reset();
    words_.reset(new Word[words]);
    words_room_ = words;
  }
  Word* next = words_.get();
  begin_[0] = end_of_[0] = next++;
  begin_[1] = end_of_[1] = begin_[0];
  for (unsigned n = 2; n < kLengths; ++n) {
    begin_[n] = end_of_[n] = next;
    next += size / (n + 2) + 1;
  }
  // A packed word has a byte more than characters, at least.
  std::size_t packed = 1;
  for (unsigned n = 2; n < kLengths; ++n) packed += size / (n + 3) + 1;
  if (packed > packed_room_) {
    packed_words_.reset();
    packed_words_.reset(new PackedWord[packed]);
    packed_room_ = packed;
  }
  PackedWord* next_packed = packed_words_.get();
  packed_begin_[0] = packed_end_[0] = packed_begin_[1] = packed_end_[1] = next_packed++;
  for (unsigned n = 2; n < kLengths; ++n) {
    packed_begin_[n] = packed_end_[n] = next_packed;
    next_packed += size / (n + 3) + 1;
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

bool ClassicLayout::lay_out(std::string_view text, char* to, bool& space) {
  const std::size_t n = text.size();
  if (n > kLongest) return false;
  const auto* const p = reinterpret_cast<const std::uint8_t*>(text.data());
  text_ = p;
  size_ = n;
  to_ = to;
  end_ = to;
  draws_ = 0;
  make_room(n);
  if (n == 0) return true;

  std::size_t draws = 0;
  // Notes a word of text[from, end) at `at` in the result, with `continuations` bytes that continue a character.
  // Notes a word of text[from, end) at `at` in the result, with
  // `continuations` bytes that continue a character (ASCII if none); bit i
  // of `starts` is set where one of its first 64 bytes starts a character.
  const auto note = [&](std::size_t from, std::size_t end, std::size_t at, std::size_t continuations,
                        std::uint64_t starts) {
    const std::size_t bytes = end - from, characters = bytes - continuations, inner = characters - 2;
    const bool shuffled = characters >= 4, short_enough = characters < kLengths + 2;
    if (continuations == 0) {  // no branch on the length, which is hard to predict
      const std::size_t length = shuffled && short_enough ? inner : 0;
      Word* const slot = end_of_[length];
      *slot = {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(draws)};
      end_of_[length] = slot + (length != 0);
    } else {
      const std::size_t length = shuffled && short_enough ? inner : 0;
      PackedWord* const slot = packed_end_[length];
      *slot = {starts, static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(draws)};
      packed_end_[length] = slot + (length != 0);
    }
    if (shuffled && !short_enough) {
      *others_end_++ = {static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(draws),
                        static_cast<std::uint32_t>(bytes), static_cast<std::uint32_t>(characters)};
    }
    draws += shuffled ? inner : 0;
  };

  Blocks blocks(text);
  char* out = to;
  std::uint64_t flag = space;  // bit 0: a word after the last block's bytes gets a space
  bool pending = false;        // the last block ended in a space, written; the next token decides
  std::uint64_t in_word = 0;   // bit 0: a word runs on from the last block
  std::size_t word_from = 0, word_at = 0, word_continuations = 0;
  std::uint64_t word_starts = 0;  // of the word running on: its characters' starts in its first block, from bit 0
  for (blocks.load_first();; blocks.load_next()) {
    if (blocks.joins != 0) return false;
    const std::size_t base = blocks.base();
    const bool full = n - base >= 64;
    const std::uint64_t words = blocks.words, spaces = blocks.spaces;
    // After which bytes a word gets a space: those of words and closing
    // marks; then carried over the spaces after them.
    const std::uint64_t wanting = ~spaces & ~blocks.opening & ~blocks.lfs;
    const std::uint64_t seeds = ((wanting << 1) | flag) & spaces;
    const std::uint64_t flags = wanting | (spaces & ~(spaces + seeds));
    const std::uint64_t starts = words & ~((words << 1) | in_word);
    const std::uint64_t needs = (starts | blocks.opening | blocks.lfs) & ((flags << 1) | flag);
    if (pending && (needs & 1) == 0) --out;  // the space at the end of the last block goes
    std::uint64_t gone = spaces & ~(needs >> 1);
    if (full) gone &= ~bit(63);  // decided by the next block
    const std::uint64_t added = needs & ~((spaces << 1) | std::uint64_t{pending});
    const std::uint64_t edits = gone | added;
    char* const out_base = out;
    const std::uint8_t* const bytes = p + base;
    if (edits == 0) {
      std::memcpy(out, bytes, 64);
    } else {
      char* o = out;
      unsigned last = 0;
      for (std::uint64_t e = edits; e != 0; e &= e - 1) {
        const auto j = static_cast<unsigned>(std::countr_zero(e));
        std::memcpy(o, bytes + last, j - last);
        o += j - last;
        if ((gone >> j) & 1) {
          last = j + 1;
        } else {
          *o++ = ' ';
          last = j;
        }
      }
      const unsigned m = full ? 64 : static_cast<unsigned>(n - base);
      if (last < m) std::memcpy(o, bytes + last, m - last);
    }
    out = out_base + 64 - count_bits(gone) + count_bits(added);
    // Where a word starting at bit j lands in the result.
    const auto place = [&](unsigned j) -> std::size_t {
      std::size_t at = static_cast<std::size_t>(out_base - to) + j;
      if (edits != 0) at = at - count_bits(gone & below(j)) + count_bits(added & up_to(j));
      return at;
    };

    const std::uint64_t continuations = words & ~blocks.starts;
    if (in_word != 0) {
      if (~words == 0) {
        word_continuations += count_bits(continuations);
      } else {
        const auto e = static_cast<unsigned>(std::countr_zero(~words));
        const std::size_t before = base - word_from;  // its bytes in the blocks before
        if (before < 64) word_starts |= (blocks.starts & below(e)) << before;
        note(word_from, base + e, word_at, word_continuations + count_bits(continuations & below(e)), word_starts);
        in_word = 0;
      }
    }
    // The words of four bytes or more (the bytes past the block taken for
    // word bytes): only they may have something to shuffle.
    std::uint64_t rest = starts;
    for (unsigned k = 1; k < 4; ++k) rest &= (words >> k) | ~(~std::uint64_t{0} >> k);
    for (; rest != 0; rest &= rest - 1) {
      const auto s = static_cast<unsigned>(std::countr_zero(rest));
      const std::uint64_t after = ~words & ~below(s);
      if (after != 0) {
        const auto e = static_cast<unsigned>(std::countr_zero(after));
        const std::uint64_t inside = continuations & below(e) & ~below(s);
        note(base + s, base + e, place(s), inside == 0 ? 0 : count_bits(inside), blocks.starts >> s);
      } else {
        in_word = 1;
        word_from = base + s;
        word_starts = blocks.starts >> s;
        word_at = place(s);
        word_continuations = count_bits(continuations & ~below(s));
      }
    }
    flag = flags >> 63;
    pending = full && (spaces >> 63) != 0;
    if (blocks.last()) break;
  }
  if (in_word != 0) note(word_from, n, word_at, word_continuations, word_starts);
  if (pending) --out;
  space = flag != 0;
  end_ = out;
  draws_ = draws;
  return true;
}

char* ClassicLayout::shuffle(DefaultRandom& random) {
  if (draws_ > outputs_room_) {
    outputs_.reset();
    outputs_.reset(new std::uint32_t[draws_]);
    outputs_room_ = draws_;
  }
  random.fill(outputs_.get(), draws_);
  shuffle_all(std::make_integer_sequence<unsigned, kLengths - 2>{}, begin_, end_of_, packed_begin_, packed_end_, text_,
              text_ + size_, to_, outputs_.get());
  for (const OtherWord* w = others_.get(); w != others_end_; ++w) shuffle_other(*w, outputs_.get());
  return end_;
}

// A word of more than 16 inner ASCII letters, or with characters of
// several bytes (of up to three: one of four would join): shuffled as the
// scan does, each character moved whole.
void ClassicLayout::shuffle_other(const OtherWord& word, const std::uint32_t* outputs) {
  Outputs draws(outputs + word.draw);
  const std::uint8_t* const from = text_ + word.from;
  char* const at = to_ + word.at;
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
