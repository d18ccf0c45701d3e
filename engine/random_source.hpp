// Random numbers for the letter shuffle.
//
// The shuffle draws single-precision values in [0, 1). `RandomSource` is the
// seam through which it gets them: the programs use `DefaultRandom`, tests
// inject sources of their own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

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

// The 32-bit Mersenne Twister, output for output the same as std::mt19937,
// written so that the compiler can vectorise the refill of its state.
class Mt19937 {
 public:
  explicit Mt19937(std::uint32_t seed) {
    state_[0] = seed;
    for (std::uint32_t i = 1; i < kSize; ++i) {
      state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
    }
  }

  std::uint32_t operator()() {
    if (index_ == kSize) refill();
    return output_[index_++];
  }

  // The number of outputs so far (skipped ones included).
  std::uint64_t drawn() const { return blocks_ * kSize + index_ - kSize; }

  // The next k outputs at once, when the current block (after a refill if
  // it is used up) holds them all: a pointer to them, the outputs then
  // counted as drawn; else nullptr, nothing drawn. For callers that want
  // many outputs in a row without a check per output.
  const std::uint32_t* take(std::size_t k) {
    if (index_ == kSize) refill();
    if (k > kSize - index_) return nullptr;
    const std::uint32_t* outputs = output_ + index_;
    index_ += static_cast<std::uint32_t>(k);
    return outputs;
  }

  // Writes the next n outputs to `out`, as n calls would give them.
  void fill(std::uint32_t* out, std::size_t n) {
    for (; n >= kSize && index_ == kSize; out += kSize, n -= kSize) {  // whole blocks tempered in place
      twist();
      temper(out);
    }
    while (n > 0) {
      if (index_ == kSize) refill();
      const std::uint32_t k = static_cast<std::uint32_t>(std::min<std::size_t>(n, kSize - index_));
      std::copy_n(output_ + index_, k, out);
      index_ += k;
      out += k;
      n -= k;
    }
  }

  // Skips the next n outputs, as n calls would, at a fraction of their
  // cost: blocks skipped whole are not tempered.
  void discard(std::uint64_t n) {
    if (n <= kSize - index_) {
      index_ += static_cast<std::uint32_t>(n);
      return;
    }
    n -= kSize - index_;
    for (; n > kSize; n -= kSize) twist();
    refill();
    index_ = static_cast<std::uint32_t>(n);
  }

 private:
  static constexpr std::uint32_t kSize = 624, kShift = 397;

  static std::uint32_t twisted(std::uint32_t upper, std::uint32_t lower, std::uint32_t ahead) {
    const std::uint32_t y = (upper & 0x80000000u) | (lower & 0x7FFFFFFFu);
    return ahead ^ (y >> 1) ^ ((0u - (y & 1u)) & 0x9908B0DFu);
  }

  void twist() {
    ++blocks_;
    std::uint32_t i = 0;
    for (; i < kSize - kShift; ++i) state_[i] = twisted(state_[i], state_[i + 1], state_[i + kShift]);
    for (; i < kSize - 1; ++i) state_[i] = twisted(state_[i], state_[i + 1], state_[i + kShift - kSize]);
    state_[kSize - 1] = twisted(state_[kSize - 1], state_[0], state_[kShift - 1]);
  }

  // The next block: twisted, then tempered all at once, so that this loop
  // is vectorised too and a draw is a single load.
  void refill() {
    twist();
    temper(output_);
    index_ = 0;
  }

  void temper(std::uint32_t* out) const {
    for (std::uint32_t i = 0; i < kSize; ++i) {
      std::uint32_t y = state_[i];
      y ^= y >> 11;
      y ^= (y << 7) & 0x9D2C5680u;
      y ^= (y << 15) & 0xEFC60000u;
      out[i] = y ^ (y >> 18);
    }
  }

  std::uint32_t state_[kSize];
  std::uint32_t output_[kSize];
  std::uint32_t index_ = kSize;
  std::uint64_t blocks_ = 0;  // blocks twisted
};

// The generator the programs use. Unless a seed is given it always starts
// from the same state, so a given text scrambles the same way after every
// program start and on every compiler:
//   std::mt19937 with seed 5489 (Mt19937 above), each value float(x >> 8) * 2^-24.
class DefaultRandom final : public RandomSource {
 public:
  static constexpr std::uint32_t kDefaultSeed = 5489;

  explicit DefaultRandom(std::uint32_t seed = kDefaultSeed) : engine_(seed) {}

  float next() override { return static_cast<float>(engine_() >> 8) * 0x1p-24f; }

  // Skips n values, as n calls of next() would.
  void discard(std::uint64_t n) { engine_.discard(n); }
  // The number of values drawn (or skipped) so far.
  std::uint64_t drawn() const { return engine_.drawn(); }

  // The raw outputs of the next k values, when they come at once (see
  // Mt19937::take), or nullptr; value i is then float(outputs[i] >> 8) * 2^-24.
  const std::uint32_t* take(std::size_t k) { return engine_.take(k); }

  // The raw outputs of the next n values written to `out`, the values then
  // counted as drawn; value i is float(out[i] >> 8) * 2^-24.
  void fill(std::uint32_t* out, std::size_t n) { engine_.fill(out, n); }

  // The same as pick_index(next(), n), in integer arithmetic: next() is
  // x / 2^24 for a 24-bit x, and for n < 2^28 the double-precision
  // floor(x / 2^24 * n + 1) is exactly (x * n >> 24) + 1.
  std::size_t next_index(std::size_t n) {
    const std::uint64_t x = engine_() >> 8;
    if (n < (std::size_t{1} << 28)) return static_cast<std::size_t>((x * n) >> 24) + 1;
    return pick_index(static_cast<float>(x) * 0x1p-24f, n);
  }

 private:
  Mt19937 engine_;
};

}  // namespace textquirl
