// The examples the filter's headers give, each kept true here.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.hpp"
#include "cli/posix_io.hpp"
#include "cli/utf8.hpp"
#include "tests/support/cli_reference.hpp"

namespace textquirl::cli {
namespace {

TEST(HeaderExamples, Utf8) {
  EXPECT_TRUE(is_continuation(0xA4));
  EXPECT_FALSE(is_continuation(0xC3));
  EXPECT_TRUE(is_lead_surrogate(u'\xD83D'));
  EXPECT_FALSE(is_lead_surrogate(u'a'));
  EXPECT_NO_THROW(check_utf8("a\xC3\xA4"));
  try {
    check_utf8("a\x80");
    ADD_FAILURE() << "accepted invalid UTF-8";
  } catch (const InvalidUtf8& error) {
    EXPECT_EQ(error.offset(), 1u);
  }
  std::u16string decoded = u"x";
  append_utf16_crlf("\n\xC3\xA4\n", true, decoded);
  EXPECT_EQ(decoded, u"x\nä\r\n");
  std::string encoded = "x";
  append_utf8_lf(u"ä\r\n\r", encoded);
  EXPECT_EQ(encoded, "x\xC3\xA4\n\r");
  char16_t units[4];
  EXPECT_EQ(write_utf16_crlf("a\n", false, units), units + 3);
  EXPECT_EQ(std::u16string_view(units, 3), u"a\r\n");
  char bytes[9];
  std::size_t written = 0;
  EXPECT_EQ(write_utf8_lf(u"a\r\n", bytes, written), bytes + 2);
  EXPECT_EQ(std::string_view(bytes, written), "a\n");
  EXPECT_THROW(write_utf8_lf(u"a\xD800" u"b", bytes, written), InvalidUtf16);
  EXPECT_EQ(written, 1u);  // what came before the surrogate
  EXPECT_EQ(utf8_piece_end("abc\xC3\xA4", 0, 4), 3u);
  EXPECT_EQ(decode_utf8_lossy("W\xC3\xB6rt \xFF\n"), u"Wört \uFFFD\n");
}

TEST(HeaderExamples, Reference) {
  EXPECT_EQ(utf8_to_utf16("a\xC3\xA4"), u"aä");
  try {
    utf8_to_utf16("a\x80");
    ADD_FAILURE() << "accepted invalid UTF-8";
  } catch (const InvalidUtf8& error) {
    EXPECT_EQ(error.offset(), 1u);
  }
  EXPECT_EQ(utf16_to_utf8(u"aä"), "a\xC3\xA4");
}

TEST(HeaderExamples, OptionsAndSystemErrors) {
  EXPECT_EQ(quoted("a.txt"), "„a.txt“");
  const std::vector<std::string_view> args = {"--seed=7", "a.txt", "--", "-x"};
  const Options options = parse_options(args);
  EXPECT_EQ(options.seed, 7u);
  EXPECT_EQ(options.inputs, (std::vector<std::string>{"a.txt", "-x"}));
  const std::string_view output_args[] = {"-o", "a.txt", "a.txt"};
  const Options output = parse_options(output_args);
  EXPECT_EQ(output.output, "a.txt");
  EXPECT_EQ(output.inputs, (std::vector<std::string>{"a.txt"}));
  const std::vector<std::string_view> scramble_args = {"--rate", "0,5", "--keep=Hund,Katze"};
  const Options scramble = parse_options(scramble_args);
  EXPECT_EQ(scramble.scramble.rate, 0.5);
  EXPECT_EQ(scramble.scramble.keep, (std::vector<std::u16string>{u"Hund", u"Katze"}));
  EXPECT_EQ(system_error_text(ENOENT), "Datei oder Verzeichnis nicht gefunden");
  EXPECT_EQ(system_error_text(EDOM), "Systemfehler EDOM (Nummer 33)");
  EXPECT_EQ(with_separators(1234567), "1.234.567");
  EXPECT_EQ(too_large("Die Datei", "5.000", 12000),
            "Die Datei ist mit 5.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners (12.000 Bytes)");
}

}  // namespace
}  // namespace textquirl::cli
