// Writes generated German-like prose as UTF-8 with LF line breaks, for
// measuring the programs as a whole:  make-sample-text 10 > prose-10mb.txt
#include <unicode/ustring.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "german_text.hpp"

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 1.0;
  const auto bytes = static_cast<std::size_t>(megabytes * 1024 * 1024);
  // German prose in UTF-8 takes about 1.02 bytes per unit.
  const std::u16string text = textquirl::bench::german_text(bytes - bytes / 50, u"\n");
  std::string utf8(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &length,
              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return 1;
  utf8.resize(static_cast<std::size_t>(length));
  return std::fwrite(utf8.data(), 1, utf8.size(), stdout) == utf8.size() ? 0 : 1;
}
