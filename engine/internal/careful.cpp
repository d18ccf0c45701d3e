#include "engine/internal/careful.hpp"

#include <bit>

#include "engine/internal/unit_masks.hpp"
#include "engine/internal/word_rule.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The draws of one token, begun after white space that marks may join when
// `after_blank`, by the scanner itself.
std::size_t count_token_draws(std::u16string_view token, bool after_blank) {
  DrawCount count(ScrambleOptions{});
  CarefulScanner<DrawCount> scanner;
  if (after_blank) scanner.start_after_blank();
  scanner.push(token, true, count);
  return count.draws;
}

// Whether the code point before text[i] is a prepended mark.
bool after_prepend(std::u16string_view text, std::size_t i) {
  if (i == 0) return false;
  std::size_t at = i - 1;
  if (at > 0 && text[at] >= 0xDC00 && text[at] <= 0xDFFF && text[at - 1] >= 0xD800 && text[at - 1] <= 0xDBFF) --at;
  return (grapheme_properties(code_point_at(text, at)) & kClassMask) == kPrepend;
}

// The end of the token that text[i] belongs to: the first white space that
// starts a character (white space after a prepended mark joins it).
std::size_t token_end(std::u16string_view text, std::size_t i) {
  const auto& table = careful_unit_table();
  for (; i < text.size(); ++i) {
    const std::uint8_t cls = table[text[i]] & kCarefulClassBits;
    if (cls == kCarefulBreak || (cls == kCarefulBlank && !after_prepend(text, i))) break;
  }
  return i;
}

// The draws of the careful scramble with the default word options for the
// tokens in text[from, to), where `from` starts a token and `to` ends one, in
// one pass that looks each unit up once: letters only lengthen the current
// word; a word's draws count once its token has ended and is no address. A
// token with a character of several units (or of a spaceless script) is
// counted by the scanner.
std::size_t count_default_range(std::u16string_view text, std::size_t from, std::size_t to) {
  const auto& table = careful_unit_table();
  std::size_t draws = 0, token_draws = 0, run = 0, token_start = from;
  std::uint8_t bits = 0;
  const auto end_token = [&](std::size_t end) {
    const std::u16string_view token = text.substr(token_start, end - token_start);
    const bool hint = (bits & kCarefulAddressHint) || may_start_address(table, token);
    if (!hint || !is_address_token(token)) draws += token_draws;
  };
  for (std::size_t i = from; i < to;) {
    const std::uint8_t t = table[text[i]];
    const std::uint8_t cls = t & kCarefulClassBits;
    if (cls == kCarefulLetter) {
      ++run;
      ++i;
      continue;
    }
    token_draws += run >= 4 ? run - 2 : 0;
    run = 0;
    if (cls == kCarefulOther) {
      bits |= t;
      ++i;
      continue;
    }
    if (cls == kCarefulComplex) {
      const std::size_t end = token_end(text, i);
      const bool after_blank = token_start > 0 && (table[text[token_start - 1]] & kCarefulClassBits) == kCarefulBlank;
      draws += count_token_draws(text.substr(token_start, end - token_start), after_blank);
      i = end;
    } else {
      if (i > token_start) end_token(i);
      ++i;
    }
    token_draws = 0;
    bits = 0;
    token_start = i;
  }
  token_draws += run >= 4 ? run - 2 : 0;
  if (to > token_start) end_token(to);
  return draws;
}

// Of 64 units: bit j of `letters` set where units[j] is one of
// kCarefulPlainLetters, bit j of `spaces` where it is U+0020, bit j of `ws`
// where it is 'w' or 'W'.
struct PlainUnits {
  std::uint64_t letters = 0, spaces = 0, ws = 0;
};
PlainUnits plain_units(const char16_t* units) {
  PlainUnits found;
#if defined(__SSE2__)
  for (unsigned j = 0; j < 64; j += 16) {
    const __m128i x[2] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(units + j)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + j + 8))};
    __m128i letter[2], space[2], w[2];
    for (int h = 0; h < 2; ++h) {
      letter[h] = _mm_setzero_si128();
      for (const UnitRange& r : kCarefulPlainLetters) letter[h] = _mm_or_si128(letter[h], units_in_range(x[h], r));
      space[h] = _mm_cmpeq_epi16(x[h], _mm_set1_epi16(' '));
      w[h] = _mm_cmpeq_epi16(_mm_or_si128(x[h], _mm_set1_epi16(0x20)), _mm_set1_epi16('w'));
    }
    found.letters |= unit_bits(letter[0], letter[1]) << j;
    found.spaces |= unit_bits(space[0], space[1]) << j;
    found.ws |= unit_bits(w[0], w[1]) << j;
  }
