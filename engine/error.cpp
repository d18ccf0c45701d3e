#include "engine/error.hpp"

#include <cstdlib>
#include <string>

namespace textquirl {

namespace {

const char* describe(WordTooLong::Limit limit) {
  switch (limit) {
    case WordTooLong::Limit::kShuffle: return "textquirl: word has too many characters to shuffle";
    case WordTooLong::Limit::kSplit: return "textquirl: word has too many units to split into characters";
  }
  return "textquirl: word too long";
}

}  // namespace

WordTooLong::WordTooLong(Limit limit) : std::length_error(describe(limit)), limit_(limit) {}

InvalidOption::InvalidOption(const char* option)
    : std::invalid_argument(std::string("textquirl: option out of range: ") + option), option_(option) {}

[[noreturn]] void internal::fail_option(const char* option) {
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
  throw InvalidOption(option);
#else
  (void)option;
  std::abort();
#endif
}

[[noreturn]] void internal::fail_argument(const char* message) {
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
  throw std::invalid_argument(message);
#else
  (void)message;
  std::abort();
#endif
}

[[noreturn]] void internal::fail(WordTooLong::Limit limit) {
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
  throw WordTooLong(limit);
#else
  (void)limit;
  std::abort();
#endif
}

}  // namespace textquirl
