// ICU as the oracle for the engine's grapheme segmentation, for tests and
// fuzzing only: its character break iterator (root locale) and its character
// properties, in the engine's encoding.
#pragma once

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "engine/internal/graphemes.hpp"

namespace textquirl::testing {

// The start offset of every character of `text` by ICU, then text.size().
inline std::vector<std::uint32_t> icu_character_bounds(std::u16string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  UBreakIterator* it = ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(text.data()),
                                 static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error(u_errorName(status));
  std::vector<std::uint32_t> bounds;
  for (int32_t pos = ubrk_first(it); pos != UBRK_DONE; pos = ubrk_next(it)) {
    bounds.push_back(static_cast<std::uint32_t>(pos));
  }
  ubrk_close(it);
  return bounds;
}

// ICU's view of the properties that internal::grapheme_properties() holds.
inline std::uint8_t icu_grapheme_properties(char32_t c) {
  using namespace internal;
  const auto cp = static_cast<UChar32>(c);
  std::uint8_t cls = 0xFF;
  switch (u_getIntPropertyValue(cp, UCHAR_GRAPHEME_CLUSTER_BREAK)) {
    case U_GCB_OTHER: cls = kOther; break;
    case U_GCB_CR: cls = kCR; break;
    case U_GCB_LF: cls = kLF; break;
    case U_GCB_CONTROL: cls = kControl; break;
    case U_GCB_EXTEND: cls = kExtend; break;
    case U_GCB_ZWJ: cls = kZwj; break;
    case U_GCB_REGIONAL_INDICATOR: cls = kRegionalIndicator; break;
    case U_GCB_PREPEND: cls = kPrepend; break;
    case U_GCB_SPACING_MARK: cls = kSpacingMark; break;
    case U_GCB_L: cls = kL; break;
    case U_GCB_V: cls = kV; break;
    case U_GCB_T: cls = kT; break;
    case U_GCB_LV: cls = kLV; break;
    case U_GCB_LVT: cls = kLVT; break;
    default: break;  // classes Unicode 15 no longer assigns: no match
  }
  std::uint8_t flags = 0;
  if (u_hasBinaryProperty(cp, UCHAR_EXTENDED_PICTOGRAPHIC)) flags |= kPictographic;
  if (cls == kZwj || (cls == kExtend && u_getCombiningClass(cp) != 0)) flags |= kConjunctExtend;
  UErrorCode status = U_ZERO_ERROR;
  switch (uscript_getScript(cp, &status)) {
    case USCRIPT_BENGALI: case USCRIPT_DEVANAGARI: case USCRIPT_GUJARATI:
    case USCRIPT_MALAYALAM: case USCRIPT_ORIYA: case USCRIPT_TELUGU: {
      const int32_t category = u_getIntPropertyValue(cp, UCHAR_INDIC_SYLLABIC_CATEGORY);
      if (category == U_INSC_VIRAMA) flags |= kVirama;
      if (category == U_INSC_CONSONANT) flags |= kConsonant;
      break;
    }
    default:
      break;
  }
  return cls | flags;
}

}  // namespace textquirl::testing
