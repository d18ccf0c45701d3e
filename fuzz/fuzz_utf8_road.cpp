// The UTF-8 road against the UTF-16 road on arbitrary text without CR: the
// same result (line breaks aside), the same draws, the same count, the same
// records, in either mode. The first four bytes are the seed, the fifth
// chooses the mode and options.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cli/utf8.hpp"
#include "engine/utf8_scramble.hpp"
#include "fuzz_common.hpp"
#include "tests/support/utf8_road_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::uint32_t seed = 0;
  std::memcpy(&seed, data, 4);
  const unsigned choice = data[4];
  textquirl::ScrambleOptions options;
  if (choice & 1) {
    options.min_length = 4 + ((choice >> 1) & 3);
    options.rate = ((choice >> 3) & 3) / 3.0;
    options.always_change = (choice >> 5) & 1;
    if ((choice >> 6) & 1) options.keep = {u"Hallo", u"\u00E4\u00E4\u00E4\u00E4"};
  }
  if (choice >> 7) options.mode = textquirl::Mode::careful;
  const std::string_view text(reinterpret_cast<const char*>(data) + 5, size - 5);
  try {
    textquirl::cli::check_utf8(text);
  } catch (const textquirl::cli::InvalidUtf8&) {
    return 0;
  }
  if (text.find('\r') != std::string_view::npos) return 0;  // CR goes the UTF-16 road
  textquirl::fuzz::check(textquirl::testing::utf8_road_mismatch(text, seed, options).empty(), "the two roads agree");
  return 0;
}
