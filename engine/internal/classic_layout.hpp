// The classic scramble with the default options in two steps, on UTF-8
// without CR: lay_out() writes the text as the scan would, spaces and all,
// each word still in order, and notes the words to shuffle with the number
// of their first draw; shuffle() then takes all the draws at once and
// shuffles each word where it lies, the words of one length together, so
// that their shuffles run without a branch that depends on the length.
// Between the two steps a caller learns where its draws begin (the
// filter's threads lay out side by side). Internal to the engine.
//
//   ClassicLayout layout;
//   bool space = false;
//   layout.lay_out("Hallo  Welt\n", to, space);  // true; draws() == 5
//   layout.shuffle(random);                      // to: "Hlalo Wlet \n", as the scan writes it
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/random_source.hpp"

namespace textquirl::internal {

class ClassicLayout {
 public:
  // The longest text lay_out() takes.
  static constexpr std::size_t kLongest = std::size_t{1} << 30;

  // Writes `text` (valid UTF-8, no CR) to `to` (room for 2 * size + 64
  // bytes) with the words not yet shuffled; `space` says whether a word
  // here gets a space before it, on entry and on return, as the scan's
  // flag. False, with nothing usable written and `space` as it was, for a
  // text longer than kLongest or with a character that may join a
  // neighbour (the scan's own business).
  bool lay_out(std::string_view text, char* to, bool& space);

  // The draws shuffle() takes, after lay_out() returned true.
  std::size_t draws() const { return draws_; }

  // Shuffles the laid-out words with the next draws() values of `random`,
  // as the scan would have drawn them; `text` and `to` must be as lay_out()
  // left them. Returns the end of the result.
  char* shuffle(DefaultRandom& random);

  // An ASCII word of 4 to 18 letters: where it is in the result, its first draw.
  struct Word {
    std::uint32_t at, draw;
  };
  // A word of 4 to 18 characters, some of several bytes: also where it is
  // in the text, and the bits of the bytes that start its characters.
  struct PackedWord {
    std::uint64_t starts;
    std::uint32_t from, at, draw;
  };

 private:
  // A longer word to shuffle: where it is in the text and in the result.
  struct OtherWord {
    std::uint32_t from, at, draw, bytes, characters;
  };
  // Words by the number of their inner characters, 2 .. 16; 0 takes the
  // words without a shuffle (never read back).
  static constexpr unsigned kLengths = 17;

  void make_room(std::size_t size);
  void shuffle_other(const OtherWord& word, const std::uint32_t* outputs);

  const std::uint8_t* text_ = nullptr;
  std::size_t size_ = 0;
  char* to_ = nullptr;
  char* end_ = nullptr;
  std::size_t draws_ = 0;
  std::unique_ptr<Word[]> words_;
  std::size_t words_room_ = 0;
  Word* begin_[kLengths] = {};
  Word* end_of_[kLengths] = {};
  std::unique_ptr<PackedWord[]> packed_words_;
  std::size_t packed_room_ = 0;
  PackedWord* packed_begin_[kLengths] = {};
  PackedWord* packed_end_[kLengths] = {};
  std::unique_ptr<OtherWord[]> others_;
  std::size_t others_room_ = 0;
  OtherWord* others_end_ = nullptr;
  std::unique_ptr<std::uint32_t[]> outputs_;
  std::size_t outputs_room_ = 0;
  std::vector<std::uint32_t> packed_;  // the inner characters of an OtherWord
};

}  // namespace textquirl::internal
