// The classic scramble's UTF-8 road against its UTF-16 road on arbitrary
// text that the UTF-8 road takes: the same result (line breaks aside), the
// same draws, the same count. The first four bytes are the seed.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cli/utf8.hpp"
#include "engine/utf8_scramble.hpp"
#include "fuzz_common.hpp"
#include "tests/support/utf8_road_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t seed = 0;
  std::memcpy(&seed, data, 4);
  const std::string_view text(reinterpret_cast<const char*>(data) + 4, size - 4);
  try {
    textquirl::cli::check_utf8(text);
  } catch (const textquirl::cli::InvalidUtf8&) {
    return 0;
  }
  if (!textquirl::utf8_road_takes(text)) return 0;
  textquirl::fuzz::check(textquirl::testing::utf8_road_mismatch(text, seed).empty(), "the two roads agree");
  return 0;
}
