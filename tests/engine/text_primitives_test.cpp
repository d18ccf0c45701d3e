#include "engine/text_primitives.hpp"

#include <gtest/gtest.h>

#include <random>

#include "test_support.hpp"
#include "tests/support/engine_reference.hpp"

namespace textquirl {
namespace {

using testing::random_text;

TEST(stringreplace, ResumesBehindEachReplacement) {
  // A run of four spaces loses only every other one.
  EXPECT_EQ(stringreplace(u"a    b", u"  ", u" "), u"a  b");
  // A replacement that contains the search text terminates.
  EXPECT_EQ(stringreplace(u"aaa", u"a", u"aa"), u"aaaaaa");
  EXPECT_EQ(stringreplace(u"x.y.", u".", u" . "), u"x . y . ");
  // Occurrences do not overlap.
  EXPECT_EQ(stringreplace(u"aaaa", u"aa", u"b"), u"bb");
  EXPECT_EQ(stringreplace(u"aaa", u"aa", u"b"), u"ba");
}

TEST(stringreplace, LeavesInputAloneWhenThereIsNothingToDo) {
  EXPECT_EQ(stringreplace(u"abc", u"", u"x"), u"abc");
  EXPECT_EQ(stringreplace(u"abc", u"b", u"b"), u"abc");
  EXPECT_EQ(stringreplace(u"A", u"a", u"x"), u"A");  // case-sensitive
  EXPECT_EQ(stringreplace(u"", u"a", u"x"), u"");
  EXPECT_EQ(stringreplace(u"ab", u"abc", u"x"), u"ab");
}

TEST(stringreplace, AgreesWithTextbookVersionOnRandomTexts) {
  std::mt19937 gen(1);
  const std::u16string patterns[] = {u" ", u"  ", u".", u"\r\n", u"aa", u"aab", u"abab", u"\r\n "};
  const std::u16string replacements[] = {u"", u" ", u" . ", u"aa", u"a", u"\r\n"};
  for (int round = 0; round < 3000; ++round) {
    std::u16string text = random_text(gen, 40);
    // Make repetitive texts likely, where a naive search would be slow or wrong.
    if (round % 3 == 0) text = stringreplace(text, u"e", u"aab");
    const auto& from = patterns[gen() % std::size(patterns)];
    const auto& to = replacements[gen() % std::size(replacements)];
    ASSERT_EQ(stringreplace(text, from, to), reference::stringreplace(text, from, to));
  }
}

TEST(csv_zerlegen, KeepsEmptyElementsAndElementZero) {
  StringArray arr = {u"old", u"stuff"};
  std::u16string space = u" ";

  csv_zerlegen(u"a  b", arr, space);
  EXPECT_EQ(arr, (StringArray{u"", u"a", u"", u"b"}));

  csv_zerlegen(u" a ", arr, space);
  EXPECT_EQ(arr, (StringArray{u"", u"", u"a", u""}));

  // The empty text is one empty element.
  csv_zerlegen(u"", arr, space);
  EXPECT_EQ(arr, (StringArray{u"", u""}));

  // Longer delimiters, found without overlap.
  std::u16string two = u"--";
  csv_zerlegen(u"a---b", arr, two);
  EXPECT_EQ(arr, (StringArray{u"", u"a", u"-b"}));
}

TEST(csv_zerlegen, EmptyDelimiterBecomesSemicolon) {
  StringArray arr;
  std::u16string delimiter;
  csv_zerlegen(u"a;b c", arr, delimiter);
  EXPECT_EQ(delimiter, u";");
  EXPECT_EQ(arr, (StringArray{u"", u"a", u"b c"}));
}

TEST(csv_zerlegen, AgreesWithTextbookVersionOnRandomTexts) {
  std::mt19937 gen(2);
  const std::u16string delimiters[] = {u" ", u"  ", u"\r\n", u"", u"ab"};
  for (int round = 0; round < 2000; ++round) {
    const std::u16string text = random_text(gen, 40);
    std::u16string d1 = delimiters[gen() % std::size(delimiters)];
    std::u16string d2 = d1;
    StringArray fast, slow;
    csv_zerlegen(text, fast, d1);
    reference::csv_zerlegen(text, slow, d2);
    ASSERT_EQ(fast, slow);
    ASSERT_EQ(d1, d2);
  }
}

TEST(buchstaben_zerlegen, SplitsIntoUserPerceivedCharacters) {
  StringArray arr = {u"x"};
  buchstaben_zerlegen(u"abc", arr);
  EXPECT_EQ(arr, (StringArray{u"", u"a", u"b", u"c"}));

  buchstaben_zerlegen(u"", arr);
  EXPECT_EQ(arr, StringArray{u""});

  // A combining accent stays on its letter, a surrogate pair stays whole,
  // an emoji sequence with joiners is one character, CR LF is one.
  buchstaben_zerlegen(u"e\u0301\U0001F600\U0001F469\u200D\U0001F4BB\r\n", arr);
  EXPECT_EQ(arr, (StringArray{u"", u"e\u0301", u"\U0001F600", u"\U0001F469\u200D\U0001F4BB", u"\r\n"}));
}

}  // namespace
}  // namespace textquirl
