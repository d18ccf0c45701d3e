#include "cli/utf8.hpp"

#include <gtest/gtest.h>

#include "tests/support/cli_reference.hpp"

#include <random>
#include <string>
#include <vector>

namespace textquirl::cli {
namespace {

using namespace std::string_literals;

struct BadCase {
  std::string bytes;
  std::size_t offset;
  std::string problem_part;
};

const std::vector<BadCase>& bad_cases() {
  static const std::vector<BadCase> cases = {
      {"ab\xC0\xAF", 2, "überlange"},
      {"\xE0\x80\xAF", 0, "überlange"},
      {"x\xF0\x8F\xBF\xBF", 1, "überlange"},
      {"ab\xE2\x82", 2, "am Ende"},
      {"\xF0\x9F\x98", 0, "am Ende"},
      {"\xE2\x82x", 0, "unvollständige"},
      {"a\x80", 1, "Folgebyte"},
      {"\xC3\xA4\xBF", 2, "Folgebyte"},
      {"a\xED\xA0\x80", 1, "Surrogat"},
      {"\xF4\x90\x80\x80", 0, "U+10FFFF"},
      {"ok\xF8", 2, "nicht vor"},
      // offsets count bytes, not characters or UTF-16 units
      {"\xC3\xA4\xF0\x9F\x98\x80\x80", 6, "Folgebyte"},
      {"\xF0\x9F\x98\x80\x80\x80\x80\x80", 4, "Folgebyte"},
      {"a\0b\xFF"s, 3, "nicht vor"},
  };
  return cases;
}

TEST(Utf8ToUtf16, DecodesValidText) {
  EXPECT_EQ(utf8_to_utf16(""), u"");
  EXPECT_EQ(utf8_to_utf16("Hallo"), u"Hallo");
  // NUL is an ordinary character
  EXPECT_EQ(utf8_to_utf16("a\0b"s), u"a\0b"s);
  // two-, three- and four-byte sequences
  EXPECT_EQ(utf8_to_utf16("\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"), u"ä€\U0001F600");
  EXPECT_EQ(utf8_to_utf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  // a byte-order mark is decoded like any character; dropping it is the caller's job
  EXPECT_EQ(utf8_to_utf16("\xEF\xBB\xBF" "a"), u"\uFEFFa");
}

TEST(Utf8ToUtf16, ReportsFirstInvalidSequence) {
  for (const BadCase& bad : bad_cases()) {
    SCOPED_TRACE(testing::PrintToString(bad.bytes));
    try {
      utf8_to_utf16(bad.bytes);
      ADD_FAILURE() << "accepted invalid UTF-8";
    } catch (const InvalidUtf8& error) {
      EXPECT_EQ(error.offset(), bad.offset);
      EXPECT_NE(std::string(error.what()).find(bad.problem_part), std::string::npos) << error.what();
    }
  }
}

// Decoding in pieces must neither cut a valid sequence nor move an error.
TEST(Utf8ToUtf16, PiecesGiveTheSameResult) {
  std::vector<std::string> inputs = {"a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80"};
  for (const BadCase& bad : bad_cases()) inputs.push_back(bad.bytes);
  for (const std::string& input : inputs) {
    std::string whole_error;
    std::u16string whole;
    try {
      whole = utf8_to_utf16(input);
    } catch (const InvalidUtf8& error) {
      whole_error = std::to_string(error.offset()) + error.what();
    }
    for (std::size_t chunk = 4; chunk <= 9; ++chunk) {
      SCOPED_TRACE(testing::PrintToString(input) + " chunk " + std::to_string(chunk));
      try {
        EXPECT_EQ(detail::utf8_to_utf16(input, chunk), whole);
        EXPECT_EQ(whole_error, "");
      } catch (const InvalidUtf8& error) {
        EXPECT_EQ(std::to_string(error.offset()) + error.what(), whole_error);
      }
    }
  }
}

TEST(Utf16ToUtf8, EncodesAndRejectsUnpairedSurrogates) {
  EXPECT_EQ(utf16_to_utf8(u"a\0ä€\U0001F600"s), "a\0\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"s);
  // a pair that straddles a piece boundary stays whole
  EXPECT_EQ(detail::utf16_to_utf8(u"a\U0001F600b", 2), "a\xF0\x9F\x98\x80" "b");
  // unpaired surrogates
  const std::vector<std::pair<std::u16string, std::size_t>> bad = {
      {u"ab\xD800"s, 2}, {u"\xDC00"s, 0}, {u"a\xD800x"s, 1}, {u"\U0001F600\xDFFF\xD800"s, 2}};
  for (const auto& [text, offset] : bad) {
    for (std::size_t chunk : {2u, 3u, 1000u}) {
      try {
        detail::utf16_to_utf8(text, chunk);
        ADD_FAILURE() << "accepted an unpaired surrogate at " << offset;
      } catch (const InvalidUtf16& error) {
        EXPECT_EQ(error.offset(), offset);
      }
    }
  }
}

TEST(Utf8RoundTrip, RandomValidTextsSurvive) {
  std::mt19937 random(42);
  const char32_t limits[] = {0x80, 0x800, 0x10000, 0x110000};  // 1 to 4 bytes in UTF-8
  for (int round = 0; round < 500; ++round) {
    std::u16string text;
    // Every tenth text long enough for the checks of 64 bytes at a time.
    for (int i = std::uniform_int_distribution<int>(0, round % 10 == 0 ? 400 : 40)(random); i > 0; --i) {
      char32_t c = std::uniform_int_distribution<char32_t>(0, limits[random() % 4] - 1)(random);
      if (c >= 0xD800 && c <= 0xDFFF) c -= 0x800;  // no surrogate code points
      if (c < 0x10000) {
        text += static_cast<char16_t>(c);
      } else {
        text += static_cast<char16_t>(0xD7C0 + (c >> 10));
        text += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
      }
    }
    const std::size_t chunk = std::uniform_int_distribution<std::size_t>(4, 12)(random);
    SCOPED_TRACE("round " + std::to_string(round) + " chunk " + std::to_string(chunk));
    const std::string utf8 = detail::utf16_to_utf8(text, chunk);
    EXPECT_EQ(detail::utf8_to_utf16(utf8, chunk), text);
    EXPECT_EQ(utf8_to_utf16(utf8), text);
  }
}

// The filter's piecewise forms against the whole-text conversions (ICU and
// the line-break functions), on random bytes cut at random places.
TEST(PiecewiseUtf8, AgreesWithTheWholeTextConversions) {
  std::mt19937 random(43);
  const std::vector<std::string> pieces = {
      "a", "Z", " ", "\r", "\n", "\r\n", "\0"s, "\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBF",
      "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF", "abcdefgh", "\n\n\r\r", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4",
      // invalid
      "\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
      "\xE2\x82", "\xF0\x9F\x98", "\xF5\x80\x80\x80", "\xFF", "\xC3"};
  const std::size_t valid_pieces = 16;
  for (int round = 0; round < 3000; ++round) {
    std::string utf8;
    const bool may_be_invalid = round % 3 == 0;
    // Every tenth text long enough for the checks of 64 bytes at a time:
    // mostly ASCII and two-byte sequences, seldom anything else.
    const bool long_text = round % 10 == 0;
    constexpr std::size_t kLatin[] = {0, 1, 2, 3, 4, 5, 6, 7, 13, 14, 15};
    for (int i = std::uniform_int_distribution<int>(0, long_text ? 400 : 40)(random); i > 0; --i) {
      if (long_text && random() % 40 != 0) {
        utf8 += pieces[kLatin[random() % std::size(kLatin)]];
      } else {
        utf8 += pieces[random() % (may_be_invalid ? pieces.size() : valid_pieces)];
      }
    }
    SCOPED_TRACE(testing::PrintToString(utf8));
    std::u16string whole;
    try {
      whole = utf8_to_utf16(utf8);
    } catch (const InvalidUtf8& expected) {
      try {
        check_utf8(utf8);
        ADD_FAILURE() << "accepted invalid UTF-8";
      } catch (const InvalidUtf8& error) {
        EXPECT_EQ(error.offset(), expected.offset());
        EXPECT_STREQ(error.what(), expected.what());
      }
      continue;
    }
    check_utf8(utf8);

    // Decoding, cut at random sequence starts.
    std::u16string decoded;
    for (std::size_t begin = 0; begin < utf8.size();) {
      const std::size_t end = utf8_piece_end(utf8, begin, 4 + random() % 12);
      append_utf16_crlf(std::string_view(utf8).substr(begin, end - begin), begin > 0 && utf8[begin - 1] == '\r',
                        decoded);
      begin = end;
    }
    ASSERT_EQ(decoded, to_crlf(whole));

    // Encoding, cut anywhere but after a CR or a lead surrogate.
    std::string encoded;
    for (std::size_t begin = 0; begin < decoded.size();) {
      std::size_t end = std::min(decoded.size(), begin + 1 + random() % 12);
      while (end < decoded.size() && (decoded[end - 1] == u'\r' || (decoded[end - 1] & 0xFC00) == 0xD800)) ++end;
      append_utf8_lf(std::u16string_view(decoded).substr(begin, end - begin), encoded);
      begin = end;
    }
    ASSERT_EQ(encoded, utf16_to_utf8(crlf_to_lf(decoded)));
  }
  // Unpaired surrogates, also at the end of a piece.
  for (const auto& [text, offset] : std::vector<std::pair<std::u16string, std::size_t>>{
           {u"abcdefgh\xD800"s, 8}, {u"\xDC00"s, 0}, {u"a\xD800x"s, 1}, {u"\U0001F600\xDFFF"s, 2}}) {
    std::string out;
    try {
      append_utf8_lf(text, out);
      ADD_FAILURE() << "accepted an unpaired surrogate at " << offset;
    } catch (const InvalidUtf16& error) {
      EXPECT_EQ(error.offset(), offset);
    }
  }
}

}  // namespace
}  // namespace textquirl::cli
