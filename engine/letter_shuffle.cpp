#include "engine/letter_shuffle.hpp"

#include "engine/internal/shuffle.hpp"

namespace textquirl {

std::u16string verwurschteln(StringArray& eingabe, RandomSource& zufall) {
  const std::size_t n = eingabe.empty() ? 0 : eingabe.size() - 1;
  std::size_t total = 0;
  for (std::size_t i = 1; i <= n; ++i) total += eingabe[i].size();

  std::u16string result;
  result.reserve(total);
  internal::shuffle_indices(n, zufall, [&](std::size_t i) { result += eingabe[i + 1]; });
  eingabe.assign(1, std::u16string());
  return result;
}

}  // namespace textquirl
