#include "tests/support/cli_reference.hpp"

#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace textquirl::cli {
namespace {

constexpr std::size_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The error for `piece` = utf8[begin, end), which ICU rejected: the first
// sequence ICU's own decoder stops at, and how far it got.
InvalidUtf8 locate_utf8_error(std::string_view utf8, std::size_t begin, std::size_t end) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data() + begin);
  const auto length = static_cast<std::int32_t>(end - begin);
  std::int32_t i = 0;
  while (i < length) {
    const std::int32_t at = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return detail::invalid_sequence(utf8, begin + static_cast<std::size_t>(at), begin + static_cast<std::size_t>(i));
  }
  return InvalidUtf8(begin, "ungültige Bytefolge");
}

// Exact UTF-8 length of valid UTF-16 text (a surrogate pair: 2 + 2 bytes).
std::size_t utf8_length(std::u16string_view utf16) {
  std::size_t length = 0;
  for (const char16_t unit : utf16) {  // arithmetic rather than branches, so it vectorizes
    const bool surrogate = (unit & 0xF800) == 0xD800;
    length += 1 + (unit >= 0x80) + ((unit >= 0x800) & !surrogate);
  }
  return length;
}

std::size_t first_unpaired_surrogate(std::u16string_view piece) {
  const auto length = static_cast<std::int32_t>(piece.size());
  std::int32_t i = 0;
  while (i < length) {
    const std::int32_t at = i;
    UChar32 c;
    U16_NEXT(piece.data(), i, length, c);
    if (U_IS_SURROGATE(c)) return static_cast<std::size_t>(at);
  }
  return 0;
}

}  // namespace

namespace detail {

std::u16string utf8_to_utf16(std::string_view utf8, std::size_t max_chunk) {
  max_chunk = std::clamp<std::size_t>(max_chunk, 4, kInt32Max);  // room for any sequence
  std::u16string out;
  out.resize(utf8.size());  // never more UTF-16 units than UTF-8 bytes
  std::size_t written = 0;
  for (std::size_t begin = 0; begin < utf8.size();) {
    const std::size_t end = utf8_piece_end(utf8, begin, max_chunk);
    const std::size_t room = std::min(out.size() - written, kInt32Max);
    std::int32_t produced = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(out.data() + written, static_cast<std::int32_t>(room), &produced,
                  utf8.data() + begin, static_cast<std::int32_t>(end - begin), &status);
    if (U_FAILURE(status)) throw locate_utf8_error(utf8, begin, end);
    written += static_cast<std::size_t>(produced);
    begin = end;
  }
  out.resize(written);
  return out;
}

std::string utf16_to_utf8(std::u16string_view utf16, std::size_t max_chunk) {
  // Up to three bytes per unit must fit ICU's int32_t output length.
  max_chunk = std::clamp<std::size_t>(max_chunk, 2, kInt32Max / 3);
  std::string out;
  out.resize(utf8_length(utf16));
  std::size_t written = 0;
  for (std::size_t begin = 0; begin < utf16.size();) {
    std::size_t end = begin + std::min(max_chunk, utf16.size() - begin);
    if (end < utf16.size() && U16_IS_LEAD(utf16[end - 1])) --end;  // keep pairs together
    const std::u16string_view piece = utf16.substr(begin, end - begin);
    const std::size_t room = std::min(out.size() - written, kInt32Max);
    std::int32_t produced = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(out.data() + written, static_cast<std::int32_t>(room), &produced, piece.data(),
                static_cast<std::int32_t>(piece.size()), &status);
    if (U_FAILURE(status)) throw InvalidUtf16(begin + first_unpaired_surrogate(piece));
    written += static_cast<std::size_t>(produced);
    begin = end;
  }
  out.resize(written);
  return out;
}

}  // namespace detail

std::u16string utf8_to_utf16(std::string_view utf8) {
  return detail::utf8_to_utf16(utf8, kInt32Max);
}

std::string utf16_to_utf8(std::u16string_view utf16) {
  return detail::utf16_to_utf8(utf16, kInt32Max / 3);
}

}  // namespace textquirl::cli
