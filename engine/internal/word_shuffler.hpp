// The shuffle of one word's inner characters, as the scramble writes it.
// Internal to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"

namespace textquirl::internal {

// Writes words with their inner characters shuffled, drawing from a
// `Source` (a RandomSource, or DefaultRandom itself to save a virtual call
// per draw). Words of up to three characters are written as they are.
//   ZeroSource zero; WordShuffler<RandomSource> words(zero);
//   words.append_word(u"Hallo", true, out);  // writes u"Hallo": 0 keeps the order
template <class Source>
class WordShuffler {
 public:
  explicit WordShuffler(Source& random) : random_(random) {}

  // Appends `word` with its inner characters shuffled. `simple` says that
  // each unit of the word is a character of its own. Callers reserve room
  // for the word first.
  void append_word(std::u16string_view word, bool simple, Output& out) {
    if (word.size() <= 3) {  // three units are at most three characters
      out.put(word);
      return;
    }
    if (simple) {
      append_simple(word, out);
      return;
    }
    split_graphemes_by_rules(word, bounds_);
    const std::size_t characters = bounds_.size() - 1;
    if (characters <= 3) {
      out.put(word);
      return;
    }
    out.put(word.substr(0, bounds_[1]));
    // Each inner character goes through the shuffle as one value: up to
    // three units packed with their count (so that a long word's shuffle
    // reads them block by block, not from random places), a longer one as
    // its number, with count 0.
    const auto pack = [&](std::size_t i) {
      const std::uint32_t start = bounds_[i + 1], length = bounds_[i + 2] - start;
      if (length > kPackedUnits) return std::uint64_t{i} << 2;
      std::uint64_t packed = length;
      for (std::uint32_t u = 0; u < length; ++u) packed |= std::uint64_t{word[start + u]} << (16 * (u + 1));
      return packed;
    };
    shuffle_values(characters - 2, random_, pack, [&](std::uint64_t packed) {
      const auto length = static_cast<unsigned>(packed & 3);
      if (length == 0) {
        const std::size_t i = packed >> 2;
        out.put(word.substr(bounds_[i + 1], bounds_[i + 2] - bounds_[i + 1]));
      }
      for (unsigned u = 1; u <= length; ++u) out.put(static_cast<char16_t>(packed >> (16 * u)));
    });
    out.put(word.substr(bounds_[characters - 1]));
  }

 private:
  // Characters of up to this many units travel packed into 64 bits, beside
  // their count in the lowest two bits.
  static constexpr std::uint32_t kPackedUnits = 3;

  // A word whose units are its characters, through a local cursor that stays
  // in a register during the shuffle.
  void append_simple(std::u16string_view word, Output& out) {
    const char16_t* const middle = word.data() + 1;  // word.size() - 2 units
    char16_t* to = out.cursor();
    *to++ = word.front();
    shuffle_values(word.size() - 2, random_, [&](std::size_t i) { return middle[i]; }, [&](char16_t c) { *to++ = c; });
    *to++ = word.back();
    out.advance_to(to);
  }

  Source& random_;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace textquirl::internal
