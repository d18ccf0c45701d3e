// The draw order of the letter shuffle, shared by `verwurschteln` and the
// scramble pipeline. Internal to the engine.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

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

// The remaining elements of consecutive groups, counted in a Fenwick tree:
// which group holds the k-th remaining element, and one fewer there.
class GroupCounts {
 public:
  GroupCounts() = default;
  // Group g starts with totals[g] elements; requires a total below 2^32.
  explicit GroupCounts(const std::vector<std::uint32_t>& totals) : groups_(totals.size()) {
    top_ = 1;
    while (top_ <= groups_) top_ *= 2;
    top_ /= 2;
    // Nodes past the last group stay at the maximum, so the descent in
    // take() never enters them and needs no bounds test.
    tree_.assign(2 * top_ + 1, UINT32_MAX);
    for (std::size_t j = 1; j <= groups_; ++j) tree_[j] = 0;
    for (std::size_t j = 1; j <= groups_; ++j) {
      tree_[j] += totals[j - 1];
      const std::size_t parent = j + (j & (~j + 1));
      if (parent <= groups_) tree_[parent] += tree_[j];
    }
  }

  // Removes the k-th (1-based) remaining element and returns its group;
  // k becomes its rank among the group's remaining elements (1-based).
  // Requires 1 <= k <= the number remaining.
  std::size_t take(std::uint32_t& k) {
    std::size_t group = 0;
    for (std::size_t step = top_; step > 0; step >>= 1) {
      const std::uint32_t count = tree_[group + step];
      const bool skip = count < k;
      group += skip ? step : 0;
      k -= skip ? count : 0;
    }
    for (std::size_t j = group + 1; j <= groups_; j += j & (~j + 1)) --tree_[j];
    return group;
  }

 private:
  std::vector<std::uint32_t> tree_;
  std::size_t groups_ = 0;
  std::size_t top_ = 0;
};

// The remaining indices of a long shuffle, kept small so that it stays in
// cache: one bit per index in 64-bit words; above them four levels of nodes,
// each node one 64-bit word holding the running counts of its four children
// in 16-bit lanes (a node of level j covers 4^j words, at most 16384 bits);
// on top a GroupCounts over the nodes of the fourth level. Finding the
// child of a node that holds the k-th remaining index compares all four
// lanes with k at once; removing an index lowers the lanes from that child
// on. Lanes past the last index hold the node's total and are never chosen.
class RemainingIndices {
  static constexpr unsigned kLevels = 4;
  static constexpr std::uint64_t kLaneOnes = 0x0001000100010001, kLaneHigh = 0x8000800080008000;

 public:
  // All of 0 .. n-1 remain; requires n <= UINT32_MAX.
  explicit RemainingIndices(std::size_t n) {
    constexpr std::size_t kWordsPerTop = std::size_t{1} << (2 * kLevels);
    tops_ = std::max<std::size_t>(1, (n + 64 * kWordsPerTop - 1) / (64 * kWordsPerTop));
    words_.assign(tops_ * kWordsPerTop, 0);
    for (std::size_t i = 0; i < n / 64; ++i) words_[i] = ~std::uint64_t{0};
    if (n % 64 != 0) words_[n / 64] = (std::uint64_t{1} << (n % 64)) - 1;
    std::vector<std::uint32_t> totals(words_.size());
    for (std::size_t i = 0; i < words_.size(); ++i) totals[i] = count_bits(words_[i]);
    for (unsigned level = 0; level < kLevels; ++level) {
      std::vector<std::uint64_t>& nodes = nodes_[level];
      nodes.assign(totals.size() / 4, 0);
      for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::uint32_t sum = 0;
        for (unsigned lane = 0; lane < 4; ++lane) {
          sum += totals[4 * i + lane];
          nodes[i] |= std::uint64_t{sum} << (16 * lane);
        }
        totals[i] = sum;
      }
      totals.resize(nodes.size());
    }
    tree_ = GroupCounts(totals);
  }

  // Removes and returns the k-th (1-based) remaining index; requires
  // 1 <= k <= the number remaining.
  std::size_t take(std::size_t k) {
    auto left = static_cast<std::uint32_t>(k);
    std::size_t node = tree_.take(left);
    for (unsigned level = kLevels; level-- > 0;) {
      std::uint64_t& lanes = nodes_[level][node];
      const std::uint64_t at_least = ((lanes | kLaneHigh) - left * kLaneOnes) & kLaneHigh;
      const auto child = static_cast<unsigned>(std::countr_zero(at_least)) / 16;
      left -= static_cast<std::uint32_t>(((lanes << 16) >> (16 * child)) & 0xFFFF);
      lanes -= kLaneOnes << (16 * child);
      node = 4 * node + child;
    }
    const unsigned bit = select_bit(words_[node], left);
    words_[node] &= ~(std::uint64_t{1} << bit);
    return node * 64 + bit;
  }

 private:
  std::vector<std::uint64_t> words_;
  std::vector<std::uint64_t> nodes_[kLevels];  // nodes_[j][i] covers words 4^(j+1) i .. 4^(j+1) (i+1) - 1
  GroupCounts tree_;
  std::size_t tops_ = 0;
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

