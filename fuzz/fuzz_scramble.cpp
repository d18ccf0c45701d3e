// The scramble on arbitrary UTF-16 input. The first four bytes choose the
// seed, the rest is the text. Checks on every run:
//  - well-formed input gives well-formed output;
//  - the result equals the plain composition of the four procedures, draw
//    for draw (for texts short enough for the slow composition);
//  - with a source that always yields 0 the result is the normalised text,
//    which the shuffle only rearranges: same units once spaces and line
//    breaks are removed, same first and last unit of every space-separated
//    piece;
//  - the same seed gives the same result twice;
//  - the text cut into pieces (lengths drawn from the seed, many of 0 to 3
//    units) and given to a Scrambler gives the same result and the same
//    number of draws;
//  - count_draws says how many values the scramble drew.
#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/scramble.hpp"
#include "fuzz_common.hpp"
#include "tests/support/engine_reference.hpp"

namespace {

using textquirl::fuzz::check;
using textquirl::testing::ZeroSource;

std::u16string sorted_without_breaks(std::u16string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](char16_t c) { return c == u' ' || c == u'\r' || c == u'\n'; }),
          s.end());
  std::sort(s.begin(), s.end());
  return s;
}

std::vector<std::u16string_view> pieces(std::u16string_view s) {
  std::vector<std::u16string_view> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == u' ') {
      if (i > start) out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t seed = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
  const std::u16string text = textquirl::fuzz::units_of(data + 4, size - 4);

  textquirl::DefaultRandom random(seed), again(seed);
  const std::u16string result = textquirl::scramble(text, random);
  check(textquirl::scramble(text, again) == result, "same seed, same result");
  check(random.drawn() == textquirl::count_draws(text), "draws counted");

  textquirl::DefaultRandom cut_random(seed);
  textquirl::Scrambler scrambler(cut_random);
  std::u16string cut_result;
  std::uint32_t cuts = seed;
  for (std::size_t at = 0; at < text.size();) {
    cuts = cuts * 1664525u + 1013904223u;
    const std::size_t length = (cuts >> 30) == 0 ? (cuts >> 8) % 512 : (cuts >> 8) % 4;
    const std::u16string_view piece = std::u16string_view(text).substr(at, length);
    scrambler.push(piece, cut_result);
    at += piece.size();
  }
  scrambler.push_last({}, cut_result);
  check(cut_result == result, "pieces give the whole text's result");
  check(cut_random.next() == random.next(), "pieces draw as often as the whole text");
  if (textquirl::fuzz::well_formed(text)) check(textquirl::fuzz::well_formed(result), "well-formed output");

  ZeroSource zero;
  const std::u16string plain = textquirl::scramble(text, zero);
  check(sorted_without_breaks(plain) == sorted_without_breaks(result), "shuffle only rearranges");

  // A shuffled word may end in CR LF only if the input has lone CRs and LFs;
  // otherwise the spacing of result and normalised text agrees piece by piece.
  const auto a = pieces(plain), b = pieces(result);
  const bool lone_breaks = text.find(u'\n') != std::u16string::npos && text.find(u'\r') != std::u16string::npos;
  if (!lone_breaks) {
    check(a.size() == b.size(), "same pieces");
    for (std::size_t i = 0; i < a.size(); ++i) {
      check(a[i].size() == b[i].size(), "same piece length");
      check(a[i].front() == b[i].front() && a[i].back() == b[i].back(), "first and last unit kept");
    }
  }

  if (text.size() <= 2000) {
    textquirl::DefaultRandom composed_random(seed);
    check(textquirl::reference::compose_scramble(text, composed_random) == result, "agrees with composition");
    ZeroSource zero_again;
    check(textquirl::reference::compose_scramble(text, zero_again) == plain, "normalised text");
  }
  if (text.size() <= 200) {
    textquirl::DefaultRandom slow_random(seed);
    check(textquirl::reference::compose_scramble(text, slow_random, textquirl::reference::slow_procedures()) ==
              result,
          "agrees with slow composition");
  }
  return 0;
}
