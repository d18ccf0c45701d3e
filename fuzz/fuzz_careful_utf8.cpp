// The careful scramble's UTF-8 road against its UTF-16 road on arbitrary
// valid UTF-8 without CR, with random options: the same result (line breaks
// aside), the same draws, the same count. The first four bytes are the seed,
// the next three choose the options (min_length, rate, always_change, and
// whether the text's first run of bytes up to a space is kept).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/utf8.hpp"
#include "engine/options.hpp"
#include "fuzz_common.hpp"
#include "tests/support/utf8_road_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  std::uint32_t seed = 0;
  std::memcpy(&seed, data, 4);
  const std::string_view text(reinterpret_cast<const char*>(data) + 7, size - 7);
  try {
    textquirl::cli::check_utf8(text);
  } catch (const textquirl::cli::InvalidUtf8&) {
    return 0;
  }
  if (text.find('\r') != std::string_view::npos) return 0;
  textquirl::ScrambleOptions options;
  options.min_length = 4 + (data[4] & 7);
  options.always_change = (data[4] & 8) != 0;
  options.rate = (data[5] & 0x80) ? 1.0 : (data[5] & 0x7F) / 127.0;
  if (data[6] & 1) {
    const std::size_t end = std::min(text.find(' '), static_cast<std::size_t>(data[6] >> 1));
    std::u16string kept;
    textquirl::cli::append_utf16_crlf(text.substr(0, std::min(end, text.size())), false, kept);
    if (!kept.empty()) options.keep = {kept};
  }
  textquirl::fuzz::check(textquirl::testing::careful_utf8_mismatch(text, seed, options).empty(), "the two roads agree");
  return 0;
}
