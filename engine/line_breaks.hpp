// Line breaks at the engine's edges: the engine wants CR LF, while a text
// from a file, a pipe or a web page may break lines with LF alone, and goes
// back out with LF.
#pragma once

#include <string>
#include <string_view>

namespace textquirl {

// Every LF that does not already follow a CR becomes CR LF; CR LF stays and a
// lone CR is an ordinary character.
//   to_crlf(u"a\nb\r\nc\rd") == u"a\r\nb\r\nc\rd"
std::u16string to_crlf(std::u16string_view text);

// Every CR LF becomes LF; a lone CR or LF stays. Works in the buffer it is
// given (move a big text in to save the copy).
//   crlf_to_lf(u"a\r\nb\rc\r\r\n") == u"a\nb\rc\r\n"
std::u16string crlf_to_lf(std::u16string text);

}  // namespace textquirl
