// The draw order of the letter shuffle, shared by `verwurschteln` and the
// scramble pipeline. Internal to the engine.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/error.hpp"
#include "engine/random_source.hpp"

namespace textquirl::internal {

// Number of set bits; spelled out so that it compiles to a few instructions
// on every x86-64, not to a library call.
inline unsigned count_bits(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555);
  x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<unsigned>((x * 0x0101010101010101) >> 56);
}

// kSelectInByte[b][k] is the position of the (k+1)-th set bit of byte b.
struct SelectInByte {
  std::uint8_t at[256][8];
  constexpr SelectInByte() : at() {
    for (unsigned b = 0; b < 256; ++b) {
      unsigned k = 0;
      for (unsigned bit = 0; bit < 8; ++bit) {
        if ((b >> bit) & 1) at[b][k++] = static_cast<std::uint8_t>(bit);
      }
    }
  }
};
inline constexpr SelectInByte kSelectInByte{};

// Position (0-based) of the k-th set bit (1-based) of `bits`; requires
// 1 <= k <= count_bits(bits). Sums the bits per byte, finds the byte by a
// comparison of all eight running sums at once, then looks the byte up.
inline unsigned select_bit(std::uint64_t bits, unsigned k) {
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080;
  std::uint64_t s = bits - ((bits >> 1) & 0x5555555555555555);
  s = (s & 0x3333333333333333) + ((s >> 2) & 0x3333333333333333);
  s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0F;
  const std::uint64_t running = s * kOnes;  // byte i: the bits of bytes 0 .. i, at most 64
  const auto byte = static_cast<unsigned>(std::countr_zero(((running | kHigh) - k * kOnes) & kHigh)) / 8;
  const auto before = static_cast<unsigned>(((running << 8) >> (8 * byte)) & 0xFF);
  return 8 * byte + kSelectInByte.at[(bits >> (8 * byte)) & 0xFF][k - before - 1];
}

// A node of a RankTree is one 64-byte line of lanes: 16 lanes of 32 bits
// or 32 of 16 bits.
template <class Lane>
inline constexpr unsigned kFan = 64 / sizeof(Lane);

// Lanes are kept biased by half their range (the top bit flipped), so that
// a signed comparison orders them as the unsigned values they stand for:
// the one comparison SSE2 has for 16 and 32 bits.
template <class Lane>
inline constexpr Lane kLaneBias = static_cast<Lane>(Lane{1} << (8 * sizeof(Lane) - 1));

// Lowers by one each lane of a node that stands for more than `key` and
// returns the last lane that does not (the child holding the key): with
// SSE2 by one mask of the comparisons, whose lanes above the key are the
// top ones; with GCC or Clang elsewhere through their vector types, a
// quarter of the node at a time; a plain loop otherwise.
//   lanes {0, 3, 5, then the total 5} (biased), key 3: gives 1, lanes {0, 3, 4, 4}
#if defined(__SSE2__)
template <class Lane>
unsigned lower_lanes_above(Lane* lanes, Lane key) {
  const auto biased_key = key ^ kLaneBias<Lane>;
  __m128i v[4], above[4];
  const __m128i keys = sizeof(Lane) == 2 ? _mm_set1_epi16(static_cast<short>(biased_key))
                                         : _mm_set1_epi32(static_cast<int>(biased_key));
  for (unsigned i = 0; i < 4; ++i) {
    v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes) + i);
    above[i] = sizeof(Lane) == 2 ? _mm_cmpgt_epi16(v[i], keys) : _mm_cmpgt_epi32(v[i], keys);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes) + i,
                     sizeof(Lane) == 2 ? _mm_add_epi16(v[i], above[i]) : _mm_add_epi32(v[i], above[i]));
  }
  std::uint64_t mask;  // bit j: lane j above the key; bit kFan stands for the lane past the node
  if constexpr (sizeof(Lane) == 2) {
    mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(above[0], above[1]))) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(above[2], above[3])))) << 16;
  } else {
    mask = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_packs_epi16(_mm_packs_epi32(above[0], above[1]), _mm_packs_epi32(above[2], above[3]))));
  }
  return static_cast<unsigned>(std::countr_zero(mask | std::uint64_t{1} << kFan<Lane>)) - 1;
}
#elif defined(__GNUC__)
template <class Lane>
struct SignedLanesOf;
template <>
struct SignedLanesOf<std::uint16_t> {
  using type = std::int16_t __attribute__((vector_size(16)));
};
template <>
struct SignedLanesOf<std::uint32_t> {
  using type = std::int32_t __attribute__((vector_size(16)));
};