#else
  for (unsigned j = 0; j < 64; ++j) {
    const char16_t c = units[j];
    bool letter = false;
    for (const UnitRange& r : kCarefulPlainLetters) letter = letter || (c >= r.first && c <= r.last);
    found.letters |= std::uint64_t{letter} << j;
    found.spaces |= std::uint64_t{c == u' '} << j;
    found.ws |= std::uint64_t{(c | 0x20) == u'w'} << j;
  }
#endif
  return found;
}

// count_default_range over the whole text, 64 units at a time where it can:
// a block of characters of single units without '@', ':' or three 'w' in a
// row holds no address and no word of several-unit characters, so its words
// are runs of letter bits, counted by bit operations. A block that may hold
// more is counted by count_default_range from the start of the token it
// begins in to the end of the token it ends in, the words of that token
// counted so far taken back.
std::size_t count_default_draws(std::u16string_view text) {
  const auto& table = careful_unit_table();
  const std::size_t n = text.size();
  std::size_t draws = 0;
  std::size_t token_start = 0;  // where the token open at the block's start began
  std::size_t open = 0;         // letters of the word open at the block's start
  std::uint64_t ws_before = 0;  // 'w' bits of the block before
  std::size_t base = 0;
  const auto word = [](std::size_t letters) { return letters >= 4 ? letters - 2 : 0; };
  // Counts text[token_start, end of the token at `last`) exactly, taking back
  // the words of it counted so far; goes on after it.
  const auto count_exactly = [&](std::size_t last) {
    for (std::size_t i = token_start, run = 0; i < base; ++i) {
      if ((table[text[i]] & kCarefulClassBits) == kCarefulLetter) {
        ++run;
      } else {
        draws -= word(run);
        run = 0;
      }
    }
    const std::size_t end = last < n ? token_end(text, last) : n;
    draws += count_default_range(text, token_start, end);
    base = token_start = end;
    open = 0;
    ws_before = 0;
  };
  while (base + 64 <= n) {
    const PlainUnits plain = plain_units(text.data() + base);
    std::uint64_t letters = plain.letters, separators = plain.spaces;
    bool special = false;
    for (std::uint64_t others = ~(plain.letters | plain.spaces); others != 0; others &= others - 1) {
      const auto j = static_cast<unsigned>(std::countr_zero(others));
      const std::uint8_t t = table[text[base + j]];
      const std::uint8_t cls = t & kCarefulClassBits;
      letters |= std::uint64_t{cls == kCarefulLetter} << j;
      separators |= std::uint64_t{cls >= kCarefulBlank} << j;
      special = special || (t & (kCarefulComplexBit | kCarefulAddressHint));
    }
    const std::uint64_t ws = plain.ws;
    const std::uint64_t three_ws = ws & ((ws << 1) | (ws_before >> 63)) & ((ws << 2) | (ws_before >> 62));
    if (special || three_ws != 0) {
      count_exactly(base + 63);
      continue;
    }
    if (open != 0) {
      const auto first_end = static_cast<unsigned>(std::countr_one(letters));
      if (first_end == 64) {
        open += 64;
        base += 64;
        ws_before = ws;
        continue;
      }
      draws += word(open + first_end);
      letters &= ~std::uint64_t{0} << first_end;
      open = 0;
    }
    if (letters >> 63) {  // a word goes on into the next block
      const auto last_start = 64 - static_cast<unsigned>(std::countl_one(letters));
      open = 64 - last_start;
      letters &= (std::uint64_t{1} << last_start) - 1;
    }
    const std::uint64_t four = letters & (letters >> 1) & (letters >> 2) & (letters >> 3);
    const std::uint64_t covered = four | (four << 1) | (four << 2) | (four << 3);
    const std::uint64_t starts = four & ~(letters << 1);
    draws += static_cast<std::size_t>(std::popcount(covered)) - 2 * static_cast<std::size_t>(std::popcount(starts));
    if (separators != 0) token_start = base + 64 - static_cast<unsigned>(std::countl_zero(separators));
    ws_before = ws;
    base += 64;
  }
  if (base < n || open != 0) count_exactly(n);
  return draws;
}

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
  ScrambleOptions words = options;
  words.mode = Mode::classic;
  if (is_classic_default(words)) return count_default_draws(text);
  DrawCount count(options);
  CarefulScanner<DrawCount>().push(text, true, count);
  return count.draws;
}

}  // namespace textquirl::internal
