// The draw order of the letter shuffle, shared by `verwurschteln` and the
// scramble pipeline. Internal to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/random_source.hpp"

namespace textquirl::internal {

// Calls emit(i) for the indices 0 .. n-1 in shuffled order: with m indices
// left it draws r and takes the pick_index(r, m)-th remaining one (1-based),
// the rest keeping their order. Draws exactly n values. Short runs use a
// plain array; long ones a Fenwick tree, O(n log n).
template <class Emit>
void shuffle_indices(std::size_t n, RandomSource& random, Emit&& emit) {
  constexpr std::size_t kShort = 96;
  if (n <= kShort) {
    std::uint32_t left[kShort];
    for (std::size_t i = 0; i < n; ++i) left[i] = static_cast<std::uint32_t>(i);
    for (std::size_t m = n; m > 0; --m) {
      const std::size_t k = pick_index(random.next(), m) - 1;
      emit(static_cast<std::size_t>(left[k]));
      std::memmove(left + k, left + k + 1, (m - k - 1) * sizeof left[0]);
    }
    return;
  }
  // tree[j] counts the remaining indices in (j - lowbit(j), j], 1-based.
  std::vector<std::uint32_t> tree(n + 1, 0);
  for (std::size_t j = 1; j <= n; ++j) {
    tree[j] += 1;
    const std::size_t parent = j + (j & (~j + 1));
    if (parent <= n) tree[parent] += tree[j];
  }
  std::size_t top = 1;
  while (top * 2 <= n) top *= 2;
  for (std::size_t m = n; m > 0; --m) {
    std::size_t k = pick_index(random.next(), m);
    std::size_t pos = 0;
    for (std::size_t step = top; step > 0; step >>= 1) {
      if (pos + step <= n && tree[pos + step] < k) {
        pos += step;
        k -= tree[pos];
      }
    }
    emit(pos);  // the chosen 1-based position is pos + 1
    for (std::size_t j = pos + 1; j <= n; j += j & (~j + 1)) --tree[j];
  }
}

}  // namespace textquirl::internal