template <class Lane>
unsigned lower_lanes_above(Lane* lanes, Lane key) {
  using Signed = std::make_signed_t<Lane>;
  using Vector = typename SignedLanesOf<Lane>::type;
  const auto biased_key = static_cast<Signed>(key ^ kLaneBias<Lane>);
  Vector v[4], above[4];
  std::memcpy(v, lanes, sizeof v);
  for (unsigned i = 0; i < 4; ++i) {
    above[i] = reinterpret_cast<Vector>(v[i] > biased_key);  // -1 above the key
    v[i] += above[i];
  }
  std::memcpy(lanes, v, sizeof v);
  // The four sums (0 .. 4 per lane) added up across the lanes of two
  // 64-bit words.
  const Vector counts = -(above[0] + above[1] + above[2] + above[3]);
  std::uint64_t halves[2];
  std::memcpy(halves, &counts, sizeof halves);
  constexpr unsigned kBits = 8 * sizeof(Lane);
  constexpr std::uint64_t kOnes = ~std::uint64_t{0} / ((std::uint64_t{1} << kBits) - 1);
  return kFan<Lane> - 1 - static_cast<unsigned>(((halves[0] + halves[1]) * kOnes) >> (64 - kBits));
}
#else
template <class Lane>
unsigned lower_lanes_above(Lane* lanes, Lane key) {
  unsigned count = 0;
  for (unsigned j = 0; j < kFan<Lane>; ++j) {
    const bool above = static_cast<Lane>(lanes[j] ^ kLaneBias<Lane>) > key;
    lanes[j] = static_cast<Lane>(lanes[j] - above);
    count += above;
  }
  return kFan<Lane> - 1 - count;
}
#endif

// The remaining elements of consecutive groups, counted in a tree of
// 64-byte nodes: lane j of a node holds (biased) how many remain in its
// children before child j (so lane 0 is 0), and the lanes of children past
// the last hold the node's total, which is never below the k sought. The
// child holding the k-th remaining element is the last lane below k; taking
// the element lowers the lanes above k - 1, which are those after that
// child. With 16-bit lanes a node has 32 children and a total of at most
// 2^16.
template <class Lane>
class RankTree {
  static constexpr unsigned kFan = internal::kFan<Lane>;

 public:
  // Group g starts with totals[g] elements; requires at least one group and
  // a sum of at most UINT32_MAX (2^16 for 16-bit lanes).
  explicit RankTree(const std::vector<std::uint32_t>& totals) {
    std::vector<std::vector<Lane>> levels;  // from the groups up
    std::vector<std::uint32_t> below(totals);
    do {
      const std::size_t nodes = (below.size() + kFan - 1) / kFan;
      std::vector<Lane>& lanes = levels.emplace_back(nodes * kFan);
      for (std::size_t i = 0; i < nodes; ++i) {
        std::uint32_t sum = 0;
        for (std::size_t j = kFan * i; j < kFan * (i + 1); ++j) {
          lanes[j] = static_cast<Lane>(sum ^ kLaneBias<Lane>);
          if (j < below.size()) sum += below[j];
        }
        below[i] = sum;
      }
      below.resize(nodes);
    } while (below.size() > 1);
    for (std::size_t level = levels.size(); level-- > 0;) {
      starts_.push_back(lanes_.size());
      lanes_.insert(lanes_.end(), levels[level].begin(), levels[level].end());
    }
  }

