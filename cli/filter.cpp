#include "cli/filter.hpp"

#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <utility>

#include "cli/line_breaks.hpp"
#include "cli/options.hpp"
#include "cli/utf8.hpp"
#include "engine/random_source.hpp"
#include "engine/scramble.hpp"

#ifndef TEXTQUIRL_VERSION
#error "TEXTQUIRL_VERSION must be defined by the build"
#endif

namespace textquirl::cli {
namespace {

constexpr std::string_view kPrefix = "textquirl-cli: ";

constexpr std::string_view kHelp =
    "Aufruf: textquirl-cli [OPTION]... [DATEI]...\n"
    "Verwurschtelt Text: In jedem Wort mit mehr als drei Zeichen bleiben der erste\n"
    "und der letzte Buchstabe stehen, die Buchstaben dazwischen werden gemischt.\n"
    "\n"
    "Liest UTF-8-Text aus den DATEIen nacheinander, oder von der Standardeingabe,\n"
    "wenn keine DATEI angegeben ist oder eine DATEI „-“ lautet. Jede DATEI wird für\n"
    "sich dekodiert: Ein Zeichen darf nicht auf zwei DATEIen verteilt sein, und ein\n"
    "Byte-Order-Mark am Anfang jeder DATEI wird weggelassen. Die Texte werden dann\n"
    "aneinandergehängt und als ein Text verwurschtelt.\n"
    "Schreibt das Ergebnis als UTF-8 auf die Standardausgabe, Zeilenumbrüche als LF.\n"
    "\n"
    "Optionen:\n"
    "  --seed N       den Zufallsgenerator mit N (0 bis 4294967295) starten statt\n"
    "                 mit dem festen Startwert 5489\n"
    "  -h, --help     diese Hilfe anzeigen und beenden\n"
    "  -V, --version  die Versionsnummer anzeigen und beenden\n"
    "  --             Ende der Optionen: alles Weitere sind Dateinamen\n"
    "\n"
    "Exit-Status: 0 bei Erfolg, 1 bei einem Fehler (Meldung auf der Standardfehlerausgabe).\n"
    "Liest niemand mehr die Ausgabe, endet das Programm still durch SIGPIPE, wie cat.\n";

// Thrown inside run_filter to end it with a message; what() is the message.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The input as the object of a sentence ("die Standardeingabe") or after "in".
std::string input_object(const std::string& name) {
  return name == "-" ? "die Standardeingabe" : quoted(name);
}
std::string in_input(const std::string& name) {
  return name == "-" ? "in der Standardeingabe" : "in " + quoted(name);
}

std::string hex_byte(unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {'0', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
}

std::u16string read_and_decode(const std::string& name, Io& io) {
  std::string bytes;
  try {
    const IoStatus status = name == "-" ? io.read_stdin(bytes) : io.read_file(name, bytes);
    if (!status.ok()) {
      throw Failure("Kann " + input_object(name) + " nicht lesen: " + status.error + ".");
    }
  } catch (const std::bad_alloc&) {
    throw Failure("Nicht genug Arbeitsspeicher, um " + input_object(name) + " zu lesen.");
  }
  // A byte-order mark is no part of the text; offsets still count it.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const std::size_t skip = std::string_view(bytes).starts_with(kBom) ? kBom.size() : 0;
  try {
    return utf8_to_utf16(std::string_view(bytes).substr(skip));
  } catch (const InvalidUtf8& error) {
    const std::size_t offset = skip + error.offset();
    throw Failure("Ungültiges UTF-8 " + in_input(name) + " bei Byte " +
                  std::to_string(offset) + " (" +
                  hex_byte(static_cast<unsigned char>(bytes[offset])) + "): " + error.what() + ".");
  }
}

void write_or_fail(Io& io, std::string_view data) {
  const IoStatus status = io.write_stdout(data);
  if (!status.ok()) {
    throw Failure("Fehler beim Schreiben auf die Standardausgabe: " + status.error + ".");
  }
}

int run(std::span<const std::string_view> args, Io& io) {
  Options options;
  try {
    options = parse_options(args);
  } catch (const UsageError& error) {
    throw Failure(error.what());
  }
  if (options.help) {
    write_or_fail(io, kHelp);
    return 0;
  }
  if (options.version) {
    write_or_fail(io, "textquirl-cli " TEXTQUIRL_VERSION "\n");
    return 0;
  }
  if (options.inputs.empty()) options.inputs.emplace_back("-");

  std::u16string text;
  for (const std::string& name : options.inputs) {
    std::u16string decoded = read_and_decode(name, io);
    if (text.empty()) {
      text = std::move(decoded);
    } else {
      text += decoded;
    }
  }
  text = to_crlf(text);
  DefaultRandom random(options.seed);
  std::u16string scrambled = scramble(text, random);
  text = std::u16string();  // release before the next copies
  scrambled = crlf_to_lf(std::move(scrambled));
  std::string output;
  try {
    output = utf16_to_utf8(scrambled);
  } catch (const InvalidUtf16& error) {
    throw Failure("Interner Fehler: Das Ergebnis enthält an Position " +
                  std::to_string(error.offset()) +
                  " eine ungepaarte UTF-16-Surrogathälfte; es wurde nichts ausgegeben.");
  }
  scrambled = std::u16string();
  write_or_fail(io, output);
  return 0;
}

void report(Io& io, std::string_view message) {
  try {
    std::string line;
    line.reserve(kPrefix.size() + message.size() + 1);
    line.append(kPrefix).append(message).push_back('\n');
    io.write_stderr(line);
  } catch (const std::bad_alloc&) {  // no room even for the line: send it in pieces
    io.write_stderr(kPrefix);
    io.write_stderr(message);
    io.write_stderr("\n");
  }
}

}  // namespace

int run_filter(std::span<const std::string_view> args, Io& io) {
  try {
    return run(args, io);
  } catch (const Failure& failure) {
    report(io, failure.what());
  } catch (const std::bad_alloc&) {
    report(io, "Nicht genug Arbeitsspeicher, um die Eingabe zu verwurschteln.");
  } catch (const std::length_error&) {
    report(io, "Nicht genug Arbeitsspeicher, um die Eingabe zu verwurschteln.");
  } catch (const std::exception& error) {
    report(io, std::string("Interner Fehler: ") + error.what());
  }
  return 1;
}

}  // namespace textquirl::cli
