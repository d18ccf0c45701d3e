// The draw order of the letter shuffle, shared by `verwurschteln` and the
// scramble pipeline. Internal to the engine.
#pragma once

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
// 1 <= k <= count_bits(bits). Halves the word three times, then looks the
// byte up, without data-dependent branches.
inline unsigned select_bit(std::uint64_t bits, unsigned k) {
  unsigned pos = 0;
  for (unsigned width = 32; width >= 8; width /= 2) {
    const std::uint64_t low = bits & ((std::uint64_t{1} << width) - 1);
    const unsigned ones = count_bits(low);
    const bool high = k > ones;
    k -= high ? ones : 0;
    bits = high ? bits >> width : low;
    pos += high ? width : 0;
  }
  return pos + kSelectInByte.at[bits & 0xFF][k - 1];
}

// The remaining indices of a long shuffle: one bit per index in 64-bit
// blocks, and a Fenwick tree counting the bits left per block, so that
// finding and removing the k-th remaining index costs O(log n) and touches
// little memory.
class RemainingIndices {
 public:
  explicit RemainingIndices(std::size_t n) : blocks_((n + 63) / 64), bits_(blocks_, ~std::uint64_t{0}) {
    if (n % 64 != 0) bits_.back() = (std::uint64_t{1} << (n % 64)) - 1;
    top_ = 1;
    while (top_ <= blocks_) top_ *= 2;
    top_ /= 2;
    // Nodes past the last block stay at the maximum, so the descent in
    // take() never enters them and needs no bounds test.
    tree_.assign(2 * top_ + 1, UINT32_MAX);
    for (std::size_t j = 1; j <= blocks_; ++j) tree_[j] = 0;
    for (std::size_t j = 1; j <= blocks_; ++j) {
      tree_[j] += count_bits(bits_[j - 1]);
      const std::size_t parent = j + (j & (~j + 1));
      if (parent <= blocks_) tree_[parent] += tree_[j];
    }
  }

  // Removes and returns the k-th (1-based) remaining index.
  std::size_t take(std::size_t k) {
    std::size_t block = 0;
    auto left = static_cast<std::uint32_t>(k);
    for (std::size_t step = top_; step > 0; step >>= 1) {
      const std::uint32_t count = tree_[block + step];
      const bool skip = count < left;
      block += skip ? step : 0;
      left -= skip ? count : 0;
    }
    const unsigned bit = select_bit(bits_[block], left);
    bits_[block] &= ~(std::uint64_t{1} << bit);
    for (std::size_t j = block + 1; j <= blocks_; j += j & (~j + 1)) --tree_[j];
    return block * 64 + bit;
  }

 private:
  std::size_t blocks_;
  std::vector<std::uint64_t> bits_;
  std::vector<std::uint32_t> tree_;
  std::size_t top_;
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