  // Removes the k-th (1-based) remaining element and returns its group;
  // k becomes its rank among the group's remaining elements (1-based).
  // Requires 1 <= k <= the number remaining.
  std::size_t take(std::uint32_t& k) {
    // The usual depths unrolled: a shuffle's trees have one level or two.
    switch (starts_.size()) {
      case 1:
        return take_through<1>(k);
      case 2:
        return take_through<2>(k);
      default:
        return take_through(k, starts_.size());
    }
  }

 private:
  template <std::size_t kLevels = 0>
  std::size_t take_through(std::uint32_t& k, std::size_t levels = kLevels) {
    Lane* const all = lanes_.data();
    std::size_t node = 0;
    for (std::size_t level = 0; level < (kLevels ? kLevels : levels); ++level) {
      Lane* lanes = all + starts_[level] + kFan * node;
      const unsigned child = lower_lanes_above(lanes, static_cast<Lane>(k - 1));
      k -= static_cast<Lane>(lanes[child] ^ kLaneBias<Lane>);
      node = kFan * node + child;
    }
    return node;
  }

  std::vector<Lane> lanes_;          // all levels, the root first
  std::vector<std::size_t> starts_;  // where each level begins in lanes_
};

// The remaining indices of a shuffle: one bit per index in 64-bit words,
// and a RankTree over the words' counts. Takes about 0.14 bytes per index
// (0.2 with 32-bit lanes): 2^16 indices stay in the first-level cache.
template <class Lane = std::uint32_t>
class RemainingIndices {
 public:
  // All of 0 .. n-1 remain; requires n <= UINT32_MAX (2^16 for 16-bit lanes).
  explicit RemainingIndices(std::size_t n) : words_(std::max<std::size_t>(1, (n + 63) / 64)), counts_(totals(n)) {
    for (std::size_t i = 0; i < n / 64; ++i) words_[i] = ~std::uint64_t{0};
    if (n % 64 != 0) words_[n / 64] = (std::uint64_t{1} << (n % 64)) - 1;
  }

  // Removes and returns the k-th (1-based) remaining index; requires
  // 1 <= k <= the number remaining.
  std::size_t take(std::size_t k) {
    auto left = static_cast<std::uint32_t>(k);
    const std::size_t word = counts_.take(left);
    const unsigned bit = select_bit(words_[word], left);
    words_[word] &= ~(std::uint64_t{1} << bit);
    return word * 64 + bit;
  }

 private:
  static std::vector<std::uint32_t> totals(std::size_t n) {
    std::vector<std::uint32_t> counts(std::max<std::size_t>(1, (n + 63) / 64), 64);
    counts.back() = static_cast<std::uint32_t>(n - 64 * (counts.size() - 1));
    return counts;
  }

  std::vector<std::uint64_t> words_;
  RankTree<Lane> counts_;
};

// The 1-based index of the next draw among n: pick_index(random.next(), n),
// through the source's own shortcut where it has one.
template <class Source>
std::size_t draw_index(Source& random, std::size_t n) {
  if constexpr (requires { random.next_index(n); }) {
    return random.next_index(n);
  } else {
    return pick_index(random.next(), n);
  }
}

// Cache lines: where a buffer's first whole line begins (for a buffer of
// at least one line more than it needs), and a line written at once.
inline constexpr std::size_t kCacheLine = 64;

template <class T>
T* first_whole_line(T* buffer) {
  static_assert(kCacheLine % sizeof(T) == 0);
  const std::size_t past = reinterpret_cast<std::uintptr_t>(buffer) % kCacheLine / sizeof(T);
  return buffer + (past == 0 ? 0 : kCacheLine / sizeof(T) - past);
}

// Copies the line at `from` to the line at `to`: with SSE2 past the caches,
// so that the line is not read in first; finish_lines() orders such copies
// before what follows.
inline void write_line(void* to, const void* from) {
#if defined(__SSE2__)
  for (unsigned i = 0; i < 4; ++i) {
    _mm_stream_si128(static_cast<__m128i*>(to) + i, _mm_load_si128(static_cast<const __m128i*>(from) + i));
  }
#else
  std::memcpy(to, from, kCacheLine);
#endif
}