// The indices 0 .. n-1 in the order shuffle_indices emits them, worked out
// in passes that each stay in cache, not with one cache miss per draw. The
// indices fall into blocks of 2^14. The first pass draws in order and turns
// each rank among all remaining indices into a block and a rank within the
// block, from the blocks' counts alone (a few KB). Every index is drawn
// once, so block b gets exactly as many draws as it has indices: the draws
// go straight into a region of their own per block, in draw order. The
// second pass replays each block's draws against that block's bits. Takes
// 12 bytes per index while it runs; requires 1 <= n <= UINT32_MAX.
template <class Source>
std::vector<std::uint32_t> shuffled_order(std::size_t n, Source& random) {
  constexpr unsigned kBlockBits = 14;
  constexpr std::size_t kBlock = std::size_t{1} << kBlockBits;
  const std::size_t blocks = (n + kBlock - 1) / kBlock;
  const auto block_size = [&](std::size_t b) { return std::min(kBlock, n - b * kBlock); };

  std::vector<std::uint32_t> sizes(blocks);
  std::vector<std::size_t> filled(blocks);  // next free entry of each block's region
  for (std::size_t b = 0; b < blocks; ++b) {
    sizes[b] = static_cast<std::uint32_t>(block_size(b));
    filled[b] = b * kBlock;
  }
  GroupCounts counts(sizes);
  // Entry: the draw's number t above its rank within the block, less one.
  std::vector<std::uint64_t> draws(n);
  for (std::size_t t = 0; t < n; ++t) {
    auto rank = static_cast<std::uint32_t>(draw_index(random, n - t));
    const std::size_t b = counts.take(rank);
    draws[filled[b]++] = (std::uint64_t{t} << kBlockBits) | (rank - 1);
  }

  std::vector<std::uint32_t> order(n);
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t first = b * kBlock;
    RemainingIndices remaining(block_size(b));
    for (std::size_t i = first; i < first + block_size(b); ++i) {
      const std::size_t rank = (draws[i] & (kBlock - 1)) + 1;
      order[draws[i] >> kBlockBits] = static_cast<std::uint32_t>(first + remaining.take(rank));
    }
  }
  return order;
}

// From this many indices on, shuffle_indices goes through shuffled_order.
inline constexpr std::size_t kLongShuffle = std::size_t{1} << 16;

// Calls emit(i) for the indices 0 .. n-1 in shuffled order: with m indices
// left it draws r and takes the pick_index(r, m)-th remaining one (1-based),
// the rest keeping their order. Draws exactly n values. Long runs use
// RemainingIndices, very long ones shuffled_order.
template <class Source, class Emit>
void shuffle_indices(std::size_t n, Source& random, Emit&& emit) {
  if (n <= 16) {
    // The remaining indices as nibbles of one word, lowest first: taking
    // one out is a few shifts, with no loop and no branch.
    std::uint64_t left = 0xFEDCBA9876543210;
    for (std::size_t m = n; m > 0; --m) {
      const unsigned shift = 4 * static_cast<unsigned>(draw_index(random, m) - 1);
      emit(static_cast<std::size_t>((left >> shift) & 0xF));
      const std::uint64_t below = left & ((std::uint64_t{1} << shift) - 1);
      left = below | (((left >> shift) >> 4) << shift);
    }
    return;
  }
  constexpr std::size_t kShort = 64;
  if (n <= kShort) {
    std::uint8_t left[kShort];
    for (std::size_t i = 0; i < n; ++i) left[i] = static_cast<std::uint8_t>(i);
    for (std::size_t m = n; m > 0; --m) {
      const std::size_t k = draw_index(random, m) - 1;
      emit(static_cast<std::size_t>(left[k]));
      for (std::size_t j = k + 1; j < m; ++j) left[j - 1] = left[j];
    }
    return;
  }
  if (n > UINT32_MAX) throw std::length_error("Wort zu lang zum Verwurschteln");
  if (n < kLongShuffle) {
    RemainingIndices remaining(n);
    for (std::size_t m = n; m > 0; --m) emit(remaining.take(draw_index(random, m)));
    return;
  }
  for (const std::uint32_t i : shuffled_order(n, random)) emit(std::size_t{i});
}

}  // namespace textquirl::internal
