// Conversion between the UTF-8 of files and pipes and the UTF-16 text the
// engine works on. Both directions validate: invalid input is reported with
// the position of the first bad unit, never silently replaced.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace textquirl::cli {

// Thrown by utf8_to_utf16: `offset()` is the index (from 0) of the first byte
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

// Thrown by utf16_to_utf8 for an unpaired surrogate at unit `offset()`.
class InvalidUtf16 : public std::runtime_error {
 public:
  explicit InvalidUtf16(std::size_t offset)
      : std::runtime_error("ungepaarte UTF-16-Surrogathälfte"), offset_(offset) {}
  std::size_t offset() const noexcept { return offset_; }

 private:
  std::size_t offset_;
};

// Decodes `utf8` in full; NUL bytes are ordinary characters. Throws
// InvalidUtf8 on the first invalid sequence, std::bad_alloc when memory runs
// out.  utf8_to_utf16("a\xC3\xA4") == u"aä";  utf8_to_utf16("a\x80") throws, offset 1
std::u16string utf8_to_utf16(std::string_view utf8);

// Encodes `utf16`; throws InvalidUtf16 if it holds an unpaired surrogate.
//   utf16_to_utf8(u"aä") == "a\xC3\xA4"
std::string utf16_to_utf8(std::u16string_view utf16);

// The piecewise forms, for the filter's streaming. check_utf8 throws the
// same InvalidUtf8 as utf8_to_utf16 would.
void check_utf8(std::string_view utf8);

// Decodes `valid_utf8` (which check_utf8 accepted) and appends it to `out`,
// every LF that does not follow a CR turned into CR LF; `after_cr` says
// whether the text before this piece ended in a CR. The same as
// to_crlf(utf8_to_utf16(...)) on the whole text, piece by piece.
//   append_utf16_crlf("\n\xC3\xA4\n", true, out) appends u"\nä\r\n"
void append_utf16_crlf(std::string_view valid_utf8, bool after_cr, std::u16string& out);

// Encodes `utf16` and appends it to `out`, every CR LF turned into LF: the
// same as utf16_to_utf8(crlf_to_lf(...)). A CR that ends `utf16` is written
// as it is, so callers keep back a CR (and a lead surrogate) that the next
// piece may complete. Throws InvalidUtf16 (offset within `utf16`) for an
// unpaired surrogate.  append_utf8_lf(u"ä\r\n\r", out) appends "\xC3\xA4\n\r"
void append_utf8_lf(std::u16string_view utf16, std::string& out);

// End of the piece of `utf8` that starts at `begin` and holds at most
// `max_bytes` bytes (at least 4), moved back so that no valid sequence is
// cut: utf8_piece_end("a\xC3\xA4", 0, 2) == 1.
std::size_t utf8_piece_end(std::string_view utf8, std::size_t begin, std::size_t max_bytes);

namespace detail {
// The same conversions, handing ICU at most `max_chunk` units per call
// (ICU counts in int32_t, so very large texts go in pieces). The public
// functions use the largest chunk ICU accepts; tests use tiny ones (at least
// 4 bytes and 2 units are used, so that a piece can hold any one character).
std::u16string utf8_to_utf16(std::string_view utf8, std::size_t max_chunk);
std::string utf16_to_utf8(std::u16string_view utf16, std::size_t max_chunk);
}  // namespace detail

}  // namespace textquirl::cli
