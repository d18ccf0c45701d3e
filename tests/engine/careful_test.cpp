// The careful mode against its slow ICU-based version, and the examples the
// mode is for.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/internal/careful.hpp"
#include "engine/scramble.hpp"
#include "test_support.hpp"
#include "tests/support/careful_reference.hpp"

namespace textquirl {
namespace {

using testing::CountingSource;

ScrambleOptions careful() {
  ScrambleOptions options;
  options.mode = Mode::careful;
  return options;
}

// Pieces of text that the careful rules treat differently: letters of
// several scripts, typographic punctuation, digits, white space of every
// kind, addresses and what nearly is one, marks that join white space,
// prepended marks before white space.
const std::vector<std::u16string>& careful_pieces() {
  static const std::vector<std::u16string> pieces = [] {
    std::vector<std::u16string> p = testing::text_pieces();
    const std::u16string more[] = {
        u"\u201E", u"\u201C", u"\u201A", u"\u2018", u"\u00BB", u"\u00AB", u"\u2026", u"\u2013", u"\u2014",
        u";", u"7", u"2024", u"7:30", u"24.12.", u"\u00A0", u"\u2009", u"\u3000", u"\u2028", u"\u000B",
        u"info@example.org", u"www.", u"WWW.", u"https://", u"://", u"@", u"a@b.c", u"x.y",
        u"\u6F22\u5B57", u"\u3072\u3089", u"\u30AB\u30BF", u"\u0E44\u0E17\u0E22", u"\u1780\u17D2\u1798",
        u"\u0E81\u0EB2", u"\u1000\u103C", u"\u0627\u0644", u"\u0434\u043E\u043C", u"\u03BB\u03CC\u03B3",
        u" \u0301", u"\u0600 ", u"\U000110BD", u"\u200D", u"\u0903", u"\u02B0", u"\U0001D400",
        u"\u00C4", u"\u00F6", u"\u00FC", u"\u00DF", u"Stra\u00DFe", u"Anf\u00FChrung", u"\u00BD", u"\u00B2",
    };
    p.insert(p.end(), std::begin(more), std::end(more));
    return p;
  }();
  return pieces;
}

// A random text of up to `max_pieces` pieces; every third one mostly of
// plain words and spaces, so that the fast paths for blocks of plain units
// meet the rest only now and then.
std::u16string careful_text(std::mt19937& gen, std::size_t max_pieces) {
  static const std::u16string plain[] = {u"Wort", u"Buchstaben", u"ist", u"Stra\u00DFe", u" ", u" ", u" ", u", ",
                                         u". ", u"\r\n", u"wir", u"wwz"};
  const auto& pieces = careful_pieces();
  const bool mostly_plain = gen() % 3 == 0;
  std::u16string text;
  for (std::size_t i = gen() % (max_pieces + 1); i > 0; --i) {
    if (mostly_plain && gen() % 32 != 0) {
      text += plain[gen() % std::size(plain)];
    } else {
      text += pieces[gen() % pieces.size()];
    }
  }
  return text;
}

ScrambleOptions random_options(std::mt19937& gen) {
  ScrambleOptions options = careful();
  if (gen() % 2) return options;
  options.min_length = 4 + gen() % 4;
  options.rate = gen() % 3 == 0 ? 1.0 : (gen() % 1001) / 1000.0;
  options.always_change = gen() % 2;
  if (gen() % 2) options.keep = {u"Anf\u00FChrung", u"Stra\u00DFe", u"aber"};
  return options;
}

TEST(careful, AgreesWithTheSlowVersionWithCountedDrawsWhereverCut) {
  std::mt19937 gen(23);
  for (int round = 0; round < 3000; ++round) {
    const std::u16string text = careful_text(gen, round % 5 == 0 ? 300 : 30);
    const ScrambleOptions options = random_options(gen);
    const std::uint32_t seed = gen();

    CountingSource fast_random(seed), slow_random(seed);
    const std::u16string fast = scramble(text, fast_random, options);
    ASSERT_EQ(fast, reference::careful_scramble(text, slow_random, options)) << "round " << round;
    ASSERT_EQ(fast_random.draws, slow_random.draws) << "round " << round;
    ASSERT_EQ(count_draws(text, options), fast_random.draws) << "round " << round;

    // Only letters move: the same units, in the same number.
    std::u16string a = text, b = fast;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a, b);

    // Cut anywhere, many pieces of 0 to 3 units.
    CountingSource cut_random(seed);
    Scrambler scrambler(cut_random, options);
    std::u16string cut;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t length = gen() % 4;
      scrambler.push(std::u16string_view(text).substr(at, length), cut);
      at += length;
    }
    scrambler.push_last({}, cut);
    ASSERT_EQ(cut, fast) << "round " << round;
    ASSERT_EQ(cut_random.draws, fast_random.draws);
  }
}

TEST(careful, MovesOnlyLettersInsideWords) {
  DefaultRandom random;
  for (int round = 0; round < 50; ++round) {
    const std::u16string out = scramble(
        u"\u201EAnf\u00FChrungszeichen\u201C, E-Mail-Adresse \u2013 um 7:30 Uhr, am 24.12.2024; "
        u"info@example.org und <https://example.org/pfad>\r\nEis\rda",
        random, careful());
    ASSERT_EQ(out.size(), 121u);
    EXPECT_EQ(out.substr(0, 2), u"\u201EA");
    EXPECT_EQ(out.substr(17, 3), u"n\u201C,");
    EXPECT_EQ(out[21], u'E');
    EXPECT_EQ(out.substr(22, 1) + out.substr(27, 1), u"--");
    EXPECT_EQ(out.substr(35, 51), u" \u2013 um 7:30 Uhr, am 24.12.2024; info@example.org und");
    EXPECT_EQ(out.substr(86), u" <https://example.org/pfad>\r\nEis\rda");
  }
}

TEST(careful, HeaderExamples) {
  using namespace internal;
  EXPECT_EQ(character_flags(U'a'), character_table::kLetter);
  EXPECT_EQ(code_point_at(u"\U0001F600", 0), U'\U0001F600');
  EXPECT_EQ(careful_unit_table()[u'a'], kCarefulLetter);
  EXPECT_EQ(careful_unit_table()[u' '], kCarefulBlank);
  for (const UnitRange& r : kCarefulPlainLetters) {
    for (char32_t c = r.first; c <= r.last; ++c) EXPECT_EQ(careful_unit_table()[c], kCarefulLetter) << static_cast<int>(c);
  }
  EXPECT_TRUE(is_address_token(u"\u201Einfo@example.org\u201C"));
  EXPECT_FALSE(is_address_token(u"z.B."));
  EXPECT_TRUE(joins_blank(U'\u0301'));
  EXPECT_FALSE(joins_blank(U'a'));
  EXPECT_EQ(careful_count_draws(u"\u201EHallo\u201C 2024", {}), 3u);
  testing::ZeroSource zero;
  EXPECT_EQ(reference::careful_scramble(u"\u201EHallo\u201C 7:30", zero, {}), u"\u201EHallo\u201C 7:30");
}

}  // namespace
}  // namespace textquirl
