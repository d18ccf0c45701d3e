// The engine's grapheme segmentation against its two oracles: Unicode's own
// GraphemeBreakTest.txt and ICU.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/internal/graphemes.hpp"
#include "engine/text_primitives.hpp"
#include "icu_graphemes.hpp"
#include "test_support.hpp"

namespace textquirl {
namespace {

void append_code_point(std::u16string& text, char32_t c) {
  if (c < 0x10000) {
    text += static_cast<char16_t>(c);
  } else {
    text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// Both ways into the splitter: with the shortcut for simple text and without.
void expect_bounds(std::u16string_view text, const std::vector<std::uint32_t>& expected, const std::string& what) {
  std::vector<std::uint32_t> bounds{7};
  internal::split_graphemes(text, bounds);
  ASSERT_EQ(bounds, expected) << what;
  internal::split_graphemes_by_rules(text, bounds);
  ASSERT_EQ(bounds, expected) << what << " (by the rules)";
}

TEST(grapheme_properties, MatchIcuForEveryCodePoint) {
  for (char32_t c = 0; c < 0x110000; ++c) {
    ASSERT_EQ(internal::grapheme_properties(c), testing::icu_grapheme_properties(c))
        << "code point " << std::hex << static_cast<unsigned>(c);
  }
}

TEST(split_graphemes, FollowsGraphemeBreakTest) {
  const std::string path = TEXTQUIRL_UNICODE_DIR "/auxiliary/GraphemeBreakTest.txt";
  std::ifstream file(path);
  ASSERT_TRUE(file) << "cannot read " << path;
  std::size_t cases = 0;
  for (std::string line; std::getline(file, line);) {
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    std::u16string text;
    std::vector<std::uint32_t> expected;
    for (std::string field; fields >> field;) {
      if (field == "\u00F7") {
        expected.push_back(static_cast<std::uint32_t>(text.size()));
      } else if (field != "\u00D7") {
        append_code_point(text, static_cast<char32_t>(std::stoul(field, nullptr, 16)));
      }
    }
    if (text.empty()) continue;
    expect_bounds(text, expected, line);
    ++cases;
  }
  EXPECT_GT(cases, 600u);
}

TEST(split_graphemes, AgreesWithIcuOnRandomTexts) {
  // A few code points of every combination of properties, lone surrogates
  // among them, and plain letters.
  std::map<std::uint8_t, std::vector<char32_t>> by_properties;
  for (char32_t c = 0; c < 0x110000; ++c) {
    auto& some = by_properties[internal::grapheme_properties(c)];
    if (some.size() < 12 || c % 97 == 0) some.push_back(c);
  }
  std::mt19937 gen(7);
  std::vector<std::vector<char32_t>> groups;
  for (auto& [properties, points] : by_properties) {
    std::shuffle(points.begin(), points.end(), gen);
    points.resize(std::min<std::size_t>(points.size(), 12));
    groups.push_back(points);
  }
  groups.push_back({0xD800, 0xDBFF, 0xDC00, 0xDFFF});
  groups.push_back({u'a', u'b', u'e'});
  for (int round = 0; round < 100000; ++round) {
    std::u16string text;
    for (auto i = gen() % 14; i > 0; --i) {
      const auto& group = groups[gen() % groups.size()];
      append_code_point(text, group[gen() % group.size()]);
    }
    expect_bounds(text, testing::icu_character_bounds(text), "round " + std::to_string(round));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// ICU's segmentation as a string array.
StringArray icu_characters(std::u16string_view text) {
  const auto bounds = testing::icu_character_bounds(text);
  StringArray characters(1);
  for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
    characters.emplace_back(text.substr(bounds[i], bounds[i + 1] - bounds[i]));
  }
  return characters;
}

TEST(buchstaben_zerlegen, AgreesWithIcuOnRandomTexts) {
  // Covers the shortcut for texts whose every unit is a character.
  std::mt19937 gen(3);
  for (int round = 0; round < 3000; ++round) {
    const std::u16string text = testing::random_text(gen, 30);
    StringArray fast;
    buchstaben_zerlegen(text, fast);
    ASSERT_EQ(fast, icu_characters(text));
  }
  // Every BMP unit on its own, and next to a letter.
  for (char32_t c = 1; c < 0x10000; ++c) {
    const std::u16string text = {u'a', static_cast<char16_t>(c), u'b', static_cast<char16_t>(c)};
    StringArray fast;
    buchstaben_zerlegen(text, fast);
    ASSERT_EQ(fast, icu_characters(text)) << "unit " << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace textquirl
