#include "cli/utf8.hpp"

#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>

namespace textquirl::cli {
namespace {

constexpr std::size_t kInt32Max = std::numeric_limits<std::int32_t>::max();

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// End of the next piece of `utf8` starting at `begin`, at most `max_chunk`
// bytes long. It is moved back to the start of a sequence so that no valid
// sequence is cut; after four continuation bytes in a row there is none to
// protect (the fourth can never be part of a valid sequence), so the cut stays.
std::size_t utf8_chunk_end(std::string_view utf8, std::size_t begin, std::size_t max_chunk) {
  max_chunk = std::max<std::size_t>(max_chunk, 4);
  std::size_t end = begin + std::min(max_chunk, utf8.size() - begin);
  if (end == utf8.size()) return end;
  for (std::size_t back = 0; back < 4 && end - back > begin; ++back) {
    if (!is_continuation(static_cast<unsigned char>(utf8[end - back]))) return end - back;
  }
  return end;
}

// German description of the invalid sequence that starts at `at` and that
// U8_NEXT ended at `next`; `piece_ends_input` tells whether the end of
// `piece` is the end of the whole input.
std::string describe(std::string_view piece, std::size_t at, std::size_t next, bool piece_ends_input) {
  const auto byte = static_cast<unsigned char>(piece[at]);
  const auto second = at + 1 < piece.size() ? static_cast<unsigned char>(piece[at + 1]) : 0;
  const bool second_continues = at + 1 < piece.size() && is_continuation(second);
  if (is_continuation(byte)) return "Folgebyte ohne vorangehendes Startbyte";
  if (byte == 0xC0 || byte == 0xC1) return "überlange Kodierung";
  if (byte >= 0xF5) return "dieses Byte kommt in UTF-8 nicht vor";
  if (second_continues) {
    if (byte == 0xE0 && second < 0xA0) return "überlange Kodierung";
    if (byte == 0xF0 && second < 0x90) return "überlange Kodierung";
    if (byte == 0xED && second >= 0xA0) return "kodierte UTF-16-Surrogathälfte (U+D800 bis U+DFFF)";
    if (byte == 0xF4 && second >= 0x90) return "Codepunkt über U+10FFFF";
  }
  if (next == piece.size() && piece_ends_input) return "Bytefolge am Ende der Eingabe abgebrochen";
  return "unvollständige Bytefolge (zu wenige Folgebytes)";
}

// The error for `piece` = utf8[begin, end), which ICU rejected.
InvalidUtf8 locate_utf8_error(std::string_view utf8, std::size_t begin, std::size_t end) {
  const std::string_view piece = utf8.substr(begin, end - begin);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(piece.data());
  const auto length = static_cast<std::int32_t>(piece.size());
  std::int32_t i = 0;
  while (i < length) {
    const std::int32_t at = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      return InvalidUtf8(begin + static_cast<std::size_t>(at),
                         describe(piece, static_cast<std::size_t>(at), static_cast<std::size_t>(i),
                                  end == utf8.size()));
    }
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

// Blocks of 16 bytes or units: the fast paths handle a whole block of
// ASCII at once and stop at the first unit that needs a closer look. Each
// function returns a mask with bit k set for each unit k of that kind.
constexpr std::size_t kBlock = 16;

#if defined(__SSE2__)
// Bytes of 0x80 or more.
unsigned non_ascii_bytes(const std::uint8_t* p) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
}
// Widens the 16 bytes at `p` to `to`; marks LF and bytes of 0x80 or more.
unsigned widen_block(const std::uint8_t* p, char16_t* to) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(v, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(v, zero));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(v, _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))));
}
// Narrows the 16 units at `p` to `to`; marks CR and units of 0x80 or more.
unsigned narrow_block(const char16_t* p, char* to) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(a, b));
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128(), cr = _mm_set1_epi16('\r');
  const __m128i ascii_a = _mm_cmpeq_epi16(_mm_and_si128(a, high), zero);
  const __m128i ascii_b = _mm_cmpeq_epi16(_mm_and_si128(b, high), zero);
  const __m128i special_a = _mm_or_si128(_mm_andnot_si128(ascii_a, _mm_set1_epi16(-1)), _mm_cmpeq_epi16(a, cr));
  const __m128i special_b = _mm_or_si128(_mm_andnot_si128(ascii_b, _mm_set1_epi16(-1)), _mm_cmpeq_epi16(b, cr));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(special_a, special_b)));
}
#else
unsigned non_ascii_bytes(const std::uint8_t* p) {
  unsigned mask = 0;
  for (unsigned k = 0; k < kBlock; ++k) mask |= static_cast<unsigned>(p[k] >= 0x80) << k;
  return mask;
}
unsigned widen_block(const std::uint8_t* p, char16_t* to) {
  unsigned mask = 0;
  for (unsigned k = 0; k < kBlock; ++k) {
    to[k] = p[k];
    mask |= static_cast<unsigned>(p[k] >= 0x80 || p[k] == '\n') << k;
  }
  return mask;
}
unsigned narrow_block(const char16_t* p, char* to) {
  unsigned mask = 0;
  for (unsigned k = 0; k < kBlock; ++k) {
    to[k] = static_cast<char>(p[k]);
    mask |= static_cast<unsigned>(p[k] >= 0x80 || p[k] == u'\r') << k;
  }
  return mask;
}
#endif

