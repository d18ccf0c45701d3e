// What can go wrong inside the engine, as types. The engine names the fault;
// the programs around it (the windows, the filter, the page) say it in the
// user's words.
//
// Besides these, any call that allocates may throw std::bad_alloc. In a build
// without exceptions (the WebAssembly module) an engine error ends the
// program instead (std::abort), as a failed allocation does there.
#pragma once

#include <cstddef>
#include <stdexcept>

namespace textquirl {

// A word too long for the engine's indices. Such a word cannot arise from
// a text that fits in memory today; the check keeps the arithmetic safe.
//   internal::shuffle_indices(std::size_t{1} << 32, random, emit) throws, before
//   any draw, a WordTooLong with limit() == WordTooLong::Limit::kShuffle
class WordTooLong : public std::length_error {
 public:
  enum class Limit {
    kShuffle,  // more than 2^32 - 1 characters to shuffle
    kSplit,    // 2^31 units or more to cut into characters
  };

  explicit WordTooLong(Limit limit);
  Limit limit() const noexcept { return limit_; }

 private:
  Limit limit_;
};

// An option out of its range; option() names the field of ScrambleOptions
// ("mode", "min_length", "rate").
//   InvalidOption("rate").option() == std::string_view("rate")
class InvalidOption : public std::invalid_argument {
 public:
  explicit InvalidOption(const char* option);
  const char* option() const noexcept { return option_; }

 private:
  const char* option_;  // a string literal
};

namespace internal {

// The one place where the engine fails: throws WordTooLong(limit), or, built
// without exceptions, aborts.
[[noreturn]] void fail(WordTooLong::Limit limit);
// The same for an option out of range: throws InvalidOption(option), a
// string literal, or aborts.
[[noreturn]] void fail_option(const char* option);
// Throws std::invalid_argument(message) for a bad argument, or aborts.
[[noreturn]] void fail_argument(const char* message);

}  // namespace internal

}  // namespace textquirl
