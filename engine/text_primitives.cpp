#include "engine/text_primitives.hpp"

#include <cstddef>
#include <cstdint>

#include "engine/internal/graphemes.hpp"

namespace textquirl {
namespace {

// Finds a fixed pattern left to right in linear time: a plain unit search for
// one-unit patterns, Knuth-Morris-Pratt for longer ones, so that hostile
// inputs (u"aaaa…" against u"aaab") cannot make a replace-all quadratic.
class Finder {
 public:
  explicit Finder(std::u16string_view pattern) : pattern_(pattern) {
    if (pattern_.size() < 2) return;
    border_.assign(pattern_.size(), 0);
    std::size_t k = 0;
    for (std::size_t i = 1; i < pattern_.size(); ++i) {
      while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
      if (pattern_[i] == pattern_[k]) ++k;
      border_[i] = k;
    }
  }

  // Position of the first occurrence starting at or after `from`, or npos.
  std::size_t find(std::u16string_view text, std::size_t from) const {
    if (pattern_.size() < 2) return text.find(pattern_, from);
    std::size_t k = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
      while (k > 0 && text[i] != pattern_[k]) k = border_[k - 1];
      if (text[i] == pattern_[k]) ++k;
      if (k == pattern_.size()) return i + 1 - k;
    }
    return std::u16string_view::npos;
  }

 private:
  std::u16string_view pattern_;
  std::vector<std::size_t> border_;
};

}  // namespace

std::u16string stringreplace(std::u16string_view eingabe, std::u16string_view ersetzenvon,
                             std::u16string_view ersetzendurch) {
  if (ersetzenvon.empty() || ersetzenvon == ersetzendurch) return std::u16string(eingabe);
  const Finder finder(ersetzenvon);
  std::size_t hit = finder.find(eingabe, 0);
  if (hit == std::u16string_view::npos) return std::u16string(eingabe);

  std::u16string result;
  if (ersetzendurch.size() <= ersetzenvon.size()) {
    result.reserve(eingabe.size());
  } else {
    result.reserve(eingabe.size() + eingabe.size() / 4);
  }
  std::size_t done = 0;
  while (hit != std::u16string_view::npos) {
    result.append(eingabe.substr(done, hit - done)).append(ersetzendurch);
    done = hit + ersetzenvon.size();
    hit = finder.find(eingabe, done);
  }
  result.append(eingabe.substr(done));
  return result;
}

void csv_zerlegen(std::u16string_view eingabe, StringArray& ergebnis, std::u16string& delimiter) {
  if (delimiter.empty()) delimiter.assign(1, u';');
  ergebnis.assign(1, std::u16string());
  const Finder finder(delimiter);
  std::size_t start = 0;
  for (std::size_t hit = finder.find(eingabe, 0); hit != std::u16string_view::npos;
       hit = finder.find(eingabe, start)) {
    ergebnis.emplace_back(eingabe.substr(start, hit - start));
    start = hit + delimiter.size();
  }
  ergebnis.emplace_back(eingabe.data() + start, eingabe.size() - start);
}

void buchstaben_zerlegen(std::u16string_view eingabe, StringArray& ergebnis) {
  std::vector<std::uint32_t> bounds;
  internal::split_graphemes(eingabe, bounds);
  ergebnis.assign(1, std::u16string());
  ergebnis.reserve(bounds.size());
  for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
    ergebnis.emplace_back(eingabe.substr(bounds[i], bounds[i + 1] - bounds[i]));
  }
}

}  // namespace textquirl