// Copies whole blocks from in[i] to `to` with `copy_block` (widen_block or
// narrow_block) while they hold no unit that needs a closer look, then the
// units before the first such one; moves `i` and `to` past what it copied.
// Fewer than kBlock units left are left to the caller.
template <class In, class Out, class CopyBlock>
void copy_plain_blocks(const In* in, std::size_t n, std::size_t& i, Out*& to, CopyBlock copy_block) {
  while (n - i >= kBlock) {
    const unsigned special = copy_block(in + i, to);
    const std::size_t plain = special == 0 ? kBlock : static_cast<std::size_t>(std::countr_zero(special));
    to += plain;
    i += plain;
    if (plain < kBlock) return;
  }
}

bool is_continuation_byte(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of the valid sequence that starts with the non-ASCII byte at
// bytes[i], or 0 if it is invalid (the rules of RFC 3629).
std::size_t valid_sequence_length(const std::uint8_t* bytes, std::size_t i, std::size_t n) {
  const std::uint8_t lead = bytes[i];
  const std::size_t left = n - i;
  if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && is_continuation_byte(bytes[i + 1]) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3) return 0;
    const std::uint8_t second = bytes[i + 1];
    const std::uint8_t low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return second >= low && second <= high && is_continuation_byte(bytes[i + 2]) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4) return 0;
    const std::uint8_t second = bytes[i + 1];
    const std::uint8_t low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return second >= low && second <= high && is_continuation_byte(bytes[i + 2]) &&
                   is_continuation_byte(bytes[i + 3])
               ? 4
               : 0;
  }
  return 0;
}

}  // namespace

void check_utf8(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    if (n - i >= kBlock) {
      const unsigned high = non_ascii_bytes(bytes + i);
      if (high == 0) {
        i += kBlock;
        continue;
      }
      i += static_cast<std::size_t>(std::countr_zero(high));
    } else if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = valid_sequence_length(bytes, i, n);
    if (length == 0) throw locate_utf8_error(utf8, i, n);
    i += length;
  }
}

void append_utf16_crlf(std::string_view valid_utf8, bool after_cr, std::u16string& out) {
  const auto* in = reinterpret_cast<const std::uint8_t*>(valid_utf8.data());
  const std::size_t n = valid_utf8.size();
  const std::size_t old_size = out.size();
  out.resize(old_size + 2 * n);  // at most two units per byte (LF -> CR LF)
  char16_t* to = out.data() + old_size;
  std::size_t i = 0;
  while (i < n) {
    copy_plain_blocks(in, n, i, to, widen_block);  // up to the first LF or non-ASCII byte
    if (i == n) break;
    const std::uint8_t lead = in[i];
    if (lead < 0x80) {
      if (lead == '\n' && !(i > 0 ? in[i - 1] == '\r' : after_cr)) *to++ = u'\r';
      *to++ = lead;
      i += 1;
    } else if (lead < 0xE0) {
      *to++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (in[i + 1] & 0x3F));
      i += 2;
    } else if (lead < 0xF0) {
      *to++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F));
      i += 3;
    } else {
      const std::uint32_t c = ((lead & 0x07u) << 18) | ((in[i + 1] & 0x3Fu) << 12) |
                              ((in[i + 2] & 0x3Fu) << 6) | (in[i + 3] & 0x3Fu);
      *to++ = static_cast<char16_t>(U16_LEAD(c));
      *to++ = static_cast<char16_t>(U16_TRAIL(c));
      i += 4;
    }
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
}

void append_utf8_lf(std::u16string_view utf16, std::string& out) {
  const char16_t* in = utf16.data();
  const std::size_t n = utf16.size();
  const std::size_t old_size = out.size();
  out.resize(old_size + 3 * n);  // a pair takes 4 bytes, every other unit at most 3
  char* to = out.data() + old_size;
  std::size_t i = 0;
  while (i < n) {
    copy_plain_blocks(in, n, i, to, narrow_block);  // up to the first CR or non-ASCII unit
    if (i == n) break;
    const char16_t c = in[i];
    if (c < 0x80) {
      if (c != u'\r' || i + 1 == n || in[i + 1] != u'\n') *to++ = static_cast<char>(c);
      i += 1;
    } else if (c < 0x800) {
      *to++ = static_cast<char>(0xC0 | (c >> 6));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
      i += 1;
    } else if (!U16_IS_SURROGATE(c)) {
      *to++ = static_cast<char>(0xE0 | (c >> 12));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
      i += 1;
    } else if (U16_IS_LEAD(c) && i + 1 < n && U16_IS_TRAIL(in[i + 1])) {
      const UChar32 code = U16_GET_SUPPLEMENTARY(c, in[i + 1]);
      *to++ = static_cast<char>(0xF0 | (code >> 18));
      *to++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *to++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (code & 0x3F));
      i += 2;
    } else {
      out.resize(static_cast<std::size_t>(to - out.data()));
      throw InvalidUtf16(i);
    }
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
}

std::size_t utf8_piece_end(std::string_view utf8, std::size_t begin, std::size_t max_bytes) {
  return utf8_chunk_end(utf8, begin, max_bytes);
}

namespace detail {

std::u16string utf8_to_utf16(std::string_view utf8, std::size_t max_chunk) {
  max_chunk = std::clamp<std::size_t>(max_chunk, 4, kInt32Max);  // room for any sequence
  std::u16string out;
  out.resize(utf8.size());  // never more UTF-16 units than UTF-8 bytes
  std::size_t written = 0;
  for (std::size_t begin = 0; begin < utf8.size();) {
    const std::size_t end = utf8_chunk_end(utf8, begin, max_chunk);
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
