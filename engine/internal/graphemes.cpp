#include "engine/internal/graphemes.hpp"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

#include <bitset>
#include <limits>
#include <memory>
#include <stdexcept>

namespace textquirl::internal {
namespace {

std::unique_ptr<std::bitset<65536>> build_single_unit_table() {
  auto table = std::make_unique<std::bitset<65536>>();
  for (UChar32 c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c == u'\r') continue;
    const int gcb = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    if (gcb == U_GCB_OTHER || gcb == U_GCB_CONTROL || gcb == U_GCB_LF) {
      table->set(static_cast<std::size_t>(c));
    }
  }
  return table;
}

// Offsets are kept in 32 bits, and ICU counts in int32_t.
void check_length(std::u16string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    throw std::length_error("Wort zu lang für die Zerlegung in Zeichen");
  }
}

}  // namespace

const std::bitset<65536>& single_unit_characters() {
  static const std::unique_ptr<std::bitset<65536>> table = build_single_unit_table();
  return *table;
}

bool each_unit_is_a_character(std::u16string_view text) {
  const auto& table = single_unit_characters();
  for (const char16_t c : text) {
    if (!table[c]) return false;
  }
  return true;
}

GraphemeSplitter::~GraphemeSplitter() {
  if (iterator_ != nullptr) ubrk_close(iterator_);
}

void GraphemeSplitter::split(std::u16string_view text, std::vector<std::uint32_t>& bounds) {
  bounds.clear();
  check_length(text);
  if (each_unit_is_a_character(text)) {
    bounds.resize(text.size() + 1);
    for (std::uint32_t i = 0; i < bounds.size(); ++i) bounds[i] = i;
    return;
  }
  split_with_icu(text, bounds);
}

void GraphemeSplitter::split_with_icu(std::u16string_view text, std::vector<std::uint32_t>& bounds) {
  bounds.clear();
  check_length(text);
  UErrorCode status = U_ZERO_ERROR;
  const auto* data = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  if (iterator_ == nullptr) {
    iterator_ = ubrk_open(UBRK_CHARACTER, "", data, length, &status);
  } else {
    ubrk_setText(iterator_, data, length, &status);
  }
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("ICU-Zeichenzerlegung fehlgeschlagen: ") + u_errorName(status));
  }
  for (int32_t pos = ubrk_first(iterator_); pos != UBRK_DONE; pos = ubrk_next(iterator_)) {
    bounds.push_back(static_cast<std::uint32_t>(pos));
  }
}

}  // namespace textquirl::internal
