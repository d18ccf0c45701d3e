#include "engine/internal/graphemes.hpp"

#include <limits>
#include <memory>

#include "engine/error.hpp"

namespace textquirl::internal {
namespace {

std::unique_ptr<std::bitset<65536>> build_single_unit_table() {
  auto table = std::make_unique<std::bitset<65536>>();
  for (char32_t c = 0; c < 0x10000; ++c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c == u'\r') continue;
    const std::uint8_t cls = grapheme_properties(c) & kClassMask;
    if (cls == kOther || cls == kControl || cls == kLF) table->set(c);
  }
  return table;
}

// Offsets are kept in 32 bits, with the top bit to spare.
void check_length(std::u16string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    fail(WordTooLong::Limit::kSplit);
  }
}

// The segmentation rules as a state machine over the code points: what is
// known about the text before the current code point.
class BreakRules {
 public:
  // True when a character boundary lies between the code points seen so far
  // and one with properties `next`; then takes `next` in.
  bool break_before(std::uint8_t next) {
    const std::uint8_t cls = next & kClassMask;
    const bool cut = cuts(cls, next);
    update(cls, next);
    return cut;
  }

 private:
  bool cuts(std::uint8_t cls, std::uint8_t next) const {
    if (first_) return false;                                            // start of text
    if (previous_ == kCR && cls == kLF) return false;                    // CR x LF
    if (previous_ == kCR || previous_ == kLF || previous_ == kControl) return true;
    if (cls == kCR || cls == kLF || cls == kControl) return true;
    switch (previous_) {                                                 // Hangul syllables
      case kL:
        if (cls == kL || cls == kV || cls == kLV || cls == kLVT) return false;
        break;
      case kLV:
      case kV:
        if (cls == kV || cls == kT) return false;
        break;
      case kLVT:
      case kT:
        if (cls == kT) return false;
        break;
      default:
        break;
    }
    if (cls == kExtend || cls == kZwj || cls == kSpacingMark) return false;
    if (previous_ == kPrepend) return false;
    if ((next & kConsonant) && conjunct_ == kAfterVirama) return false;  // consonant virama x consonant
    if ((next & kPictographic) && emoji_ == kAfterJoiner) return false;  // pictograph Extend* ZWJ x pictograph
    if (cls == kRegionalIndicator && odd_indicators_) return false;      // flags in pairs
    return true;
  }

  void update(std::uint8_t cls, std::uint8_t next) {
    if (next & kPictographic) {
      emoji_ = kAfterPictograph;
    } else if (emoji_ == kAfterPictograph && (cls == kExtend || cls == kZwj)) {
      emoji_ = cls == kZwj ? kAfterJoiner : kAfterPictograph;
    } else {
      emoji_ = kNone;
    }
    if (next & kConsonant) {
      conjunct_ = kAfterConsonant;
    } else if (conjunct_ != kNone && (next & (kConjunctExtend | kVirama))) {
      if (next & kVirama) conjunct_ = kAfterVirama;
    } else {
      conjunct_ = kNone;
    }
    odd_indicators_ = cls == kRegionalIndicator && !odd_indicators_;
    previous_ = cls;
    first_ = false;
  }

  enum Sequence : std::uint8_t { kNone, kAfterPictograph, kAfterJoiner, kAfterConsonant, kAfterVirama };
  std::uint8_t previous_ = kOther;
  Sequence emoji_ = kNone;     // pictograph Extend*, then ZWJ
  Sequence conjunct_ = kNone;  // consonant (Extend | ZWJ)*, then a virama among them
  bool odd_indicators_ = false;
  bool first_ = true;
};

}  // namespace

std::uint8_t grapheme_properties(char32_t c) {
  using namespace grapheme_table;
  const char32_t block = c >> kShift;
  if (block >= kIndexSize) return 0;
  return kBlocks[(static_cast<std::size_t>(kIndex[block]) << kShift) | (c & kMask)];
}

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

void split_graphemes(std::u16string_view text, std::vector<std::uint32_t>& bounds) {
  bounds.clear();
  check_length(text);
  if (each_unit_is_a_character(text)) {
    bounds.resize(text.size() + 1);
    for (std::uint32_t i = 0; i < bounds.size(); ++i) bounds[i] = i;
    return;
  }
  split_graphemes_by_rules(text, bounds);
}

void split_graphemes_by_rules(std::u16string_view text, std::vector<std::uint32_t>& bounds) {
  bounds.clear();
  check_length(text);
  BreakRules rules;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    char32_t c = text[i];
    std::size_t units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      units = 2;
    }
    if (rules.break_before(grapheme_properties(c)) || i == 0) bounds.push_back(static_cast<std::uint32_t>(i));
    i += units;
  }
  bounds.push_back(static_cast<std::uint32_t>(n));
}

}  // namespace textquirl::internal
