#include "tests/support/engine_reference.hpp"

#include <bitset>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/internal/units.hpp"
#include "engine/letter_shuffle.hpp"

namespace textquirl::reference {

std::u16string stringreplace(std::u16string_view eingabe, std::u16string_view ersetzenvon,
                             std::u16string_view ersetzendurch) {
  std::u16string s(eingabe);
  if (ersetzendurch == ersetzenvon || ersetzenvon.empty()) return s;
  std::size_t a = 0;
  for (;;) {
    const std::size_t p = s.find(ersetzenvon, a);
    if (p == std::u16string::npos) return s;
    std::u16string head = s.substr(0, p) + std::u16string(ersetzendurch);
    s = head + s.substr(p + ersetzenvon.size());
    a = head.size();
  }
}

void csv_zerlegen(std::u16string_view eingabe, StringArray& ergebnis, std::u16string& delimiter) {
  std::u16string rest(eingabe);
  ergebnis.assign(1, std::u16string());
  if (delimiter.empty()) delimiter = u";";
  for (;;) {
    const std::size_t p = rest.find(delimiter);
    if (p == std::u16string::npos) {
      ergebnis.push_back(rest);
      return;
    }
    ergebnis.push_back(rest.substr(0, p));
    rest = rest.substr(p + delimiter.size());
  }
}

void buchstaben_zerlegen(std::u16string_view eingabe, StringArray& ergebnis) {
  ergebnis.assign(1, std::u16string());
  std::vector<std::uint32_t> bounds;
  internal::split_graphemes_by_rules(eingabe, bounds);
  for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
    ergebnis.emplace_back(eingabe.substr(bounds[i], bounds[i + 1] - bounds[i]));
  }
}

std::u16string verwurschteln(StringArray& eingabe, RandomSource& zufall) {
  std::u16string result;
  while (eingabe.size() - 1 >= 1) {
    const std::size_t n = eingabe.size() - 1;
    const std::size_t k = pick_index(zufall.next(), n);
    result += eingabe[k];
    StringArray rest(1);
    for (std::size_t i = 1; i <= n; ++i) {
      if (i != k) rest.push_back(eingabe[i]);
    }
    eingabe = std::move(rest);
  }
  return result;
}

Procedures engine_procedures() {
  return {&textquirl::stringreplace, &textquirl::csv_zerlegen, &textquirl::buchstaben_zerlegen,
          &textquirl::verwurschteln};
}

Procedures slow_procedures() {
  return {&reference::stringreplace, &reference::csv_zerlegen, &reference::buchstaben_zerlegen,
          &reference::verwurschteln};
}

std::u16string trim(std::u16string s) {
  const auto first = s.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  const auto last = s.find_last_not_of(u' ');
  return s.substr(first, last - first + 1);
}

char16_t unused_unit(std::u16string_view text) {
  std::bitset<65536> used;
  for (const char16_t c : text) used.set(c);
  for (std::size_t c = 0xE000; c < 0x10000 + 0xE000; ++c) {
    if (!used[c % 0x10000]) return static_cast<char16_t>(c % 0x10000);
  }
  throw std::invalid_argument("text uses every unit");
}

std::u16string compose_scramble(std::u16string_view text, RandomSource& random, const Procedures& p) {
  const std::u16string token(1, unused_unit(text));

  // Separate the punctuation: each mark, and each line break, becomes a
  // word of its own. The marks are the engine's table (engine/internal/
  // units.hpp): this version checks what the scramble does with them, not
  // which they are.
  std::vector<std::pair<std::u16string, std::u16string>> separate;
  for (const std::u16string_view marks : {internal::kClosingMarks, internal::kOpeningMarks}) {
    for (const char16_t unit : marks) {
      const std::u16string mark(1, unit);
      separate.emplace_back(mark, u" " + mark + u" ");
    }
  }
  separate.emplace_back(u"\r\n", u" " + token + u" ");
  std::u16string s(text);
  for (const auto& [from, to] : separate) s = p.stringreplace(s, from, to);

  StringArray words;
  std::u16string delimiter = u" ";
  p.csv_zerlegen(s, words, delimiter);

  std::u16string out;
  for (std::size_t i = 1; i < words.size(); ++i) {
    std::u16string w = words[i];
    StringArray characters;
    p.buchstaben_zerlegen(w, characters);
    const std::size_t n = characters.size() - 1;
    if (n > 3) {
      std::u16string middle;
      for (std::size_t j = 2; j < n; ++j) middle += characters[j];
      StringArray letters;
      p.buchstaben_zerlegen(middle, letters);
      w = characters[1] + p.verwurschteln(letters, random) + characters[n];
    }
    out = trim(trim(out) + u" " + w);
  }
  out = trim(out);

  // Re-attach the punctuation: closing marks to the word before them,
  // opening marks to the word after them.
  std::vector<std::pair<std::u16string, std::u16string>> attach = {{token, u"\r\n"}};
  for (const char16_t unit : internal::kClosingMarks) {
    const std::u16string mark(1, unit);
    attach.emplace_back(u" " + mark, mark);
  }
  for (const char16_t unit : internal::kOpeningMarks) {
    const std::u16string mark(1, unit);
    attach.emplace_back(mark + u" ", mark);
  }
  attach.emplace_back(u"  ", u" ");
  attach.emplace_back(u"\r\n ", u"\r\n");
  for (const auto& [from, to] : attach) out = p.stringreplace(out, from, to);
  return out;
}

}  // namespace textquirl::reference
