#include "engine/internal/careful.hpp"

#include "engine/internal/word_rule.hpp"

namespace textquirl::internal {
namespace {

std::unique_ptr<std::array<std::uint8_t, 65536>> build_careful_table() {
  auto table = std::make_unique<std::array<std::uint8_t, 65536>>();
  const auto& single = single_unit_characters();
  for (char32_t c = 0; c < 0x10000; ++c) {
    const std::uint8_t flags = character_flags(c);
    std::uint8_t entry = 0;
    if (flags & character_table::kWhiteSpace) {
      entry = (grapheme_properties(c) & kClassMask) == kOther ? kCarefulBlank : kCarefulBreak;
    } else if (!single[c] || (flags & character_table::kSpaceless)) {
      entry = kCarefulComplex | kCarefulComplexBit;
    } else {
      entry = (flags & character_table::kLetter) ? kCarefulLetter : kCarefulOther;
    }
    if (flags & character_table::kPunctuation) entry |= kCarefulPunctuation;
    if (c == u'@' || c == u':') entry |= kCarefulAddressHint;
    (*table)[c] = entry;
  }
  return table;
}

bool starts_with_www(std::u16string_view s) {
  if (s.size() < 4 || s[3] != u'.') return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (s[i] != u'w' && s[i] != u'W') return false;
  }
  return true;
}

// name@domain.tld: one '@' with something before it, a dot inside what follows.
bool is_mail_address(std::u16string_view s) {
  const std::size_t at = s.find(u'@');
  if (at == std::u16string_view::npos || at == 0 || s.find(u'@', at + 1) != std::u16string_view::npos) return false;
  const std::u16string_view domain = s.substr(at + 1);
  const std::size_t dot = domain.find(u'.', 1);
  return dot != std::u16string_view::npos && dot + 1 < domain.size();
}

// Counts the draws of the careful scramble, word by word, by the options' rule.
class DrawCount {
 public:
  explicit DrawCount(const ScrambleOptions& options) : rule_(options) {}
  void put(char16_t) {}
  void put(std::u16string_view) {}
  void word(std::u16string_view units, bool simple, std::size_t) { draws += rule_.draws(units, simple, bounds_); }
  std::size_t draws = 0;

 private:
  WordRule rule_;
  std::vector<std::uint32_t> bounds_;
};

}  // namespace

std::uint8_t character_flags(char32_t c) {
  using namespace character_table;
  const char32_t block = c >> kShift;
  if (block >= kIndexSize) return 0;
  return kBlocks[(static_cast<std::size_t>(kIndex[block]) << kShift) | (c & kMask)];
}

const std::array<std::uint8_t, 65536>& careful_unit_table() {
  static const std::unique_ptr<std::array<std::uint8_t, 65536>> table = build_careful_table();
  return *table;
}

bool joins_blank(char32_t c) {
  const std::uint8_t cls = grapheme_properties(c) & kClassMask;
  return cls == kExtend || cls == kZwj || cls == kSpacingMark;
}

bool is_address_token(std::u16string_view token) {
  std::vector<std::uint32_t> bounds;
  split_graphemes(token, bounds);
  std::size_t first = 0, last = bounds.size() - 1;
  const auto punctuation = [&](std::size_t k) {
    return (character_flags(code_point_at(token, bounds[k])) & character_table::kPunctuation) != 0;
  };
  while (first < last && punctuation(first)) ++first;
  while (last > first && punctuation(last - 1)) --last;
  const std::u16string_view core = token.substr(bounds[first], bounds[last] - bounds[first]);
  return core.find(u"://") != std::u16string_view::npos || starts_with_www(core) || is_mail_address(core);
}

std::size_t careful_count_draws(std::u16string_view text, const ScrambleOptions& options) {
  DrawCount count(options);
  CarefulScanner<DrawCount>().push(text, true, count);
  return count.draws;
}

}  // namespace textquirl::internal
