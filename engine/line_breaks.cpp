#include "engine/line_breaks.hpp"

#include <algorithm>
#include <cstddef>

namespace textquirl {
namespace {

// Position of the first `unit` in [p, end), or end. Checks sixteen units at
// a time in a loop the compiler turns into vector compares; prose has a line
// break only every few dozen characters, so most blocks are skipped whole.
const char16_t* find_unit(const char16_t* p, const char16_t* end, char16_t unit) {
  constexpr std::ptrdiff_t kBlock = 16;
  while (end - p >= kBlock) {
    bool found = false;
    for (std::ptrdiff_t k = 0; k < kBlock; ++k) found |= p[k] == unit;
    if (found) break;
    p += kBlock;
  }
  while (p != end && *p != unit) ++p;
  return p;
}

}  // namespace

std::u16string to_crlf(std::u16string_view text) {
  const char16_t* const begin = text.data();
  const char16_t* const end = begin + text.size();
  std::u16string out;
  out.reserve(text.size() + static_cast<std::size_t>(std::count(begin, end, u'\n')));
  const char16_t* copied = begin;
  for (const char16_t* lf = find_unit(begin, end, u'\n'); lf != end; lf = find_unit(lf + 1, end, u'\n')) {
    if (lf != begin && lf[-1] == u'\r') continue;
    out.append(copied, lf);
    out.push_back(u'\r');
    copied = lf;  // the LF itself goes out with the next run
  }
  out.append(copied, end);
  return out;
}

std::u16string crlf_to_lf(std::u16string text) {
  char16_t* const begin = text.data();
  const char16_t* const end = begin + text.size();
  char16_t* to = nullptr;  // where kept units go once the first CR is dropped
  const char16_t* copied = begin;
  for (const char16_t* cr = find_unit(begin, end, u'\r'); cr != end; cr = find_unit(cr + 1, end, u'\r')) {
    if (cr + 1 == end || cr[1] != u'\n') continue;
    if (to == nullptr) {
      to = begin + (cr - begin);
    } else {
      to = std::copy(copied, cr, to);
    }
    copied = cr + 1;  // drop the CR, keep the LF
  }
  if (to != nullptr) {
    to = std::copy(copied, end, to);
    text.resize(static_cast<std::size_t>(to - begin));
  }
  return text;
}

}  // namespace textquirl
