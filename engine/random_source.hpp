// Random numbers for the letter shuffle.
//
// The shuffle draws single-precision values in [0, 1). `RandomSource` is the
// seam through which it gets them: the programs use `DefaultRandom`, tests
// inject sources of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace textquirl {

// The 1-based index k that a draw r picks out of n remaining elements:
// the largest integer not above r * n + 1, formed in double precision.
// Values outside [0, 1) (from a faulty source) are clamped to 1..n.
// Requires n >= 1.
//   pick_index(0.0f, 5) == 1;  pick_index(0.5f, 5) == 3;  pick_index(0.99f, 5) == 5
inline std::size_t pick_index(float r, std::size_t n) {
  const double x = static_cast<double>(r) * static_cast<double>(n) + 1.0;
  if (!(x >= 1.0)) return 1;  // also catches NaN
  if (x >= static_cast<double>(n)) return n;
  return static_cast<std::size_t>(x);
}

// Yields single-precision values r with 0 <= r < 1, one per call.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual float next() = 0;
};

// The generator the programs use. Unless a seed is given it always starts
// from the same state, so a given text scrambles the same way after every
// program start and on every compiler:
//   std::mt19937 with seed 5489, each value float(x >> 8) * 2^-24.
class DefaultRandom final : public RandomSource {
 public:
  static constexpr std::uint32_t kDefaultSeed = 5489;

  explicit DefaultRandom(std::uint32_t seed = kDefaultSeed) : engine_(seed) {}

  float next() override { return static_cast<float>(engine_() >> 8) * 0x1p-24f; }

  // The same as pick_index(next(), n), in integer arithmetic: next() is
  // x / 2^24 for a 24-bit x, and for n < 2^28 the double-precision
  // floor(x / 2^24 * n + 1) is exactly (x * n >> 24) + 1.
  std::size_t next_index(std::size_t n) {
    const std::uint64_t x = engine_() >> 8;
    if (n < (std::size_t{1} << 28)) return static_cast<std::size_t>((x * n) >> 24) + 1;
    return pick_index(static_cast<float>(x) * 0x1p-24f, n);
  }

 private:
  std::mt19937 engine_;
};

}  // namespace textquirl
