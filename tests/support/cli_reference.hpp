// Whole-text versions of the filter's conversions, for tests and fuzzing
// only: UTF-8 to UTF-16 and back through ICU, and (from the engine) the
// line-break changes at the program's edges. The filter's piecewise forms
// (cli/utf8.hpp) must agree with them on every input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "cli/utf8.hpp"
#include "engine/line_breaks.hpp"

namespace textquirl::cli {

// Decodes `utf8` in full; NUL bytes are ordinary characters. Throws
// InvalidUtf8 on the first invalid sequence, std::bad_alloc when memory runs
// out.  utf8_to_utf16("a\xC3\xA4") == u"aä";  utf8_to_utf16("a\x80") throws, offset 1
std::u16string utf8_to_utf16(std::string_view utf8);

// Encodes `utf16`; throws InvalidUtf16 if it holds an unpaired surrogate.
//   utf16_to_utf8(u"aä") == "a\xC3\xA4"
std::string utf16_to_utf8(std::u16string_view utf16);

namespace detail {
// The same conversions, handing ICU at most `max_chunk` units per call
// (ICU counts in int32_t, so very large texts go in pieces). The public
// functions use the largest chunk ICU accepts; tests use tiny ones (at least
// 4 bytes and 2 units are used, so that a piece can hold any one character).
std::u16string utf8_to_utf16(std::string_view utf8, std::size_t max_chunk);
std::string utf16_to_utf8(std::u16string_view utf16, std::size_t max_chunk);
}  // namespace detail

}  // namespace textquirl::cli
