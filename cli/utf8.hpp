// Conversion between the UTF-8 of files and pipes and the UTF-16 text the
// engine works on, piece by piece as the filter streams. Both directions
// validate: invalid input is reported with the position of the first bad
// unit, never silently replaced (but for decode_utf8_lossy, with which the
// windows decode exception texts).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace textquirl::cli {

// Thrown by check_utf8: `offset()` is the index (from 0) of the first byte
// of the first invalid sequence, `what()` says in German what is wrong,
// e.g. "überlange Kodierung".
class InvalidUtf8 : public std::runtime_error {
 public:
  InvalidUtf8(std::size_t offset, const std::string& problem)
      : std::runtime_error(problem), offset_(offset) {}
  std::size_t offset() const noexcept { return offset_; }

 private:
  std::size_t offset_;
};

// Thrown by append_utf8_lf for an unpaired surrogate at unit `offset()`.
class InvalidUtf16 : public std::runtime_error {
 public:
  explicit InvalidUtf16(std::size_t offset)
      : std::runtime_error("ungepaarte UTF-16-Surrogathälfte"), offset_(offset) {}
  std::size_t offset() const noexcept { return offset_; }

 private:
  std::size_t offset_;
};

// Whether `byte` continues a multi-byte sequence (10xxxxxx):
//   is_continuation(0xA4) == true;  is_continuation(0xC3) == false
constexpr bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Whether `unit` is the first half of a surrogate pair:
//   is_lead_surrogate(u'\xD83D') == true;  is_lead_surrogate(u'a') == false
constexpr bool is_lead_surrogate(char16_t unit) { return (unit & 0xFC00) == 0xD800; }

// Checks that `utf8` is valid UTF-8 (NUL bytes are ordinary characters);
// throws InvalidUtf8 for the first invalid sequence:
//   check_utf8("a\xC3\xA4") returns;  check_utf8("a\x80") throws, offset 1
void check_utf8(std::string_view utf8);

// Decodes `valid_utf8` (which check_utf8 accepted) and appends it to `out`,
// every LF that does not follow a CR turned into CR LF; `after_cr` says
// whether the text before this piece ended in a CR. Piece by piece, the
// same as decoding the whole text and then turning its LFs into CR LF.
//   append_utf16_crlf("\n\xC3\xA4\n", true, out) appends u"\nä\r\n"
void append_utf16_crlf(std::string_view valid_utf8, bool after_cr, std::u16string& out);

// Decodes `utf8` of unknown make, each byte that starts no valid sequence
// replaced by U+FFFD; line breaks stay as they are. For texts shown to the
// user, such as an exception's what():
//   decode_utf8_lossy("W\xC3\xB6rt \xFF\n") == u"Wört \uFFFD\n"
std::u16string decode_utf8_lossy(std::string_view utf8);

// Encodes `utf16` and appends it to `out`, every CR LF turned into LF. A CR
// that ends `utf16` is written as it is, so callers keep back a CR (and a
// lead surrogate) that the next piece may complete. Throws InvalidUtf16
// (offset within `utf16`) for an unpaired surrogate; what came before it is
// appended.
//   append_utf8_lf(u"ä\r\n\r", out) appends "\xC3\xA4\n\r"
void append_utf8_lf(std::u16string_view utf16, std::string& out);

// End of the piece of `utf8` that starts at `begin` and holds at most
// `max_bytes` bytes (at least 4), moved back so that no valid sequence is
// cut: utf8_piece_end("abc\xC3\xA4", 0, 4) == 3.
std::size_t utf8_piece_end(std::string_view utf8, std::size_t begin, std::size_t max_bytes);

namespace detail {
// The error for the invalid sequence at utf8[at]; `next` ends the longest
// start of a valid sequence there (at least the byte at `at`), as Unicode's
// "maximal subpart" rule counts it. It tells a sequence cut off by the end
// of the input from one that lacks continuation bytes.
InvalidUtf8 invalid_sequence(std::string_view utf8, std::size_t at, std::size_t next);
}  // namespace detail

}  // namespace textquirl::cli
