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

// The remaining indices of a long shuffle, kept small so that it stays in
// cache: one bit per index in 64-bit words; above them four levels of nodes,
// each node one 64-bit word holding the running counts of its four children
// in 16-bit lanes (a node of level j covers 4^j words, at most 16384 bits);
// on top a Fenwick tree over the nodes of the fourth level. Finding the
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
    top_ = 1;
    while (top_ <= tops_) top_ *= 2;
    top_ /= 2;
    // Fenwick nodes past the last top node stay at the maximum, so the
    // descent in take() never enters them and needs no bounds test.
    tree_.assign(2 * top_ + 1, UINT32_MAX);
    for (std::size_t j = 1; j <= tops_; ++j) tree_[j] = 0;
    for (std::size_t j = 1; j <= tops_; ++j) {
      tree_[j] += totals[j - 1];
      const std::size_t parent = j + (j & (~j + 1));
      if (parent <= tops_) tree_[parent] += tree_[j];
    }
  }

  // Removes and returns the k-th (1-based) remaining index; requires
  // 1 <= k <= the number remaining.
  std::size_t take(std::size_t k) {
    std::size_t node = 0;
    auto left = static_cast<std::uint32_t>(k);
    for (std::size_t step = top_; step > 0; step >>= 1) {
      const std::uint32_t count = tree_[node + step];
      const bool skip = count < left;
      node += skip ? step : 0;
      left -= skip ? count : 0;
    }
    for (std::size_t j = node + 1; j <= tops_; j += j & (~j + 1)) --tree_[j];
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
  std::vector<std::uint32_t> tree_;
  std::size_t tops_ = 0;
  std::size_t top_ = 0;
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

// Calls emit(i) for the indices 0 .. n-1 in shuffled order: with m indices
// left it draws r and takes the pick_index(r, m)-th remaining one (1-based),
// the rest keeping their order. Draws exactly n values. Long runs use
// RemainingIndices.
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
  RemainingIndices remaining(n);
  for (std::size_t m = n; m > 0; --m) emit(remaining.take(draw_index(random, m)));
}

}  // namespace textquirl::internal
