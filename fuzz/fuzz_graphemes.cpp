// The engine's grapheme segmentation against ICU's character break iterator
// on arbitrary UTF-16 (lone surrogates included), with and without the
// shortcut for simple text.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "fuzz_common.hpp"
#include "tests/engine/icu_graphemes.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = textquirl::fuzz::units_of(data, size);
  const std::vector<std::uint32_t> expected = textquirl::testing::icu_character_bounds(text);
  std::vector<std::uint32_t> bounds;
  textquirl::internal::split_graphemes(text, bounds);
  textquirl::fuzz::check(bounds == expected, "split_graphemes differs from ICU");
  textquirl::internal::split_graphemes_by_rules(text, bounds);
  textquirl::fuzz::check(bounds == expected, "split_graphemes_by_rules differs from ICU");
  return 0;
}