inline void finish_lines() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

// From this many indices on, a shuffle goes through shuffle_in_blocks.
inline constexpr std::size_t kLongShuffle = std::size_t{1} << 16;

// shuffle_in_blocks below, noting each draw's block as a `BlockNumber`.
template <class BlockNumber, class Source, class Value, class Emit>
void shuffle_in_blocks_noting(std::size_t n, Source& random, Value& value, Emit& emit) {
  using Result = decltype(value(std::size_t{0}));
  using Entry = std::conditional_t<(sizeof(Result) > 4), std::uint64_t,
                                   std::conditional_t<(sizeof(Result) > 2), std::uint32_t, std::uint16_t>>;
  static_assert(sizeof(Result) <= sizeof(std::uint64_t));
  constexpr std::size_t kBlock = kLongShuffle;  // so at most 2^16 blocks
  const std::size_t blocks = (n + kBlock - 1) / kBlock;
  const auto block_size = [&](std::size_t b) { return std::min(kBlock, n - b * kBlock); };

  std::vector<std::uint32_t> sizes(blocks);
  std::vector<std::size_t> next(blocks);  // the next entry of each block's region
  for (std::size_t b = 0; b < blocks; ++b) {
    sizes[b] = static_cast<std::uint32_t>(block_size(b));
    next[b] = b * kBlock;
  }
  RankTree<std::uint32_t> counts(sizes);
  const std::unique_ptr<BlockNumber[]> block_of(new BlockNumber[n]);
  // The regions begin at whole cache lines. Each block's ranks gather in a
  // line of `lines` (a few KB, so it stays in cache), and a full one goes to
  // its region in one write, where a hundred regions and more written a few
  // bytes at a time would have each of their lines read in first.
  constexpr std::size_t kLine = kCacheLine / sizeof(Entry);
  const std::unique_ptr<Entry[]> entry_buffer(new Entry[n + kLine]);
  const std::unique_ptr<Entry[]> line_buffer(new Entry[(blocks + 1) * kLine]);
  Entry* const entries = first_whole_line(entry_buffer.get());
  Entry* const lines = first_whole_line(line_buffer.get());
  for (std::size_t t = 0; t < n; ++t) {
    auto rank = static_cast<std::uint32_t>(draw_index(random, n - t));
    const std::size_t b = counts.take(rank);
    block_of[t] = static_cast<BlockNumber>(b);
    const std::size_t at = next[b]++;
    lines[b * kLine + at % kLine] = static_cast<Entry>(rank - 1);
    if (at % kLine == kLine - 1) write_line(entries + (at + 1 - kLine), lines + b * kLine);
  }
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t partial = next[b] % kLine;
    std::copy_n(lines + b * kLine, partial, entries + (next[b] - partial));
  }
  finish_lines();

  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t first = b * kBlock;
    RemainingIndices<std::uint16_t> remaining(block_size(b));
    for (std::size_t i = first; i < next[b]; ++i) {
      entries[i] = static_cast<Entry>(value(first + remaining.take(static_cast<std::size_t>(entries[i]) + 1)));
    }
    next[b] = first;
  }

  for (std::size_t t = 0; t < n; ++t) emit(static_cast<Result>(entries[next[block_of[t]]++]));
}

