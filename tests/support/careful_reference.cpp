#include "tests/support/careful_reference.hpp"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tests/support/engine_reference.hpp"

namespace textquirl::reference {
namespace {

std::vector<std::u16string> characters_of(std::u16string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  UBreakIterator* it = ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(text.data()),
                                 static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error(u_errorName(status));
  std::vector<std::u16string> characters;
  for (int32_t from = ubrk_first(it), to = ubrk_next(it); to != UBRK_DONE; from = to, to = ubrk_next(it)) {
    characters.emplace_back(text.substr(from, to - from));
  }
  ubrk_close(it);
  return characters;
}

UChar32 first_code_point(const std::u16string& character) {
  UChar32 c;
  std::size_t i = 0;
  U16_NEXT(character.data(), i, character.size(), c);
  return c;
}

bool is_space(const std::u16string& character) { return u_isUWhiteSpace(first_code_point(character)); }
bool is_letter(const std::u16string& character) {
  return (U_GET_GC_MASK(first_code_point(character)) & U_GC_L_MASK) != 0;
}
bool is_punctuation(const std::u16string& character) {
  return (U_GET_GC_MASK(first_code_point(character)) & U_GC_P_MASK) != 0;
}
bool is_of_spaceless_script(const std::u16string& character) {
  UErrorCode status = U_ZERO_ERROR;
  switch (uscript_getScript(first_code_point(character), &status)) {
    case USCRIPT_HAN: case USCRIPT_HIRAGANA: case USCRIPT_KATAKANA: case USCRIPT_THAI:
    case USCRIPT_LAO: case USCRIPT_KHMER: case USCRIPT_MYANMAR:
      return true;
    default:
      return false;
  }
}

bool is_address(const std::u16string& s) {
  if (s.find(u"://") != std::u16string::npos) return true;
  if (s.size() >= 4) {
    std::u16string start = s.substr(0, 4);
    for (auto& c : start) c = c == u'W' ? u'w' : c;
    if (start == u"www.") return true;
  }
  std::size_t ats = 0, at = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'@') {
      ++ats;
      at = i;
    }
  }
  if (ats != 1 || at == 0) return false;
  const std::u16string domain = s.substr(at + 1);
  for (std::size_t i = 1; i + 1 < domain.size(); ++i) {
    if (domain[i] == u'.') return true;
  }
  return false;
}

}  // namespace

std::u16string careful_scramble(std::u16string_view text, RandomSource& random, const ScrambleOptions& options) {
  const std::vector<std::u16string> characters = characters_of(text);
  const std::size_t n = characters.size();

  // Tokens that are addresses stay whole.
  std::vector<bool> fixed(n, false);
  for (std::size_t first = 0; first < n;) {
    if (is_space(characters[first])) {
      ++first;
      continue;
    }
    std::size_t end = first;
    while (end < n && !is_space(characters[end])) ++end;
    std::size_t from = first, to = end;
    while (from < to && is_punctuation(characters[from])) ++from;
    while (to > from && is_punctuation(characters[to - 1])) --to;
    std::u16string core;
    for (std::size_t k = from; k < to; ++k) core += characters[k];
    if (is_address(core)) {
      for (std::size_t k = first; k < end; ++k) fixed[k] = true;
    }
    first = end;
  }

  std::u16string out;
  for (std::size_t first = 0; first < n;) {
    if (fixed[first] || !is_letter(characters[first])) {
      out += characters[first++];
      continue;
    }
    std::size_t end = first;
    bool spaceless = false;
    for (; end < n && !fixed[end] && is_letter(characters[end]); ++end) {
      spaceless = spaceless || is_of_spaceless_script(characters[end]);
    }
    std::u16string word;
    for (std::size_t k = first; k < end; ++k) word += characters[k];
    const bool kept = std::find(options.keep.begin(), options.keep.end(), word) != options.keep.end();
    if (spaceless || kept || end - first < options.min_length) {
      out += word;
      first = end;
      continue;
    }
    const bool scrambled = options.rate >= 1.0 || random.next() < options.rate;
    StringArray middle(1);
    for (std::size_t k = first + 1; k + 1 < end; ++k) middle.push_back(characters[k]);
    const std::u16string inside = word.substr(characters[first].size(),
                                              word.size() - characters[first].size() - characters[end - 1].size());
    std::u16string shuffled = verwurschteln(middle, random);
    if (!scrambled) {
      shuffled = inside;
    } else if (options.always_change && shuffled == inside && end - first >= 4) {
      shuffled = inside.substr(characters[first + 1].size()) + characters[first + 1];  // rotated left by one
    }
    out += characters[first] + shuffled + characters[end - 1];
    first = end;
  }
  return out;
}

}  // namespace textquirl::reference
