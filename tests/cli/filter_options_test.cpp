// The filter's scramble options and --per-line, against the engine called on
// the whole text (or on each line by itself) through the whole-text
// conversions.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/filter.hpp"
#include "engine/options.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "memory_io.hpp"
#include "tests/support/cli_reference.hpp"

namespace textquirl::cli {
namespace {

using namespace std::string_literals;

// Options as the engine takes them and as the command line gives them.
struct Choice {
  ScrambleOptions options;
  std::vector<std::string> args;
};

Choice random_choice(std::mt19937& gen, testing::MemoryIo& io) {
  Choice c;
  if (gen() % 2 == 0) {
    c.options.min_length = 4 + gen() % 3;
    c.args.push_back("--min-length=" + std::to_string(c.options.min_length));
  }
  switch (gen() % 4) {
    case 0: c.options.rate = 0.5; c.args.insert(c.args.end(), {"--rate", "0,5"}); break;
    case 1: c.options.rate = 0.25; c.args.push_back("--rate=.25"); break;
    case 2: c.options.rate = 0.0; c.args.insert(c.args.end(), {"--rate", "0"}); break;
    default: break;
  }
  if (gen() % 2 == 0) {
    c.options.always_change = true;
    c.args.push_back("--always-change");
  }
  if (gen() % 2 == 0) {
    c.options.keep = {u"Wort", u"Buchstaben", u"\u00E4e\u00E4e"};
    c.args.insert(c.args.end(), {"--keep", "Wort,,Buchstaben", "--keep=\xC3\xA4" "e\xC3\xA4" "e"});
  }
  if (gen() % 3 == 0) {  // a BOM, CR LF, an empty line, no LF at the end
    c.options.keep.insert(c.options.keep.end(), {u"eeee", u"Wort"});
    io.files["keep.txt"] = "\xEF\xBB\xBF" "eeee\r\n\nWort";
    c.args.insert(c.args.end(), {"--keep-file", "keep.txt"});
  }
  return c;
}

const std::vector<std::string> kPieces = {
    "Wort", "Buchstaben", "Hund", "eeee", "\xC3\xA4" "e", "a", "e", "o", " ", "  ", "\n", "\n", "\r\n", "\r", ".", ",",
    "(", "\"", "-", "\xC3\xA4", "\xF0\x9F\x98\x80", "e\xCC\x81", "\xEF\xBB\xBF", "\0"s};

// Whole text and per line, on random texts in up to three files, random
// options, any piece size and one to three threads.
TEST(FilterOptions, ScrambleAsTheEngineDoesOnTheWholeTextAndPerLine) {
  std::mt19937 gen(22);
  for (int round = 0; round < 400; ++round) {
    testing::MemoryIo io;
    Choice choice = random_choice(gen, io);
    const std::uint32_t seed = gen() % 3;
    std::vector<std::string> names;
    std::string whole;
    for (std::size_t f = 0, files = 1 + gen() % 3; f < files; ++f) {
      std::string text;
      for (std::size_t i = gen() % 80; i > 0; --i) text += kPieces[gen() % kPieces.size()];
      names.push_back("in" + std::to_string(f));
      io.files[names.back()] = text;
      whole += std::string_view(text).substr(text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    }
    const bool per_line = round % 2 == 1;
    const std::uint64_t first_line = per_line ? 1 + gen() % 1000 : 1;
    std::string expected;
    if (per_line) {
      // Each line alone, its line break (LF or CR LF) taken off.
      std::uint64_t number = first_line;
      for (std::size_t begin = 0; begin < whole.size(); ++number) {
        std::size_t end = whole.find('\n', begin);
        if (end == std::string::npos) end = whole.size();
        std::string_view line = std::string_view(whole).substr(begin, end - begin);
        if (end < whole.size() && line.ends_with('\r')) line.remove_suffix(1);
        expected += utf16_to_utf8(
                        scramble_record(utf8_to_utf16(line), seed, RecordKey::number(number), choice.options)) +
                    "\n";
        begin = end + 1;
      }
      choice.args.insert(choice.args.end(), {"--per-line", "--first-line", std::to_string(first_line)});
    } else {
      DefaultRandom random(seed);
      expected = utf16_to_utf8(crlf_to_lf(scramble(to_crlf(utf8_to_utf16(whole)), random, choice.options)));
    }
    choice.args.insert(choice.args.end(), {"--seed", std::to_string(seed)});
    std::vector<std::string_view> args(choice.args.begin(), choice.args.end());
    args.insert(args.end(), names.begin(), names.end());
    const std::size_t piece_bytes = 4 + gen() % 16;
    const unsigned workers = 1 + round % 3;
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(detail::run_filter(args, io, piece_bytes, workers), 0) << io.err;
    ASSERT_EQ(io.out, expected);
  }
}

// A file cut at line ends and scrambled part by part, each part with the
// number of its first line, gives the whole file's bytes.
TEST(FilterOptions, PerLinePartsGiveTheWholesBytes) {
  std::string text;
  std::mt19937 gen(7);
  for (int line = 0; line < 3000; ++line) {
    for (std::size_t w = gen() % 12; w > 0; --w) text += kPieces[gen() % 4] + " ";
    text += line % 5 == 0 ? "\r\n" : "\n";
  }
  text.pop_back();  // the last line without its LF
  const auto run = [](const std::string& input, std::vector<std::string_view> args) {
    testing::MemoryIo io(input);
    EXPECT_EQ(run_filter(args, io), 0) << io.err;
    return io.out;
  };
  const std::string whole = run(text, {"--per-line", "--rate", "0.7", "--seed", "9"});
  std::string parts;
  std::uint64_t first = 1;
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = begin;
    for (int k = 0; k < 700 && end < text.size(); ++k) {
      const std::size_t lf = text.find('\n', end);
      end = lf == std::string::npos ? text.size() : lf + 1;
    }
    const std::string part = text.substr(begin, end - begin);
    const std::string number = std::to_string(first);
    parts += run(part, {"--per-line", "--rate", "0.7", "--seed", "9", "--first-line", number});
    first += static_cast<std::uint64_t>(std::count(part.begin(), part.end(), '\n'));
    begin = end;
  }
  EXPECT_EQ(parts, whole);
  EXPECT_EQ(static_cast<std::size_t>(std::count(whole.begin(), whole.end(), '\n')), 3000u);
}

TEST(FilterOptions, RejectBadValuesWithAGermanMessageAndWriteNothing) {
  const std::string rate = " (erlaubt sind Zahlen von 0 bis 1, mit Punkt oder Komma, etwa 0,5).\n";
  const std::string length = " (erlaubt sind ganze Zahlen ab 4).\n";
  const std::string line = " (erlaubt sind ganze Zahlen von 1 bis 18446744073709551615).\n";
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{"--rate", "1,5"}, "Wert für --rate zu groß: „1,5“" + rate},
      {{"--rate=-0.5"}, "Ungültiger Wert für --rate: „-0.5“ ist keine Zahl" + rate},
      {{"--rate", "0.5.1"}, "Ungültiger Wert für --rate: „0.5.1“ ist keine Zahl" + rate},
      {{"--rate", ","}, "Ungültiger Wert für --rate: „,“ ist keine Zahl" + rate},
      {{"--rate", "1e-3"}, "Ungültiger Wert für --rate: „1e-3“ ist keine Zahl" + rate},
      {{"--rate"}, "Bei --rate fehlt der Wert.\n"},
      {{"--min-length", "3"}, "Wert für --min-length zu klein: „3“" + length},
      {{"--min-length=vier"}, "Ungültiger Wert für --min-length: „vier“ ist keine ganze Zahl" + length},
      {{"--min-length", "99999999999999999999"}, "Wert für --min-length zu groß: „99999999999999999999“" + length},
      {{"--per-line", "--first-line", "0"}, "Wert für --first-line zu klein: „0“" + line},
      {{"--per-line", "--first-line=+3"}, "Ungültiger Wert für --first-line: „+3“ ist keine ganze Zahl" + line},
      {{"--first-line", "3"}, "--first-line gilt nur zusammen mit --per-line.\n"},
      {{"--per-line", "--first-line", "18446744073709551615"},
       "Zu viele Zeilen für --first-line 18446744073709551615: Die Zeilennummern gingen über "
       "18446744073709551615 hinaus.\n"},
      {{"--mode=sorgfältig"}, "Unbekannter Modus für --mode: „sorgfältig“ (erlaubt sind classic und careful).\n"},
      {{"--keep", "a\xFF"}, "Ungültiges UTF-8 im Wert von --keep bei Byte 1: dieses Byte kommt in UTF-8 nicht vor.\n"},
      {{"--keep-file", "fehlt.txt"}, "Kann „fehlt.txt“ nicht lesen: Datei oder Verzeichnis nicht gefunden.\n"},
      {{"--keep-file", "bad.txt"}, "Ungültiges UTF-8 in „bad.txt“ bei Byte 2 (0xC3): Bytefolge am Ende der Eingabe abgebrochen."
       " Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n"},
      {{"--always-change=ja"}, "Unbekannte Option „--always-change=ja“. Hilfe gibt „textquirl-cli --help“.\n"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    testing::MemoryIo io("eins\nzwei\n");
    io.files["bad.txt"] = "ab\xC3";
    EXPECT_EQ(run_filter(args, io), 1);
    EXPECT_EQ(io.err, "textquirl-cli: " + message);
    EXPECT_EQ(io.out, "");
  }
  // The last line number may be the largest key.
  testing::MemoryIo io("eins\nzwei");
  const std::vector<std::string_view> last = {"--per-line", "--first-line", "18446744073709551614"};
  EXPECT_EQ(run_filter(last, io), 0) << io.err;
}

// The manual page's fixed results are the filter's, and --help names every
// option.
TEST(FilterOptions, GiveTheManualPagesFixedResults) {
  std::ifstream file(TEXTQUIRL_CLI_MANUAL);
  ASSERT_TRUE(file) << TEXTQUIRL_CLI_MANUAL;
  std::stringstream contents;
  contents << file.rdbuf();
  std::string page = contents.str();
  for (std::size_t at = 0; (at = page.find("\\-", at)) != std::string::npos;) page.replace(at, 2, "-");

  const std::string sentence = "Zwölf Boxkämpfer jagen Viktor quer über den großen Sylter Deich.";
  int found = 0;
  for (const std::string_view min_length : {"", "--min-length=6"}) {
    for (const std::string_view rate : {"", "--rate=0,5"}) {
      for (const std::string_view always_change : {"", "--always-change"}) {
        for (const std::string_view keep : {"", "--keep=Viktor,quer"}) {
          std::vector<std::string_view> args;
          for (const std::string_view arg : {min_length, rate, always_change, keep}) {
            if (!arg.empty()) args.push_back(arg);
          }
          testing::MemoryIo plain(sentence);
          ASSERT_EQ(run_filter(args, plain), 0);
          args.push_back("--per-line");
          testing::MemoryIo per_line(sentence);
          ASSERT_EQ(run_filter(args, per_line), 0);
          const std::string both = plain.out + "\n.br\n" + per_line.out;
          EXPECT_NE(page.find(both), std::string::npos) << both;
          ++found;
        }
      }
    }
  }
  EXPECT_EQ(found, 16);

  testing::MemoryIo help;
  const std::vector<std::string_view> args = {"--help"};
  ASSERT_EQ(run_filter(args, help), 0);
  for (const char* option : {"--min-length N", "--rate R", "--always-change", "--keep WORT", "--keep-file DATEI",
                             "--per-line", "--first-line K", "--mode"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const std::string_view name = std::string_view(option).substr(0, std::string_view(option).find(' '));
    EXPECT_NE(page.find(name), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace textquirl::cli
