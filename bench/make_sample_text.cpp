// Writes sample text as UTF-8 with LF line breaks, for measuring the programs
// as a whole: generated German-like prose, or one single word of about the
// same size made of letters, NUL characters, letters with a combining accent,
// or thumbs-up emoji with a skin tone.
//   make-sample-text 10 > prose-10mb.txt
//   make-sample-text 10 accents > word-10mb.txt
#include <unicode/ustring.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "german_text.hpp"

namespace {

// About `bytes` bytes of UTF-8: `unit` repeated, letters stepping through the
// alphabet.
std::u16string one_word(std::size_t bytes, std::u16string_view unit, std::size_t unit_bytes) {
  std::u16string text;
  text.reserve(bytes / unit_bytes * unit.size());
  for (std::size_t i = 0; i < bytes / unit_bytes; ++i) {
    for (char16_t c : unit) text += c == u'a' ? static_cast<char16_t>(u'a' + (i * 7) % 26) : c;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 1.0;
  const auto bytes = static_cast<std::size_t>(megabytes * 1024 * 1024);
  const char* kind = argc > 2 ? argv[2] : "prose";
  std::u16string text;
  if (std::strcmp(kind, "prose") == 0) {
    // German prose in UTF-8 takes about 1.02 bytes per unit.
    text = textquirl::bench::german_text(bytes - bytes / 50, u"\n");
  } else if (std::strcmp(kind, "letters") == 0) {
    text = one_word(bytes, u"a", 1);
  } else if (std::strcmp(kind, "nul") == 0) {
    text = one_word(bytes, std::u16string(1, u'\0'), 1);
  } else if (std::strcmp(kind, "accents") == 0) {
    text = one_word(bytes, u"a\u0301", 3);
  } else if (std::strcmp(kind, "thumbs") == 0) {
    text = one_word(bytes, u"\U0001F44D\U0001F3FD", 8);
  } else {
    std::fprintf(stderr, "Unbekannte Art \"%s\": prose, letters, nul, accents oder thumbs.\n", kind);
    return 2;
  }
  std::string utf8(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &length,
              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return 1;
  utf8.resize(static_cast<std::size_t>(length));
  return std::fwrite(utf8.data(), 1, utf8.size(), stdout) == utf8.size() ? 0 : 1;
}
