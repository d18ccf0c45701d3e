// The UTF-8 road (engine/utf8_scramble.hpp) against the UTF-16 road on
// random texts and options.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/utf8_scramble.hpp"
#include "tests/support/utf8_road_check.hpp"

namespace {

using textquirl::testing::utf8_road_mismatch;

TEST(Utf8Road, HeaderExamples) {
  textquirl::DefaultRandom random;
  textquirl::Utf8Scrambler scrambler;
  char out[textquirl::Utf8Scrambler::room(13)];
  EXPECT_EQ(std::string_view(out, scrambler.scramble("Hallo, Welt!\n", random, out)), "Hlalo, Wlet! \n");
  EXPECT_EQ(std::string_view(out, scrambler.scramble("eins\nzwei", random, out)), "enis \nzwei");
  EXPECT_TRUE(scrambler.takes("Gr\xC3\xBC\xC3\x9F" "e\n"));
  EXPECT_FALSE(scrambler.takes("a\r\n"));
  EXPECT_EQ(scrambler.count_draws("Hallo Welt\n"), 5u);
  EXPECT_EQ(utf8_road_mismatch("Hallo Welt\nTsch\xC3\xBCss", 5489), "");
}

// Letters of one to four bytes, the marks, spaces, line breaks, characters
// that join their neighbours (combining marks, a prepended mark, emoji with
// a joiner), controls, and words long enough for the long shuffles; with
// random options.
TEST(Utf8Road, AgreesWithTheUtf16Road) {
  const std::vector<std::string> pieces = {
      "a", "e", "n", "s", "t", "Z", "7", " ", " ", "  ", "\n", "\n\n", ".", ",", "!", "?", "\"", "'", "(", "[",
      ")", "]", "-", "/", ":", "=", "`", "%", "&", "\xC2\xA7", "\xC2\xB4", "\xC3\xA4", "\xC3\xB6", "\xC3\xBC",
      "\xC3\x9F", "\xC3\x84", "\xC8\xBF", "\xC9\x90", "\xCE\xB1", "\xD0\x96", "\xD7\x90", "\xC2\xA0", "\t",
      std::string(1, '\0'), "\xE2\x80\x9E", "\xE2\x80\x9C", "\xE2\x80\x93", "\xE2\x82\xAC", "\xE4\xB8\xAD",
      "\xF0\x9F\x98\x80", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "\xE2\x80\x8D", "\xEF\xBF\xBF", "\xCC\x81", "\xCC\x88", "\xD8\x80", "\xDF\xBF", "\xC2\xAD", "\x7F",
      "Verwurschtelungsbuchstabensalatgeneratorvorschriftenausschussmitgliedsversammlung",
      "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
      "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
      "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
      "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
      "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
      "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"};
  std::mt19937 generator(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(generator() % 40);
    // Mostly letters, so that words of every length come up.
    for (int k = 0; k < length; ++k) {
      const std::size_t pick = generator() % (2 * pieces.size());
      text += pick < pieces.size() ? pieces[pick] : pieces[pick % 5];
    }
    textquirl::ScrambleOptions options;
    if (round % 2 == 1) {  // every other round with options
      options.min_length = 4 + generator() % 3;
      options.rate = (generator() % 3) / 2.0;
      options.always_change = generator() % 2 == 0;
      options.keep = {u"ansZ", u"\u00E4\u00F6\u00FC\u00DF", u"e\u20ACn"};
    }
    const std::string mismatch = utf8_road_mismatch(text, static_cast<std::uint32_t>(generator()), options);
    ASSERT_EQ(mismatch, "") << "for \"" << text << "\"";
  }
}

}  // namespace
