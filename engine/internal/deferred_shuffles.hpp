// The shuffles of a text's words, noted while the text is laid out and done
// afterwards all at once: for the two-step scrambles of UTF-8 (the classic
// layout and the careful one), which learn the number of draws before they
// draw. The words wait in lists by the number of their inner characters,
// so that each list is shuffled by code made for that number, without a
// branch on it; each word knows its first draw, so the order of the lists
// does not matter. Internal to the engine.
//
//   DeferredShuffles shuffles;
//   shuffles.start(text, 4, to);          // "Welt", copied to `to` as it is
//   shuffles.note(0, 4, 0, 0, ~0);        // draws() == 2
//   shuffles.shuffle(random);             // to: "Wlet" for DefaultRandom(5489)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/random_source.hpp"

namespace textquirl::internal {

class DeferredShuffles {
 public:
  // The longest text start() takes.
  static constexpr std::size_t kLongest = std::size_t{1} << 30;

  // Forgets the words noted before, for a text of `size` bytes (at most
  // kLongest) at `text` whose result is at `to`, with room for 2 * size +
  // 64 bytes there.
  void start(const std::uint8_t* text, std::size_t size, char* to);

  // Notes the word text[from, end), which stands at `at` in the result,
  // with `continuations` bytes that continue a character (none: ASCII);
  // bit i of `starts` is set where one of its first 64 bytes starts a
  // character (needed only when not ASCII). A word of fewer than four
  // characters is not shuffled; the others take one draw per inner
  // character, in the order noted. The characters have up to three bytes.
  void note(std::size_t from, std::size_t end, std::size_t at, std::size_t continuations, std::uint64_t starts) {
    const std::size_t bytes = end - from, characters = bytes - continuations, inner = characters - 2;
    const bool shuffled = characters >= 4, short_enough = characters < kLengths + 2;
    // The list by kind and length, with no branch on either: both are
    // hard to predict.
    const std::size_t length = shuffled && short_enough ? inner : 0;
    const std::size_t list = (continuations != 0 ? kLengths : 0) + length;
    Word* const slot = end_[list];
    *slot = {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(draws_), starts};
    end_[list] = slot + (length != 0);
    if (shuffled && !short_enough) {
      *others_end_++ = {static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(at),
                        static_cast<std::uint32_t>(draws_), static_cast<std::uint32_t>(bytes),
                        static_cast<std::uint32_t>(characters)};
    }
    draws_ += shuffled ? inner : 0;
  }

  // The draws the words noted take.
  std::size_t draws() const { return draws_; }

  // Shuffles the words noted, their characters as they stand in the text
  // (where the result has a copy of them), with the next draws() values of
  // `random`: each word as shuffle_values over its inner characters draws.
  void shuffle(DefaultRandom& random);

  // A word of 4 to 18 characters: where it is in the result, its first
  // draw, and (unless ASCII) the bits of the bytes that start a character.
  struct Word {
    std::uint32_t at, draw;
    std::uint64_t starts;
  };

 private:
  // A longer word: where it is in the text and in the result.
  struct OtherWord {
    std::uint32_t from, at, draw, bytes, characters;
  };
  // Words by the number of their inner characters, 2 .. 16, the ASCII
  // ones in lists 0 .. 16, the others in lists kLengths + (0 .. 16); lists
  // 0, 1, kLengths and kLengths + 1 take the words without a shuffle (one
  // slot, never read back).
  static constexpr unsigned kLengths = 17;

  void shuffle_other(const OtherWord& word, const std::uint32_t* outputs);

  const std::uint8_t* text_ = nullptr;
  std::size_t size_ = 0;
  char* to_ = nullptr;
  std::size_t draws_ = 0;
  std::unique_ptr<Word[]> words_;
  std::size_t words_room_ = 0;
  Word* begin_[2 * kLengths] = {};
  Word* end_[2 * kLengths] = {};
  std::unique_ptr<OtherWord[]> others_;
  std::size_t others_room_ = 0;
  OtherWord* others_end_ = nullptr;
  std::unique_ptr<std::uint32_t[]> outputs_;
  std::size_t outputs_room_ = 0;
  std::vector<std::uint32_t> packed_;  // the inner characters of an OtherWord
};

}  // namespace textquirl::internal
