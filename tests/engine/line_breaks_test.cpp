#include "engine/line_breaks.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace textquirl {
namespace {

TEST(ToCrlf, TurnsLfIntoCrlfAndLeavesTheRest) {
  EXPECT_EQ(to_crlf(u""), u"");
  EXPECT_EQ(to_crlf(u"a\nb"), u"a\r\nb");
  EXPECT_EQ(to_crlf(u"\n\nx\n"), u"\r\n\r\nx\r\n");
  // CR LF is already a line break
  EXPECT_EQ(to_crlf(u"a\r\nb\r\n"), u"a\r\nb\r\n");
  // a lone CR is an ordinary character, also at the edges
  EXPECT_EQ(to_crlf(u"\ra\rb\r"), u"\ra\rb\r");
  // CR CR LF: an ordinary CR, then a line break
  EXPECT_EQ(to_crlf(u"a\r\r\nb"), u"a\r\r\nb");
  EXPECT_EQ(to_crlf(u"a\n\r\n\rb\n"), u"a\r\n\r\n\rb\r\n");
}

TEST(CrlfToLf, TurnsCrlfIntoLfAndLeavesTheRest) {
  EXPECT_EQ(crlf_to_lf(u""), u"");
  EXPECT_EQ(crlf_to_lf(u"a \r\nb \r\n"), u"a \nb \n");
  EXPECT_EQ(crlf_to_lf(u"\r\n\r\n"), u"\n\n");
  // lone CR and lone LF stay
  EXPECT_EQ(crlf_to_lf(u"\ra\rb\r"), u"\ra\rb\r");
  EXPECT_EQ(crlf_to_lf(u"a\nb"), u"a\nb");
  // CR CR LF: the ordinary CR stays before the LF
  EXPECT_EQ(crlf_to_lf(u"a\r\r\nb"), u"a\r\nb");
}

TEST(LineBreaks, RandomTextsRoundTrip) {
  std::mt19937 random(7);
  const std::u16string alphabet = u"a\r\n ä\r\n";
  for (int round = 0; round < 1000; ++round) {
    std::u16string text;
    const int length = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    SCOPED_TRACE(::testing::PrintToString(std::u32string(text.begin(), text.end())));
    const std::u16string crlf = to_crlf(text);
    // every line break of the input is one CR LF, no lone LF is left
    EXPECT_EQ(std::count(crlf.begin(), crlf.end(), u'\n'), std::count(text.begin(), text.end(), u'\n'));
    for (std::size_t i = 0; i < crlf.size(); ++i) {
      if (crlf[i] == u'\n') {
        ASSERT_TRUE(i > 0 && crlf[i - 1] == u'\r');
      }
    }
    EXPECT_EQ(crlf_to_lf(crlf), crlf_to_lf(text));
    // a text whose breaks are all LF comes back unchanged
    std::u16string lf_only = text;
    std::erase(lf_only, u'\r');
    EXPECT_EQ(crlf_to_lf(to_crlf(lf_only)), lf_only);
  }
}

}  // namespace
}  // namespace textquirl
