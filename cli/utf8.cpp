#include "cli/utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>

namespace textquirl::cli {
namespace {

// German description of the invalid sequence that starts at utf8[at] and
// whose longest valid start ends at `next`.
std::string describe(std::string_view utf8, std::size_t at, std::size_t next) {
  const auto byte = static_cast<unsigned char>(utf8[at]);
  const auto second = at + 1 < utf8.size() ? static_cast<unsigned char>(utf8[at + 1]) : 0;
  const bool second_continues = at + 1 < utf8.size() && is_continuation(second);
  if (is_continuation(byte)) return "Folgebyte ohne vorangehendes Startbyte";
  if (byte == 0xC0 || byte == 0xC1) return "überlange Kodierung";
  if (byte >= 0xF5) return "dieses Byte kommt in UTF-8 nicht vor";
  if (second_continues) {
    if (byte == 0xE0 && second < 0xA0) return "überlange Kodierung";
    if (byte == 0xF0 && second < 0x90) return "überlange Kodierung";
    if (byte == 0xED && second >= 0xA0) return "kodierte UTF-16-Surrogathälfte (U+D800 bis U+DFFF)";
    if (byte == 0xF4 && second >= 0x90) return "Codepunkt über U+10FFFF";
  }
  if (next == utf8.size()) return "Bytefolge am Ende der Eingabe abgebrochen";
  return "unvollständige Bytefolge (zu wenige Folgebytes)";
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
// Whether the 64 bytes at `p` are ASCII and whole sequences of two bytes
// (C2 .. DF, then 80 .. BF), the most of Latin text: then they are valid
// UTF-8 as they stand.
bool two_byte_block(const std::uint8_t* p) {
  std::uint64_t high = 0, continuations = 0, leads = 0;
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  // Unsigned ranges: the bytes moved down by 0x80 and compared signed.
  const __m128i continuation_top = _mm_set1_epi8(static_cast<char>(0xBF ^ 0x80));
  const __m128i lead_low = _mm_set1_epi8(static_cast<char>(0xC2 ^ 0x80));
  const __m128i lead_top = _mm_set1_epi8(static_cast<char>(0xDF ^ 0x80));
  for (unsigned j = 0; j < 64; j += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
    const __m128i shifted = _mm_xor_si128(x, flip);
    const __m128i continuation = _mm_andnot_si128(_mm_cmpgt_epi8(shifted, continuation_top), x);
    const __m128i lead = _mm_andnot_si128(_mm_or_si128(_mm_cmplt_epi8(shifted, lead_low), _mm_cmpgt_epi8(shifted, lead_top)),
                                          _mm_set1_epi8(-1));
    high |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(x))) << j;
    continuations |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(continuation))) << j;
    leads |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(lead))) << j;
  }
  return (continuations | leads) == high && continuations == leads << 1 && (leads >> 63) == 0;
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
bool two_byte_block(const std::uint8_t*) { return false; }
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

// The range of the second byte of a sequence led by `lead` (0xC2 .. 0xF4):
// narrower after E0, ED, F0 and F4, which would otherwise encode overlong
// forms, surrogates or code points past U+10FFFF (RFC 3629).
struct ByteRange {
  std::uint8_t low, high;
};
ByteRange second_byte_range(std::uint8_t lead) {
  switch (lead) {
    case 0xE0: return {0xA0, 0xBF};
    case 0xED: return {0x80, 0x9F};
    case 0xF0: return {0x90, 0xBF};
    case 0xF4: return {0x80, 0x8F};
    default: return {0x80, 0xBF};
  }
}

// Length of a sequence led by `lead`, or 0 for a byte that leads none.
std::size_t sequence_length(std::uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// End of the longest start of a valid sequence at bytes[i] (the maximal
// subpart): the lead and the continuation bytes that fit it, at most one
// short of the whole; at least i + 1.
std::size_t valid_start_end(const std::uint8_t* bytes, std::size_t i, std::size_t n) {
  const std::size_t length = sequence_length(bytes[i]);
  std::size_t end = i + 1;
  if (length == 0 || end == n) return end;
  const ByteRange second = second_byte_range(bytes[i]);
  if (bytes[end] < second.low || bytes[end] > second.high) return end;
  for (++end; end < i + length && end < n && is_continuation(bytes[end]);) ++end;
  return end;
}

// Length of the valid sequence that starts with the non-ASCII byte at
// bytes[i], or 0 if it is invalid.
std::size_t valid_sequence_length(const std::uint8_t* bytes, std::size_t i, std::size_t n) {
  const std::uint8_t lead = bytes[i];
  if (lead >= 0xC2 && lead <= 0xDF) return n - i >= 2 && is_continuation(bytes[i + 1]) ? 2 : 0;  // umlauts
  const std::size_t length = sequence_length(lead);
  return length != 0 && valid_start_end(bytes, i, n) == i + length ? length : 0;
}

}  // namespace

