// The classic scramble's UTF-8 road (engine/utf8_scramble.hpp) against its
// UTF-16 road on random texts of the characters it takes.
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
  char out[26];
  EXPECT_EQ(std::string_view(out, textquirl::scramble_utf8("Hallo, Welt!\n", random, out)), "Hlalo, Wlet! \n");
  EXPECT_EQ(std::string_view(out, textquirl::scramble_utf8("eins\nzwei", random, out)), "enis \nzwei");
  EXPECT_TRUE(textquirl::utf8_road_takes("Gr\xC3\xBC\xC3\x9F" "e\n"));
  EXPECT_FALSE(textquirl::utf8_road_takes("a\r\n"));
  EXPECT_FALSE(textquirl::utf8_road_takes("\xE2\x82\xAC"));
  EXPECT_EQ(textquirl::count_draws_utf8("Hallo Welt\n"), 5u);
  EXPECT_EQ(utf8_road_mismatch("Hallo Welt\n", 7), "");
}

// Letters of one and two bytes, the marks, spaces, line breaks, characters
// that join their neighbours (combining marks, a prepended mark), controls,
// and words long enough for the long shuffles.
TEST(Utf8Road, AgreesWithTheUtf16Road) {
  const std::vector<std::string> pieces = {
      "a", "e", "n", "s", "t", "Z", "7", " ", " ", "  ", "\n", "\n\n", ".", ",", "!", "?", "\"", "'", "(", "[",
      ")", "]", "-", "/", ":", "=", "`", "%", "&", "\xC2\xA7", "\xC2\xB4", "\xC3\xA4", "\xC3\xB6", "\xC3\xBC",
      "\xC3\x9F", "\xC3\x84", "\xC8\xBF", "\xC9\x90", "\xCE\xB1", "\xD0\x96", "\xD7\x90", "\xC2\xA0", "\t",
      std::string(1, '\0'), "\xCC\x81", "\xCC\x88", "\xD8\x80", "\xDF\xBF", "\xC2\xAD", "\x7F",
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
    ASSERT_TRUE(textquirl::utf8_road_takes(text));
    const std::string mismatch = utf8_road_mismatch(text, static_cast<std::uint32_t>(generator()));
    ASSERT_EQ(mismatch, "") << "for \"" << text << "\"";
  }
}

}  // namespace
