#include "engine/internal/units.hpp"

#include <memory>

#include "engine/internal/graphemes.hpp"

namespace textquirl::internal {
namespace {

// The fast paths take the plain word units for word units without looking
// them up; a mark among them would be miscounted.
constexpr bool no_mark_is_plain() {
  for (const char16_t c : kClosingMarks) {
    if (is_plain_word_unit(c)) return false;
  }
  for (const char16_t c : kOpeningMarks) {
    if (is_plain_word_unit(c)) return false;
  }
  return !is_plain_word_unit(u' ') && !is_plain_word_unit(kCrUnit);
}
static_assert(no_mark_is_plain(), "a mark or space among the plain word units");

std::unique_ptr<std::array<std::uint8_t, 65536>> build_unit_table() {
  auto table = std::make_unique<std::array<std::uint8_t, 65536>>();
  const auto& single = single_unit_characters();
  for (std::size_t c = 0; c < table->size(); ++c) (*table)[c] = single[c] ? std::uint8_t{kWordUnit} : kJoins;
  for (const char16_t c : kClosingMarks) (*table)[c] = kClosingMark;
  for (const char16_t c : kOpeningMarks) (*table)[c] = kOpeningMark;
  (*table)[u' '] = kSpace;
  (*table)[kCrUnit] = kCarriageReturn | kJoins;
  return table;
}

}  // namespace

const std::array<std::uint8_t, 65536>& unit_table() {
  static const std::unique_ptr<std::array<std::uint8_t, 65536>> table = build_unit_table();
  return *table;
}

}  // namespace textquirl::internal
