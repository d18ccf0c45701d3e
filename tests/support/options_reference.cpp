#include "tests/support/options_reference.hpp"

#include <algorithm>
#include <bitset>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/internal/units.hpp"
#include "tests/support/engine_reference.hpp"

namespace textquirl::reference {
namespace {

bool all_equal(const StringArray& characters) {
  for (std::size_t i = 2; i < characters.size(); ++i) {
    if (characters[i] != characters[1]) return false;
  }
  return true;
}

// One word as the options have it.
std::u16string word_with_options(const std::u16string& w, RandomSource& random, const ScrambleOptions& options) {
  if (std::find(options.keep.begin(), options.keep.end(), w) != options.keep.end()) return w;
  StringArray characters;
  buchstaben_zerlegen(w, characters);
  const std::size_t n = characters.size() - 1;
  if (n < options.min_length) return w;
  bool scrambled = true;
  if (options.rate < 1.0) scrambled = static_cast<double>(random.next()) < options.rate;
  std::u16string middle;
  for (std::size_t j = 2; j < n; ++j) middle += characters[j];
  StringArray letters;
  buchstaben_zerlegen(middle, letters);
  const StringArray inner = letters;
  std::u16string shuffled = verwurschteln(letters, random);
  if (!scrambled) return w;
  if (options.always_change && shuffled == middle && !all_equal(inner)) {
    shuffled.clear();
    for (std::size_t j = 2; j < inner.size(); ++j) shuffled += inner[j];
    shuffled += inner[1];
  }
  return characters[1] + shuffled + characters[n];
}

}  // namespace

std::u16string scramble_with_options(std::u16string_view text, RandomSource& random, const ScrambleOptions& options) {
  validate(options);
  const std::u16string token(1, unused_unit(text));
  std::u16string s(text);
  for (const char16_t mark : internal::kClosingMarks) {
    s = stringreplace(s, std::u16string(1, mark), u" " + std::u16string(1, mark) + u" ");
  }
  for (const char16_t mark : internal::kOpeningMarks) {
    s = stringreplace(s, std::u16string(1, mark), u" " + std::u16string(1, mark) + u" ");
  }
  s = stringreplace(s, u"\r\n", u" " + token + u" ");

  StringArray words;
  std::u16string delimiter = u" ";
  csv_zerlegen(s, words, delimiter);
  std::u16string out;
  for (std::size_t i = 1; i < words.size(); ++i) out = trim(trim(out) + u" " + word_with_options(words[i], random, options));
  out = trim(out);

  out = stringreplace(out, token, u"\r\n");
  for (const char16_t mark : internal::kClosingMarks) out = stringreplace(out, u" " + std::u16string(1, mark), std::u16string(1, mark));
  for (const char16_t mark : internal::kOpeningMarks) out = stringreplace(out, std::u16string(1, mark) + u" ", std::u16string(1, mark));
  out = stringreplace(out, u"  ", u" ");
  return stringreplace(out, u"\r\n ", u"\r\n");
}

}  // namespace textquirl::reference
