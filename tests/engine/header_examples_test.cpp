// The examples the engine's headers give, each kept true here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/error.hpp"
#include "engine/internal/graphemes.hpp"
#include "engine/internal/option_words.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"
#include "engine/internal/unit_masks.hpp"
#include "engine/internal/units.hpp"
#include "engine/internal/word_shuffler.hpp"
#include "engine/letter_shuffle.hpp"
#include "engine/line_breaks.hpp"
#include "engine/random_source.hpp"
#include "engine/scramble.hpp"
#include "engine/text_primitives.hpp"
#include "test_support.hpp"

namespace textquirl {
namespace {

TEST(HeaderExamples, Scramble) {
  DefaultRandom random;
  EXPECT_EQ(scramble(u"Hallo, Welt!", random), u"Hlalo, Wlet!");
  EXPECT_EQ(scramble(u"eins\r\nzwei", random), u"enis \r\nzwei");

  DefaultRandom first, second, fresh;
  second.discard(count_draws(u"Hallo Welt\r\n"));
  EXPECT_EQ(scramble(u"Hallo Welt\r\n", first) + scramble(u"tschüss", second),
            scramble(u"Hallo Welt\r\ntschüss", fresh));

  DefaultRandom pieces;
  Scrambler s(pieces);
  std::u16string out;
  s.push(u"Hallo, We", out);
  EXPECT_EQ(out, u"Hlalo,");
  s.push_last(u"lt!", out);
  EXPECT_EQ(out, u"Hlalo, Wlet!");
}

TEST(HeaderExamples, RandomSourceAndLetterShuffle) {
  EXPECT_EQ(pick_index(0.0f, 5), 1u);
  EXPECT_EQ(pick_index(0.5f, 5), 3u);
  EXPECT_EQ(pick_index(0.99f, 5), 5u);

  testing::ZeroSource zero;
  StringArray arr = {u"", u"a", u"b", u"c"};
  EXPECT_EQ(verwurschteln(arr, zero), u"abc");
  DefaultRandom random;
  arr = {u"", u"a", u"b", u"c"};
  EXPECT_EQ(verwurschteln(arr, random), u"cab");
  EXPECT_EQ(arr, StringArray{u""});
}

TEST(HeaderExamples, TextPrimitives) {
  EXPECT_EQ(stringreplace(u"a    b", u"  ", u" "), u"a  b");
  EXPECT_EQ(stringreplace(u"aaa", u"a", u"aa"), u"aaaaaa");
  StringArray arr;
  std::u16string d = u" ";
  csv_zerlegen(u"a  b", arr, d);
  EXPECT_EQ(arr, (StringArray{u"", u"a", u"", u"b"}));
  csv_zerlegen(u"", arr, d);
  EXPECT_EQ(arr, (StringArray{u"", u""}));
  buchstaben_zerlegen(u"abc", arr);
  EXPECT_EQ(arr, (StringArray{u"", u"a", u"b", u"c"}));
  buchstaben_zerlegen(u"", arr);
  EXPECT_EQ(arr, StringArray{u""});
}

TEST(HeaderExamples, LineBreaks) {
  EXPECT_EQ(to_crlf(u"a\nb\r\nc\rd"), u"a\r\nb\r\nc\rd");
  EXPECT_EQ(crlf_to_lf(u"a\r\nb\rc\r\r\n"), u"a\nb\rc\r\n");
}

TEST(HeaderExamples, Error) {
  testing::ZeroSource zero;
  try {
    internal::shuffle_indices(std::size_t{1} << 32, zero, [](std::uint32_t) {});
    ADD_FAILURE() << "no WordTooLong";
  } catch (const WordTooLong& e) {
    EXPECT_EQ(e.limit(), WordTooLong::Limit::kShuffle);
  }
  EXPECT_EQ(zero.draws, 0u);
}

TEST(HeaderExamples, InternalHeaders) {
  using namespace internal;
  EXPECT_EQ(grapheme_properties(U'\u0301'), kExtend | kConjunctExtend);
  std::vector<std::uint32_t> bounds;
  split_graphemes(u"e\u0301a", bounds);
  EXPECT_EQ(bounds, (std::vector<std::uint32_t>{0, 2, 3}));
  split_graphemes(u"", bounds);
  EXPECT_EQ(bounds, std::vector<std::uint32_t>{0});

  EXPECT_EQ(unit_table()[u'a'], kWordUnit);
  EXPECT_EQ(unit_table()[u','], kClosingMark);
  EXPECT_EQ(unit_table()[u'\u0301'], kWordUnit | kJoins);
  EXPECT_TRUE(completes_line_break(u'\n'));
  EXPECT_TRUE(line_break_at(u"a\r\nb", 1));
  EXPECT_FALSE(line_break_at(u"a\rb", 1));
  EXPECT_TRUE(ends_with_line_break(u"a\r\n"));
  EXPECT_EQ(line_break_bits(0b001, 0b010, false), 0b001u);
  const std::u16string hallo = u"Hallo, Welt";  // held in a string: of a literal GCC warns of reads in a branch only longer texts take
  PlainRuns runs(hallo);
  EXPECT_EQ(runs.end_of_run(0), 5u);
  EXPECT_EQ(runs.end_of_run(5), 5u);

  std::u16string text = u"ab";
  {
    Output out(text, 4);
    out.reserve_more(1);
    out.put(u'c');
  }
  EXPECT_EQ(text, u"abc");

  testing::ZeroSource zero;
  WordShuffler<RandomSource> words(zero);
  std::u16string word;
  {
    Output out(word, 5);
    words.append_word(u"Hallo", true, out);
  }
  EXPECT_EQ(word, u"Hallo");

  ScrambleOptions always;
  always.always_change = true;
  word.clear();
  {
    Output out(word, 5);
    OptionWords<RandomSource>(zero, always).append_word(u"Hallo", true, out);
  }
  EXPECT_EQ(word, u"Hllao");
}

// The fast paths take these units for word units of their own without
// looking them up; the table must agree, and so must the masks of 64 units.
TEST(HeaderExamples, PlainWordUnitsAreWordUnitsOfTheirOwn) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (internal::is_plain_word_unit(static_cast<char16_t>(c))) {
      ASSERT_EQ(internal::unit_table()[c], internal::kWordUnit) << std::hex << static_cast<unsigned>(c);
    }
  }
  char16_t units[64];
  for (char32_t first = 0; first < 0x10000; first += 64) {
    for (unsigned j = 0; j < 64; ++j) units[j] = static_cast<char16_t>(first + j);
    const internal::PlainUnits masks = internal::plain_units(units);
    for (unsigned j = 0; j < 64; ++j) {
      ASSERT_EQ((masks.letters >> j) & 1, internal::is_plain_word_unit(units[j])) << std::hex << first + j;
      ASSERT_EQ((masks.spaces >> j) & 1, units[j] == u' ') << std::hex << first + j;
    }
  }
}

}  // namespace
}  // namespace textquirl