// Calls emit(value(i)) for the indices i = 0 .. n-1 in the order
// shuffle_values gives them, in three passes that each stay in cache rather
// than one cache miss per draw. `value` returns at most 64 bits (an index, a
// character); it is called block by block before the first emit.
//  1. The indices fall into blocks of 2^16. Draw by draw, the rank among
//     all remaining indices becomes a block and a rank within it, from the
//     blocks' counts alone (a few KB). Every index is drawn once, so a block
//     gets as many draws as it has indices: each block's ranks go into a
//     region of their own, in draw order, and each draw notes its block.
//  2. Block by block, the ranks become the values of the indices they take
//     from that block's bits.
//  3. Draw t emits the next value of its block's region.
// A region entry holds a rank less one (below 2^16) or a value, and a
// draw's block takes a byte up to 256 blocks (2^24 indices), so the passes
// take 3 bytes per index for values of up to 16 bits, 5 for up to 32 and 9
// for more (one more past 2^24 indices); requires 1 <= n <= UINT32_MAX.
template <class Source, class Value, class Emit>
void shuffle_in_blocks(std::size_t n, Source& random, Value&& value, Emit&& emit) {
  if (n <= (kLongShuffle << 8)) {
    shuffle_in_blocks_noting<std::uint8_t>(n, random, value, emit);
  } else {
    shuffle_in_blocks_noting<std::uint16_t>(n, random, value, emit);
  }
}

// shuffle_values for more than 64 indices; kept out of line so that the
// short cases stay small enough to be inlined into their callers.
template <class Source, class Value, class Emit>
[[gnu::noinline]] void shuffle_long(std::size_t n, Source& random, Value& value, Emit& emit) {
  if (n > UINT32_MAX) fail(WordTooLong::Limit::kShuffle);
  if (n < kLongShuffle) {
    RemainingIndices<std::uint16_t> remaining(n);
    for (std::size_t m = n; m > 0; --m) emit(value(remaining.take(draw_index(random, m))));
    return;
  }
  shuffle_in_blocks(n, random, value, emit);
}

// Up to this many indices, shuffle_values does its work inline.
inline constexpr std::size_t kShortShuffle = 64;

// shuffle_values for n <= kShortShuffle, all inline: callers whose emit writes through
// a local cursor keep it in a register when they call this alone.
template <class Source, class Value, class Emit>
void shuffle_short(std::size_t n, Source& random, Value&& value, Emit&& emit) {
  if (n <= 16) {
    // The remaining indices as nibbles of one word, lowest first: taking
    // one out is a few shifts, with no loop and no branch.
    std::uint64_t left = 0xFEDCBA9876543210;
    for (std::size_t m = n; m > 0; --m) {
      const unsigned shift = 4 * static_cast<unsigned>(draw_index(random, m) - 1);
      emit(value(static_cast<std::size_t>((left >> shift) & 0xF)));
      const std::uint64_t below = left & ((std::uint64_t{1} << shift) - 1);
      left = below | (((left >> shift) >> 4) << shift);
    }
    return;
  }
  // The remaining indices as the set bits of one word: the k-th is found
  // by select_bit, with no moving of the ones after it.
  std::uint64_t left = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
  for (std::size_t m = n; m > 0; --m) {
    const unsigned at = select_bit(left, static_cast<unsigned>(draw_index(random, m)));
    emit(value(static_cast<std::size_t>(at)));
    left &= ~(std::uint64_t{1} << at);
  }
}

// Calls emit(value(i)) for the indices 0 .. n-1 in shuffled order: with m
// indices left it draws r and takes the pick_index(r, m)-th remaining one
// (1-based), the rest keeping their order. Draws exactly n values. Long runs
// use RemainingIndices, very long ones shuffle_in_blocks (which wants
// values of at most 64 bits).
template <class Source, class Value, class Emit>
void shuffle_values(std::size_t n, Source& random, Value&& value, Emit&& emit) {
  if (n <= kShortShuffle) {
    shuffle_short(n, random, value, emit);
    return;
  }
  shuffle_long(n, random, value, emit);
}

// shuffle_values with the indices themselves as values; requires
// n <= UINT32_MAX, else fails with WordTooLong (kShuffle) before any draw.
template <class Source, class Emit>
void shuffle_indices(std::size_t n, Source& random, Emit&& emit) {
  shuffle_values(n, random, [](std::size_t i) { return static_cast<std::uint32_t>(i); }, emit);
}

}  // namespace textquirl::internal
