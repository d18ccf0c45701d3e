// A generator per record: data scrambled in parts (lines, rows, files, on
// several cores or machines) gives each record a result of its own, the same
// whichever records came before it, in which order and on which worker.
//
// A record's key is an integer (0 to 2^64 - 1) or a text (UTF-8). From the
// run's seed and the key, one fixed function seeds a small generator:
//   h = FNV-1a 64 (offset basis 0xCBF29CE484222325, prime 0x100000001B3) over
//       a type byte (0 for an integer, 1 for a text) followed by the key's
//       bytes (an integer: its 8 bytes, least significant first; a text: its
//       UTF-8 bytes), so that the integer 7 and the text "7" differ;
//   s = mix(h XOR seed), with SplitMix64's finaliser
//       mix(z): z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
//               z = (z ^ (z >> 27)) * 0x94D049BB133111EB;  return z ^ (z >> 31);
//   the generator is SplitMix64 from state s: each output adds
//       0x9E3779B97F4A7C15 to the state and returns mix(state);
//   each value is float(x >> 8) * 2^-24, x the output's upper 32 bits, as
//       DefaultRandom maps its 32-bit outputs.
// These are fixed: the same text, options, seed and key give the same result
// in every version.
//
//   scramble_record(u"Hallo Welt", 5489, RecordKey::number(1))
//       == scramble(u"Hallo Welt", RecordRandom(5489, RecordKey::number(1)))
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "options.hpp"
#include "random_source.hpp"

namespace textquirl {

class RecordKey {
 public:
  // An integer key: RecordKey::number(7).
  static RecordKey number(std::uint64_t n);
  // A text key, UTF-8; throws std::invalid_argument for bytes that are not
  // UTF-8 or encode a surrogate: RecordKey::text("\xED\xA0\x80") throws.
  static RecordKey text(std::string_view utf8);

  // h of the seeding function above.
  std::uint64_t hash() const { return hash_; }

 private:
  explicit RecordKey(std::uint64_t hash) : hash_(hash) {}
  std::uint64_t hash_;
};

namespace internal {
// SplitMix64's finaliser: record_mix(0) == 0.
constexpr std::uint64_t record_mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}
}  // namespace internal

// The record's generator (SplitMix64, 8 bytes of state, set up in a few
// instructions).
class RecordRandom final : public RandomSource {
 public:
  RecordRandom(std::uint32_t seed, const RecordKey& key) : state_(internal::record_mix(key.hash() ^ seed)) {}

  float next() override { return static_cast<float>(next32() >> 8) * 0x1p-24f; }

  // The same as pick_index(next(), n), in integer arithmetic (see
  // DefaultRandom::next_index).
  std::size_t next_index(std::size_t n) {
    const std::uint64_t x = next32() >> 8;
    if (n < (std::size_t{1} << 28)) return static_cast<std::size_t>((x * n) >> 24) + 1;
    return pick_index(static_cast<float>(x) * 0x1p-24f, n);
  }

 private:
  std::uint32_t next32() {
    state_ += 0x9E3779B97F4A7C15u;
    return static_cast<std::uint32_t>(internal::record_mix(state_) >> 32);
  }

  std::uint64_t state_;
};

// The scramble of one record: scramble(text, RecordRandom(seed, key), options).
// Throws as scramble does.
std::u16string scramble_record(std::u16string_view text, std::uint32_t seed, const RecordKey& key,
                               const ScrambleOptions& options = {});

}  // namespace textquirl
