// The UTF-8 road (engine/utf8_scramble.hpp) against the UTF-16 road on
// random texts and options, in the classic mode and the careful one.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/internal/careful_utf8.hpp"
#include "engine/internal/classic_layout.hpp"
#include "engine/internal/deferred_shuffles.hpp"
#include "engine/utf8_scramble.hpp"
#include "tests/support/utf8_road_check.hpp"

namespace {

using textquirl::testing::careful_utf8_mismatch;
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

  // The two steps, and the layouts and the word lists beneath them.
  char two_steps[textquirl::Utf8Scrambler::room(11)];
  EXPECT_EQ(scrambler.lay_out("Hallo Welt\n", two_steps), 5u);
  textquirl::DefaultRandom fresh;
  EXPECT_EQ(std::string_view(two_steps, scrambler.shuffle(fresh)), "Hlalo Wlet \n");
  textquirl::internal::ClassicLayout layout;
  bool space = false;
  char laid_out[textquirl::Utf8Scrambler::room(12)];
  ASSERT_TRUE(layout.lay_out("Hallo  Welt\n", laid_out, space));
  EXPECT_EQ(layout.draws(), 5u);
  textquirl::DefaultRandom again;
  EXPECT_EQ(std::string_view(laid_out, layout.shuffle(again)), "Hlalo Wlet \n");
  textquirl::internal::DeferredShuffles shuffles;
  char welt[textquirl::Utf8Scrambler::room(4)] = "Welt";
  shuffles.start(reinterpret_cast<const std::uint8_t*>("Welt"), 4, welt);
  shuffles.note(0, 4, 0, 0, ~std::uint64_t{0});
  EXPECT_EQ(shuffles.draws(), 2u);
  textquirl::DefaultRandom once_more;
  shuffles.shuffle(once_more);
  EXPECT_EQ(std::string_view(welt, 4), "Wlet");
  char careful[textquirl::Utf8Scrambler::room(16)];
  EXPECT_TRUE(textquirl::internal::careful_lay_out_utf8("\xE2\x80\x9EHallo\xE2\x80\x9C 2024\n", careful, shuffles));
  EXPECT_EQ(shuffles.draws(), 3u);
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
    // Every tenth text long and without the joining characters (the pieces
    // from the emoji to the controls), so that runs of spaces, marks and
    // words meet the edges of the 64-byte blocks on every byte.
    const bool long_text = round % 10 == 0;
    const int length = static_cast<int>(generator() % (long_text ? 1500 : 40));
    // Mostly letters, so that words of every length come up.
    for (int k = 0; k < length; ++k) {
      const std::size_t pick = generator() % (2 * pieces.size());
      if (long_text && pick >= 49 && pick <= 58) continue;
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

// The careful road with random options on texts of letters of one to three
// bytes and everything that sends a token the UTF-16 way or keeps it whole:
// combining marks (also right after white space), prepended marks, emoji
// with joiners, Han, Thai, Hangul, addresses, white space of every kind.
TEST(Utf8Road, CarefulAgreesWithTheUtf16Road) {
  textquirl::DefaultRandom random;
  char out[32];
  const std::string_view hallo = "\xE2\x80\x9EHallo\xE2\x80\x9C 2024\n";  // „Hallo“ 2024
  EXPECT_EQ(std::string_view(out, textquirl::internal::careful_scramble_utf8(hallo, random, {}, out)),
            "\xE2\x80\x9EHlalo\xE2\x80\x9C 2024\n");
  EXPECT_EQ(textquirl::internal::careful_count_draws_utf8(hallo, {}), 3u);
  EXPECT_EQ(careful_utf8_mismatch(hallo, 7, {}), "");

  const std::vector<std::string> letters = {
      "a", "e", "n", "s", "t", "W", "w", "\xC3\xA4", "\xC3\xB6", "\xC3\x9F", "\xC3\x84", "\xC5\x93", "\xCE\xB1",
      "\xD0\x96", "\xE1\xBA\x9E", "\xEA\x9D\x8D"};  // ẞ, ꝍ
  const std::vector<std::string> others = {
      " ", " ", "\n", "\t", "\xC2\xA0", "\xE2\x80\xAF", "\xE3\x80\x80", "\xE2\x80\xA8", ".", ",", "!", "-",
      "(", "\"", "7", "0", "@", ":", "/", "www.", "://", "\xE2\x80\x9E", "\xE2\x80\x9C", "\xE2\x80\x93",
      "\xE2\x82\xAC", "\xC2\xAD", std::string(1, '\0'), "\xCC\x81", "\xCC\x88", "\xE2\x80\x8D",
      "\xD8\x80", "\xE0\xB5\x8E", "\xF0\x9F\x91\x8D", "\xF0\x9F\x8F\xBD", "\xF0\x9D\x90\x80",
      "\xE4\xB8\xAD", "\xE0\xB8\xA0", "\xE0\xB8\xB3", "\xE1\x84\x80", "\xE1\x85\xA1", "\xF0\x9F\x87\xA9",
      "Verwurschtelungsbuchstabensalatgeneratorvorschriftenausschussmitgliedsversammlung",
      "\xC3\xA4\xC3\xB6\xC3\xBC\xE2\x82\xAC\xE1\xBA\x9E" "abcdefghijklmnopqrstuvwxyz\xC3\xA4\xC3\xB6\xC3\xBC"};
  const std::vector<std::u16string> keep = {u"Hallo", u"ssss", u"\u00E4\u00E4\u00E4\u00E4", u"Wawaa"};
  std::mt19937 generator(20261210);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    // Every tenth text long and without the characters of several units
    // and the spaceless scripts (the others from the combining marks on),
    // so that tokens run over many blocks of 64 bytes.
    const bool long_text = round % 10 == 0;
    const int length = static_cast<int>(generator() % (long_text ? 3000 : 160));
    for (int k = 0; k < length; ++k) {  // mostly letters, so that words of every length come up
      const std::size_t other = generator() % (long_text ? 27 : others.size());
      text += generator() % 3 != 0 ? letters[generator() % letters.size()] : others[other];
    }
    textquirl::ScrambleOptions options;
    if (round % 2 == 1) {
      options.min_length = 4 + generator() % 4;
      options.rate = generator() % 2 == 0 ? 1.0 : (generator() % 5) / 4.0;
      options.always_change = generator() % 2 == 0;
      if (generator() % 2 == 0) options.keep = {keep[generator() % keep.size()], keep[generator() % keep.size()]};
    }
    const std::string mismatch = careful_utf8_mismatch(text, static_cast<std::uint32_t>(generator()), options);
    ASSERT_EQ(mismatch, "") << "for \"" << text << "\", round " << round;
  }
}

}  // namespace
