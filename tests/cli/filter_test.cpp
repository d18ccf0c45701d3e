#include "cli/filter.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "cli/utf8.hpp"
#include "engine/random_source.hpp"
#include "engine/scramble.hpp"
#include "memory_io.hpp"
#include "tests/support/cli_reference.hpp"
#include "textquirl/product_config.hpp"

namespace textquirl::cli {
namespace {

using namespace std::string_literals;

using FakeIo = testing::MemoryIo;

int run(FakeIo& io, std::vector<std::string_view> args) { return run_filter(args, io); }

// Runs on `input` from stdin and returns stdout; the run must succeed.
std::string scrambled(const std::string& input, std::vector<std::string_view> args = {}) {
  FakeIo io;
  io.standard_input = input;
  EXPECT_EQ(run(io, args), 0) << io.err;
  EXPECT_EQ(io.err, "");
  return io.out;
}

const std::string kProse =
    "Die Buchstaben in einem Wort dürfen gemischt werden, solange der erste und der letzte\n"
    "an ihrem Platz bleiben. Überraschenderweise lässt sich der Text dann noch lesen.\n";

TEST(RunFilter, HelpAndVersion) {
  FakeIo io;
  EXPECT_EQ(run(io, {"--help"}), 0);
  EXPECT_TRUE(io.out.starts_with("Aufruf: textquirl-cli [OPTION]... [DATEI]...\n")) << io.out;
  EXPECT_NE(io.out.find("--seed N"), std::string::npos);
  EXPECT_EQ(io.err, "");

  FakeIo version;
  EXPECT_EQ(run(version, {"--version"}), 0);
  // copyright and licence follow; tests/ui/help_and_version.sh holds them to LICENSE
  EXPECT_TRUE(version.out.starts_with("textquirl-cli " + std::string(product::config::kVersion) + "\nCopyright "))
      << version.out;

  // the first of them wins, whatever follows; -h and -V are the short forms
  FakeIo first;
  EXPECT_EQ(run(first, {"--version", "--help", "--bogus"}), 0);
  EXPECT_EQ(first.out, version.out);
  FakeIo short_help;
  EXPECT_EQ(run(short_help, {"-h", "-V"}), 0);
  EXPECT_EQ(short_help.out, io.out);
  FakeIo short_version;
  EXPECT_EQ(run(short_version, {"a.txt", "-V"}), 0);
  EXPECT_EQ(short_version.out, version.out);
}

TEST(RunFilter, RejectsBadCommandLines) {
  const std::string not_a_number =
      " ist keine Zahl (erlaubt sind ganze Zahlen von 0 bis 4294967295).\n";
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{"--bogus"}, "textquirl-cli: Unbekannte Option „--bogus“. Hilfe gibt „textquirl-cli --help“.\n"},
      {{"a.txt", "-x"}, "textquirl-cli: Unbekannte Option „-x“. Hilfe gibt „textquirl-cli --help“.\n"},
      {{"--seed"}, "textquirl-cli: Bei --seed fehlt der Startwert.\n"},
      {{"--seed="}, "textquirl-cli: Bei --seed fehlt der Startwert.\n"},
      {{"--seed", "abc"}, "textquirl-cli: Ungültiger Startwert für --seed: „abc“" + not_a_number},
      {{"--seed=-1"}, "textquirl-cli: Startwert für --seed zu klein: „-1“ "
                      "(erlaubt sind ganze Zahlen von 0 bis 4294967295).\n"},
      {{"--seed", "-12"}, "textquirl-cli: Startwert für --seed zu klein: „-12“ "
                          "(erlaubt sind ganze Zahlen von 0 bis 4294967295).\n"},
      {{"--seed", "-x"}, "textquirl-cli: Ungültiger Startwert für --seed: „-x“" + not_a_number},
      {{"--seed", "+1"}, "textquirl-cli: Ungültiger Startwert für --seed: „+1“" + not_a_number},
      {{"--seed", "4294967296"},
       "textquirl-cli: Startwert für --seed zu groß: „4294967296“ (höchstens 4294967295).\n"},
      {{"--seed=184467440737095516160"},
       "textquirl-cli: Startwert für --seed zu groß: „184467440737095516160“ (höchstens 4294967295).\n"},
      {{"-o"}, "textquirl-cli: Bei -o fehlt der Dateiname.\n"},
      {{"--output="}, "textquirl-cli: Bei --output fehlt der Dateiname.\n"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    FakeIo io;
    io.standard_input = kProse;
    EXPECT_EQ(run(io, args), 1);
    EXPECT_EQ(io.err, message);
    EXPECT_EQ(io.out, "");
  }
}

TEST(RunFilter, SeedChoosesTheShuffle) {
  const std::string standard = scrambled(kProse);
  EXPECT_NE(standard, kProse);
  EXPECT_EQ(scrambled(kProse, {"--seed", "5489"}), standard);
  EXPECT_EQ(scrambled(kProse, {"--seed=0005489"}), standard);
  EXPECT_EQ(scrambled(kProse, {"--seed", "-0"}), scrambled(kProse, {"--seed", "0"}));
  // the last --seed counts
  EXPECT_EQ(scrambled(kProse, {"--seed=1", "--seed", "5489"}), standard);
  const std::string one = scrambled(kProse, {"--seed", "1"});
  const std::string two = scrambled(kProse, {"--seed", "2"});
  EXPECT_NE(one, standard);
  EXPECT_NE(one, two);
  EXPECT_NE(scrambled(kProse, {"--seed", "4294967295"}), standard);
}

TEST(RunFilter, PassesTheWholeTextToTheEngineOnce) {
  // LF and CR LF reach the engine as CR LF, a lone CR as itself; a leading
  // byte-order mark does not reach it; NUL passes through; breaks go out as LF.
  const std::string input = "\xEF\xBB\xBF" "Hallo Welt\r\nzweite Zeile\nmit\rWagenrücklauf\0Nullzeichen\n"s;
  DefaultRandom random;
  const std::string expected = utf16_to_utf8(crlf_to_lf(
      scramble(u"Hallo Welt\r\nzweite Zeile\r\nmit\rWagenrücklauf\0Nullzeichen\r\n"s, random)));
  const std::string out = scrambled(input);
  EXPECT_EQ(out, expected);
  EXPECT_TRUE(out.starts_with("H")) << out;
  EXPECT_EQ(out.find("\r\n"), std::string::npos);
  EXPECT_NE(out.find('\0'), std::string::npos);

  // empty input, empty output
  EXPECT_EQ(scrambled(""), scrambled("\xEF\xBB\xBF"));
}

TEST(RunFilter, ConcatenatesInputsInOrder) {
  FakeIo io;
  // a CR at the end of one input and a LF at the start of the next form a break
  io.files = {{"a.txt", "erster Absatz mit Wörtern\r"}, {"b.txt", "\ndritter Absatz"}, {"-x", "Dateiname"}};
  io.standard_input = "zweiter Teil kommt von der Standardeingabe ";
  EXPECT_EQ(run(io, {"a.txt", "b.txt", "-", "--", "-x", "-"}), 0) << io.err;
  EXPECT_EQ(io.out, scrambled("erster Absatz mit Wörtern\r\ndritter Absatz"
                              "zweiter Teil kommt von der Standardeingabe Dateiname"));

  // each input may start with its own byte-order mark
  FakeIo marked;
  marked.files = {{"a.txt", "\xEF\xBB\xBF" "Anfang "}, {"b.txt", "\xEF\xBB\xBF" "Fortsetzung"}};
  EXPECT_EQ(run(marked, {"a.txt", "b.txt"}), 0) << marked.err;
  EXPECT_EQ(marked.out, scrambled("Anfang Fortsetzung"));
}

// Small pieces cut the text inside words, between CR and LF, inside
// characters and at the edges of inputs; the result stays that of the whole
// text through the whole-text conversions and one scramble call.
TEST(RunFilter, AnyPieceSizeGivesTheWholeTextsResult) {
  const std::vector<std::string> pieces = {
      "Wort", "Buchstaben", "a", "e", " ", "  ", "\n", "\r\n", "\r", ".", ",", "(", "[", "\"", "-", "\\n",
      "\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "e\xCC\x81", "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA",
      "\xEF\xBB\xBF", "\0"s, "\xE2\x80\x9E", "\xE2\x80\x93", "7:30", "\xC2\xA0", "info@example.org"};
  std::mt19937 gen(11);
  for (int round = 0; round < 300; ++round) {
    FakeIo io;
    std::vector<std::string_view> args;
    ScrambleOptions options;  // every other round careful, which counts its draws its own way
    if (round % 2) {
      options.mode = Mode::careful;
      args = {"--mode", "careful"};
    }
    std::string whole;
    const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"};
    for (std::size_t f = 0, files = 1 + gen() % 3; f < files; ++f) {
      std::string text;
      for (std::size_t i = gen() % 60; i > 0; --i) text += pieces[gen() % pieces.size()];
      io.files[names[f]] = text;
      args.push_back(names[f]);
      whole += std::string_view(text).substr(text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    }
    DefaultRandom random;
    const std::string expected =
        utf16_to_utf8(crlf_to_lf(scramble(to_crlf(utf8_to_utf16(whole)), random, options)));
    const std::size_t piece_bytes = 4 + gen() % 16;
    const unsigned workers = 1 + round % 3;  // three: lines skipped two at a time
    SCOPED_TRACE("round " + std::to_string(round) + ", pieces of " + std::to_string(piece_bytes) + ", " +
                 std::to_string(workers) + " threads");
    ASSERT_EQ(detail::run_filter(args, io, piece_bytes, workers), 0) << io.err;
    ASSERT_EQ(io.out, expected);
  }

  // A text of more than a megabyte: the normal pieces, on two threads.
  std::string big = "x";  // a byte-order mark further on is an ordinary character
  while (big.size() < (std::size_t{3} << 19)) big += pieces[gen() % pieces.size()];
  DefaultRandom random, careful_random;
  EXPECT_EQ(scrambled(big), utf16_to_utf8(crlf_to_lf(scramble(to_crlf(utf8_to_utf16(big)), random))));
  ScrambleOptions careful;
  careful.mode = Mode::careful;
  EXPECT_EQ(scrambled(big, {"--mode", "careful"}),
            utf16_to_utf8(crlf_to_lf(scramble(to_crlf(utf8_to_utf16(big)), careful_random, careful))));
}

TEST(RunFilter, FindsTheFirstBadByteOfALongInput) {
  // Over a megabyte, so that the halves are checked side by side; bad bytes
  // on both sides of the middle and right at it.
  std::string text;
  while (text.size() < (std::size_t{3} << 19)) text += "Wörter ä\n";
  for (const std::string bad : {"\xE2\x82", "\x80", "\xC3", "\xF0\x9F\x98"}) {
    for (const std::size_t near : {std::size_t{0}, text.size() / 2, text.size() - 1}) {
      for (std::size_t at = near - std::min<std::size_t>(near, 5); at < near + 6 && at <= text.size(); ++at) {
        std::string input = text;
        input.insert(at, bad);
        std::string expected;
        try {
          check_utf8(input);
        } catch (const InvalidUtf8& error) {
          char byte[8];
          std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(input[error.offset()]));
          expected = "textquirl-cli: Ungültiges UTF-8 in der Standardeingabe bei Byte " + std::to_string(error.offset()) +
                     " (" + byte + "): " + error.what() + ". Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n";
        }
        FakeIo io;
        io.standard_input = input;
        ASSERT_EQ(run(io, {}), 1);
        ASSERT_EQ(io.err, expected) << "bad bytes at " << at;
        ASSERT_EQ(io.out, "");
      }
    }
  }
}

TEST(RunFilter, ReportsBadInputAndWritesNothing) {
  struct Case {
    std::vector<std::string_view> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      // invalid UTF-8: which input, byte offset within it, what is wrong
      {{}, "textquirl-cli: Ungültiges UTF-8 in der Standardeingabe bei Byte 5 (0xC3): "
           "Bytefolge am Ende der Eingabe abgebrochen. Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n"},
      {{"gut.txt", "kaputt.txt"}, "textquirl-cli: Ungültiges UTF-8 in „kaputt.txt“ bei Byte 7 (0x80): "
                                  "Folgebyte ohne vorangehendes Startbyte. Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n"},
      {{"mit-bom.txt"}, "textquirl-cli: Ungültiges UTF-8 in „mit-bom.txt“ bei Byte 4 (0xC0): "
                        "überlange Kodierung. Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n"},
      // each file is decoded on its own: a character split across two is an error
      {{"halb-a.txt", "halb-b.txt"}, "textquirl-cli: Ungültiges UTF-8 in „halb-a.txt“ bei Byte 2 (0xC3): "
                                     "Bytefolge am Ende der Eingabe abgebrochen. Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n"},
      // files that cannot be read; later inputs are not needed to fail
      {{"gut.txt", "fehlt.txt", "kaputt.txt"},
       "textquirl-cli: Kann „fehlt.txt“ nicht lesen: Datei oder Verzeichnis nicht gefunden.\n"},
      {{"gut.txt", "riesig.txt"}, "textquirl-cli: Nicht genug Arbeitsspeicher, um „riesig.txt“ zu lesen.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    FakeIo io;
    io.standard_input = "Hallo\xC3";
    io.out_of_memory_on = "riesig.txt";
    io.files = {{"gut.txt", "Dieser Teil ist in Ordnung\n"},
                {"kaputt.txt", "Größe\x80"},
                {"mit-bom.txt", "\xEF\xBB\xBF" "a\xC0\xAF"},
                {"halb-a.txt", "gr\xC3"},
                {"halb-b.txt", "\xB6\xC3\x9F" "e"}};
    EXPECT_EQ(run(io, c.args), 1);
    EXPECT_EQ(io.err, c.message);
    EXPECT_EQ(io.out, "");
  }

  FakeIo unreadable;
  unreadable.stdin_error = "Ein-/Ausgabefehler";
  EXPECT_EQ(run(unreadable, {}), 1);
  EXPECT_EQ(unreadable.err, "textquirl-cli: Kann die Standardeingabe nicht lesen: Ein-/Ausgabefehler.\n");

  FakeIo no_memory;
  no_memory.out_of_memory_on = "-";
  EXPECT_EQ(run(no_memory, {}), 1);
  EXPECT_EQ(no_memory.err, "textquirl-cli: Nicht genug Arbeitsspeicher, um die Standardeingabe zu lesen.\n");
}

TEST(RunFilter, ReportsWriteErrors) {
  for (const std::vector<std::string_view>& args : {std::vector<std::string_view>{},
                                                    {"--help"}, {"--version"}}) {
    FakeIo io;
    io.standard_input = kProse;
    io.write_error = "Kein Speicherplatz mehr auf dem Gerät";
    EXPECT_EQ(run(io, args), 1);
    EXPECT_EQ(io.err,
              "textquirl-cli: Fehler beim Schreiben auf die Standardausgabe: "
              "Kein Speicherplatz mehr auf dem Gerät.\n");
  }

  // Failing halfway through a long text on two threads: the lines before
  // stay written, the rest is dropped, the message comes once.
  std::string lines;
  for (int i = 0; i < 40; ++i) lines += kProse;
  for (const std::size_t writes : {1, 2, 5}) {
    FakeIo io, whole;
    io.standard_input = whole.standard_input = lines;
    io.write_error = "Kein Speicherplatz mehr auf dem Gerät";
    io.writes_before_error = writes;
    EXPECT_EQ(detail::run_filter({}, io, 64, 2), 1);
    EXPECT_EQ(io.err, "textquirl-cli: Fehler beim Schreiben auf die Standardausgabe: Kein Speicherplatz mehr auf dem Gerät.\n");
    EXPECT_EQ(detail::run_filter({}, whole, 64, 2), 0);
    EXPECT_TRUE(whole.out.starts_with(io.out) && io.out.size() < whole.out.size()) << writes;
  }
}

// --output: the result replaces the file only when the whole run succeeded
// (the file may be an input); on any error the file stays as it was and
// the temporary output is discarded.
TEST(RunFilter, OutputFileIsReplacedOnlyBySuccess) {
  FakeIo io;
  io.files["a.txt"] = kProse;
  EXPECT_EQ(run(io, {"a.txt", "--output", "a.txt"}), 0) << io.err;
  EXPECT_EQ(io.files["a.txt"], scrambled(kProse));
  EXPECT_EQ(io.out, "");
  FakeIo last_wins;
  last_wins.standard_input = kProse;
  EXPECT_EQ(run(last_wins, {"-o", "x.txt", "--output=b.txt"}), 0);
  EXPECT_EQ(last_wins.files, (std::map<std::string, std::string>{{"b.txt", scrambled(kProse)}}));

  const std::string kFull = "Kein Speicherplatz mehr auf dem Gerät";
  struct Case {
    const char* what;
    void (*arrange)(FakeIo&);
    std::string message;
  };
  const Case cases[] = {
      {"bad input", [](FakeIo& io) { io.files["b.txt"] = "gut\xFF"; },
       "Ungültiges UTF-8 in „b.txt“ bei Byte 3 (0xFF): dieses Byte kommt in UTF-8 nicht vor."
       " Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um."},
      {"cannot open", [](FakeIo& io) { io.open_output_error = "Keine Berechtigung"; },
       "Kann „a.txt“ nicht schreiben: Keine Berechtigung."},
      {"write fails", [](FakeIo& io) { io.write_error = "Kein Speicherplatz mehr auf dem Gerät"; },
       "Fehler beim Schreiben in „a.txt“: " + kFull + "."},
      {"commit fails", [](FakeIo& io) { io.commit_error = "Kein Speicherplatz mehr auf dem Gerät"; },
       "Fehler beim Schreiben in „a.txt“: " + kFull + "."},
      {"out of memory", [](FakeIo& io) { io.out_of_memory_on = "b.txt"; },
       "Nicht genug Arbeitsspeicher, um „b.txt“ zu lesen."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeIo failing;
    failing.files = {{"a.txt", kProse}, {"b.txt", "noch mehr Text"}};
    c.arrange(failing);
    const auto before = failing.files;
    EXPECT_EQ(run(failing, {"a.txt", "b.txt", "-o", "a.txt"}), 1);
    EXPECT_EQ(failing.err, "textquirl-cli: " + c.message + "\n");
    EXPECT_EQ(failing.files, before);
    EXPECT_EQ(failing.output_file(), "");  // discarded
    EXPECT_EQ(failing.out, "");
  }
}

}  // namespace
}  // namespace textquirl::cli