void check_utf8(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    while (n - i >= 64 && two_byte_block(bytes + i)) i += 64;
    // The next 64 bytes (at least) sequence by sequence, ASCII 16 bytes at a time.
    for (const std::size_t stop = std::min(n, i + 64); i < stop;) {
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
      if (length == 0) throw detail::invalid_sequence(utf8, i, valid_start_end(bytes, i, n));
      i += length;
    }
  }
}

namespace {

// write_utf16_crlf, and with `kToCrlf` false the same without touching line breaks.
template <bool kToCrlf>
char16_t* write_utf16(std::string_view valid_utf8, bool after_cr, char16_t* to) {
  const auto* in = reinterpret_cast<const std::uint8_t*>(valid_utf8.data());
  const std::size_t n = valid_utf8.size();
  std::size_t i = 0;
  while (i < n) {
    copy_plain_blocks(in, n, i, to, widen_block);  // up to the first LF or non-ASCII byte
    if (i == n) break;
    const std::uint8_t lead = in[i];
    if (lead < 0x80) {
      if (kToCrlf && lead == '\n' && !(i > 0 ? in[i - 1] == '\r' : after_cr)) *to++ = u'\r';
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
      *to++ = static_cast<char16_t>(0xD7C0 + (c >> 10));  // 0xD800 + ((c - 0x10000) >> 10)
      *to++ = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
      i += 4;
    }
  }
  return to;
}

}  // namespace

char16_t* write_utf16_crlf(std::string_view valid_utf8, bool after_cr, char16_t* to) {
  return write_utf16<true>(valid_utf8, after_cr, to);
}

void append_utf16_crlf(std::string_view valid_utf8, bool after_cr, std::u16string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + 2 * valid_utf8.size());  // at most two units per byte (LF -> CR LF)
  const char16_t* end = write_utf16_crlf(valid_utf8, after_cr, out.data() + old_size);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::u16string decode_utf8_lossy(std::string_view utf8) {
  std::u16string out;
  for (;;) {
    std::size_t valid = utf8.size();
    try {
      check_utf8(utf8);
    } catch (const InvalidUtf8& error) {
      valid = error.offset();
    }
    const std::size_t old_size = out.size();
    out.resize(old_size + valid);  // at most one unit per byte without line-break changes
    const char16_t* end = write_utf16<false>(utf8.substr(0, valid), false, out.data() + old_size);
    out.resize(static_cast<std::size_t>(end - out.data()));
    if (valid == utf8.size()) return out;
    out += u'\uFFFD';
    utf8.remove_prefix(valid + 1);
  }
}

char* write_utf8_lf(std::u16string_view utf16, char* to, std::size_t& written) {
  const char* const begin = to;
  const char16_t* in = utf16.data();
  const std::size_t n = utf16.size();
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
    } else if ((c & 0xF800) != 0xD800) {  // not a surrogate
      *to++ = static_cast<char>(0xE0 | (c >> 12));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
      i += 1;
    } else if (is_lead_surrogate(c) && i + 1 < n && (in[i + 1] & 0xFC00) == 0xDC00) {
      const std::uint32_t code = 0x10000 + ((std::uint32_t{c} - 0xD800) << 10) + (in[i + 1] - 0xDC00u);
      *to++ = static_cast<char>(0xF0 | (code >> 18));
      *to++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *to++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (code & 0x3F));
      i += 2;
    } else {
      written = static_cast<std::size_t>(to - begin);
      throw InvalidUtf16(i);
    }
  }
  written = static_cast<std::size_t>(to - begin);
  return to;
}

void append_utf8_lf(std::u16string_view utf16, std::string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + 3 * utf16.size());  // a pair takes 4 bytes, every other unit at most 3
  std::size_t written = 0;
  try {
    write_utf8_lf(utf16, out.data() + old_size, written);
  } catch (const InvalidUtf16&) {
    out.resize(old_size + written);
    throw;
  }
  out.resize(old_size + written);
}

// The cut is moved back to the start of a sequence so that no valid sequence
// is cut; after four continuation bytes in a row there is none to protect
// (the fourth can never be part of a valid sequence), so the cut stays.
std::size_t utf8_piece_end(std::string_view utf8, std::size_t begin, std::size_t max_bytes) {
  max_bytes = std::max<std::size_t>(max_bytes, 4);
  std::size_t end = begin + std::min(max_bytes, utf8.size() - begin);
  if (end == utf8.size()) return end;
  for (std::size_t back = 0; back < 4 && end - back > begin; ++back) {
    if (!is_continuation(static_cast<unsigned char>(utf8[end - back]))) return end - back;
  }
  return end;
}

InvalidUtf8 detail::invalid_sequence(std::string_view utf8, std::size_t at, std::size_t next) {
  return InvalidUtf8(at, describe(utf8, at, next));
}

}  // namespace textquirl::cli
