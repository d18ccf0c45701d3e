#include "engine/scramble.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "test_support.hpp"
#include "tests/support/engine_reference.hpp"

namespace textquirl {
namespace {

using testing::CountingSource;
using testing::random_text;
using testing::ZeroSource;

std::u16string normalised(std::u16string_view text) {
  ZeroSource zero;
  return scramble(text, zero);
}

TEST(scramble, NormalisesSpacingAroundMarksAndLineBreaks) {
  // Runs of spaces shrink; leading and trailing spaces go.
  EXPECT_EQ(normalised(u""), u"");
  EXPECT_EQ(normalised(u"   "), u"");
  EXPECT_EQ(normalised(u"  Hallo   Welt  "), u"Hallo Welt");
  // Closing marks stick to the word before them, opening ones to the word after.
  EXPECT_EQ(normalised(u"Hallo , Welt !"), u"Hallo, Welt!");
  EXPECT_EQ(normalised(u"( Klammer ) [x]"), u"(Klammer) [x]");
  EXPECT_EQ(normalised(u"\"Wort\""), u"\" Wort\"");
  EXPECT_EQ(normalised(u"E-Mail"), u"E- Mail");
  EXPECT_EQ(normalised(u"3.14159"), u"3. 14159");
  EXPECT_EQ(normalised(u"a\u00A7b a%b a&b a/b a:b a=b a\u00B4b a`b a'b"),
            u"a\u00A7 b a% b a& b a/ b a: b a= b a\u00B4 b a` b a' b");
  // Marks not in the list belong to the word.
  EXPECT_EQ(normalised(u"a$b a;b a*b a#b"), u"a$b a;b a*b a#b");
  // A space before each line break, none after; empty lines stay.
  EXPECT_EQ(normalised(u"eins\r\nzwei"), u"eins \r\nzwei");
  EXPECT_EQ(normalised(u"a\r\n\r\nb"), u"a \r\n\r\nb");
  EXPECT_EQ(normalised(u"\r\n  a  \r\n"), u"\r\na \r\n");
  EXPECT_EQ(normalised(u"(\r\nx\r\n."), u"(\r\nx \r\n.");
  // A lone CR or LF is an ordinary character.
  EXPECT_EQ(normalised(u"a\rb c\nd"), u"a\rb c\nd");
}

TEST(scramble, KeepsALiteralBackslashN) {
  EXPECT_EQ(normalised(u"C:\\neu \\n x\\ny"), u"C: \\neu \\n x\\ny");
  ZeroSource zero;
  EXPECT_EQ(scramble(u"\\n\r\n\\n", zero), u"\\n \r\n\\n");
}

TEST(scramble, ShufflesOnlyTheInsideOfLongWords) {
  DefaultRandom random;
  for (int round = 0; round < 200; ++round) {
    // Words of up to three characters never change.
    EXPECT_EQ(scramble(u"Der Hund", random).substr(0, 5), u"Der H");
    const std::u16string out = scramble(u"Hallo, Welt!", random);
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(out.substr(4, 4), u"o, W");
    std::u16string inner = out.substr(1, 3);
    std::sort(inner.begin(), inner.end());
    EXPECT_EQ(inner, u"all");
    // Characters of several units are moved whole and never split.
    const std::u16string emoji = scramble(u"x\U0001F600e\u0301\U0001F1E9\U0001F1EAy", random);
    StringArray got;
    buchstaben_zerlegen(emoji, got);
    EXPECT_EQ(got.size(), 6u);
    EXPECT_EQ(got[1], u"x");
    EXPECT_EQ(got[5], u"y");
  }
  // A word of four characters keeps its first and last character, and only
  // words of four or more are drawn for: Hund takes 2 draws.
  CountingSource counted;
  scramble(u"Der Hund \U0001F600\U0001F600\U0001F600", counted);
  EXPECT_EQ(counted.draws, 2u);
}

TEST(scramble, IsTheSameAfterEveryFreshStart) {
  const std::u16string text = u"Nach einer Studie der Universit\u00E4t Cambridge ist es egal, "
                              u"in welcher Reihenfolge die Buchstaben stehen.\r\nHauptsache!";
  DefaultRandom first_run, second_run;
  for (int press = 0; press < 5; ++press) {
    ASSERT_EQ(scramble(text, first_run), scramble(text, second_run));
  }
  DefaultRandom a, b(1);
  EXPECT_NE(scramble(text, a), scramble(text, b));
}

// Removes every unit of `drop` from a text.
std::u16string without(std::u16string s, std::u16string_view drop) {
  s.erase(std::remove_if(s.begin(), s.end(), [&](char16_t c) { return drop.find(c) != drop.npos; }), s.end());
  return s;
}

TEST(scramble, AgreesWithTheComposedProceduresOnRandomTexts) {
  std::mt19937 gen(5);
  const auto engine = reference::engine_procedures();
  const auto slow = reference::slow_procedures();
  for (int round = 0; round < 4000; ++round) {
    const std::u16string text = random_text(gen, round % 10 == 0 ? 300 : 40);
    const std::uint32_t seed = gen();

    CountingSource fast_random(seed), composed_random(seed);
    const std::u16string fast = scramble(text, fast_random);
    const std::u16string composed = reference::compose_scramble(text, composed_random, engine);
    ASSERT_EQ(fast, composed) << "round " << round;
    ASSERT_EQ(fast_random.draws, composed_random.draws);

    if (round % 4 == 0) {
      CountingSource slow_random(seed);
      ASSERT_EQ(reference::compose_scramble(text, slow_random, slow), fast) << "round " << round;
    }

    // With no shuffle the result is the normalised text, and the shuffle
    // only rearranges characters: the same units once spaces are removed,
    // the same number of draws as characters moved.
    ZeroSource zero;
    const std::u16string plain = scramble(text, zero);
    ASSERT_EQ(zero.draws, fast_random.draws);
    std::u16string a = without(plain, u" "), b = without(fast, u" ");
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a, b) << "round " << round;
  }
}

TEST(scramble, AgreesWithTheComposedProceduresOnOneHugeWord) {
  // Words of more than 2^16 characters, shuffled block by block: plain
  // units only, and mixed with characters of two to five units.
  std::mt19937 gen(9);
  const std::u16string pieces[] = {u"a", u"b", u"\u00E4", u"e\u0301", u"\U0001F44D\U0001F3FD",
                                   u"\U0001F469\u200D\U0001F4BB", u"\U0001F1E9\U0001F1EA"};
  for (const std::size_t kinds : {3u, 7u}) {
    std::u16string word;
    while (word.size() < 200000) word += pieces[gen() % kinds];
    CountingSource fast_random(gen()), composed_random = fast_random;
    ASSERT_EQ(scramble(word, fast_random), reference::compose_scramble(word, composed_random)) << kinds;
    ASSERT_EQ(fast_random.draws, composed_random.draws);
  }
}

TEST(Scrambler, GivesTheWholeTextsResultWhereverThePiecesAreCut) {
  std::mt19937 gen(7);
  for (int round = 0; round < 3000; ++round) {
    const std::u16string text = random_text(gen, round % 10 == 0 ? 300 : 40);
    const std::uint32_t seed = gen();
    CountingSource whole_random(seed), pieces_random(seed);
    const std::u16string whole = scramble(text, whole_random);

    // Cuts anywhere, many of them one unit apart; the last piece may be
    // given to push_last or be empty.
    Scrambler scrambler(pieces_random);
    std::u16string out;
    const std::size_t longest = 1 + gen() % 12;
    std::size_t at = 0;
    while (at < text.size() && gen() % 8 != 0) {
      const std::size_t length = std::min<std::size_t>(gen() % (longest + 1), text.size() - at);
      scrambler.push(std::u16string_view(text).substr(at, length), out);
      at += length;
    }
    scrambler.push_last(std::u16string_view(text).substr(at), out);
    ASSERT_EQ(out, whole) << "round " << round;
    ASSERT_EQ(pieces_random.draws, whole_random.draws);

    // The scrambler then starts afresh.
    out.clear();
    scrambler.push_last(u" (x ", out);
    ASSERT_EQ(out, u"(x");
  }
}

TEST(count_draws, LetsTheLinesOfATextBeScrambledApart) {
  std::mt19937 gen(11);
  for (int round = 0; round < 3000; ++round) {
    const std::u16string text = random_text(gen, round % 10 == 0 ? 300 : 40);
    const std::uint32_t seed = gen();
    CountingSource counted(seed);
    const std::u16string whole = scramble(text, counted);
    ASSERT_EQ(count_draws(text), counted.draws) << "round " << round;

    // Cut after each line break in turn: the second part, drawn from where
    // the first leaves off, completes the first.
    for (std::size_t at = text.find(u"\r\n"); at != std::u16string::npos; at = text.find(u"\r\n", at + 1)) {
      const std::u16string_view first = std::u16string_view(text).substr(0, at + 2);
      DefaultRandom first_random(seed), second_random(seed);
      second_random.discard(count_draws(first));
      ASSERT_EQ(scramble(first, first_random) + scramble(text.substr(at + 2), second_random), whole)
          << "round " << round << ", cut at " << at + 2;
    }
  }

  // Skipping whole blocks of the generator and parts of one, from its
  // start and from inside a block.
  for (const std::uint64_t skip : {0, 1, 523, 524, 525, 623, 624, 625, 1248, 5000}) {
    DefaultRandom skipped, drawn;
    if (skip % 2 == 1) {
      for (int i = 0; i < 100; ++i) ASSERT_EQ(skipped.next(), drawn.next());
    }
    skipped.discard(skip);
    for (std::uint64_t i = 0; i < skip; ++i) drawn.next();
    ASSERT_EQ(skipped.next(), drawn.next()) << skip;
  }
}

TEST(scramble, KeepsFirstAndLastCharacterOfEveryWord) {
  // Words without marks or line breaks, separated by single spaces: the
  // result lines up word for word with the input.
  std::mt19937 gen(6);
  DefaultRandom random;
  const std::u16string pieces[] = {u"a", u"b", u"c", u"\u00FC", u"e\u0301", u"\U0001F600", u"\u1100\u1161", u"\t"};
  for (int round = 0; round < 500; ++round) {
    std::vector<StringArray> words(1 + gen() % 8);
    std::u16string text;
    for (auto& w : words) {
      w.assign(1, u"");
      for (std::size_t i = 1 + gen() % 12; i > 0; --i) w.push_back(pieces[gen() % std::size(pieces)]);
      for (std::size_t i = 1; i < w.size(); ++i) text += w[i];
      text += u" ";
    }
    const std::u16string out = scramble(text, random);
    StringArray got;
    std::u16string space = u" ";
    csv_zerlegen(out, got, space);
    ASSERT_EQ(got.size(), words.size() + 1);
    for (std::size_t i = 0; i < words.size(); ++i) {
      const StringArray& want = words[i];
      // Neighbouring characters may fuse (a jamo next to a jamo), so compare
      // the ends by text, and the middle as a multiset of units.
      std::u16string joined;
      for (std::size_t j = 1; j < want.size(); ++j) joined += want[j];
      if (want.size() - 1 > 3) {
        EXPECT_TRUE(got[i + 1].starts_with(want[1]));
        EXPECT_TRUE(got[i + 1].ends_with(want.back()));
      } else {
        EXPECT_EQ(got[i + 1], joined);
      }
      std::sort(joined.begin(), joined.end());
      std::u16string sorted = got[i + 1];
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(sorted, joined);
    }
  }
}

}  // namespace
}  // namespace textquirl
