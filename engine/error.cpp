#include "engine/error.hpp"

#include <cstdlib>

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

[[noreturn]] void internal::fail(WordTooLong::Limit limit) {
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
  throw WordTooLong(limit);
#else
  (void)limit;
  std::abort();
#endif
}

}  // namespace textquirl
