#include "cli/filter.hpp"

#include <unicode/utf16.h>

#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "cli/helper_thread.hpp"
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

// The text of input `name`, read (or mapped) and checked: on return it is
// valid UTF-8, its byte-order mark skipped.
struct CheckedInput {
  InputBytes bytes;
  std::size_t skip = 0;  // the byte-order mark's length, if any
  std::string_view text() const { return bytes.bytes().substr(skip); }
};

CheckedInput read_and_check(const std::string& name, Io& io) {
  CheckedInput input;
  try {
    const IoStatus status = name == "-" ? io.map_stdin(input.bytes) : io.map_file(name, input.bytes);
    if (!status.ok()) {
      throw Failure("Kann " + input_object(name) + " nicht lesen: " + status.error + ".");
    }
  } catch (const std::bad_alloc&) {
    throw Failure("Nicht genug Arbeitsspeicher, um " + input_object(name) + " zu lesen.");
  }
  const std::string_view bytes = input.bytes.bytes();
  // A byte-order mark is no part of the text; offsets still count it.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const std::size_t skip = bytes.starts_with(kBom) ? kBom.size() : 0;
  input.skip = skip;
  try {
    check_utf8(input.text());
  } catch (const InvalidUtf8& error) {
    const std::size_t offset = skip + error.offset();
    throw Failure("Ungültiges UTF-8 " + in_input(name) + " bei Byte " +
                  std::to_string(offset) + " (" +
                  hex_byte(static_cast<unsigned char>(bytes[offset])) + "): " + error.what() + ".");
  }
  return input;
}

void write_or_fail(Io& io, std::string_view data) {
  const IoStatus status = io.write_stdout(data);
  if (!status.ok()) {
    throw Failure("Fehler beim Schreiben auf die Standardausgabe: " + status.error + ".");
  }
}

// Takes the text piece by piece through decoding (line breaks to CR LF),
// the scramble, encoding (CR LF back to LF) and writing. Two buffers per
// stage, each about a piece large: while this thread scrambles piece k,
// the helper decodes piece k + 1 and encodes and writes piece k - 1.
class Pipeline {
 public:
  Pipeline(Io& io, RandomSource& random) : io_(io), scrambler_(random) {}

  // Scrambles the text made of `pieces` (valid UTF-8, in order, none empty)
  // and writes the result.
  void run(const std::vector<std::string_view>& pieces, HelperThread& helper) {
    const std::size_t count = pieces.size();
    if (count > 0) decode(pieces, 0);
    for (std::size_t k = 0; k < count; ++k) {
      helper.start([this, &pieces, k, count] {
        if (k + 1 < count) decode(pieces, k + 1);
        if (k > 0) send((k - 1) % 2);
      });
      try {
        scramble(k % 2, false);
      } catch (...) {
        wait_quietly(helper);
        throw;
      }
      helper.wait();
    }
    if (count > 0) send((count - 1) % 2);
    scramble(count % 2, true);
    send(count % 2);
    if (!written_anything_) write_or_fail(io_, {});
  }

 private:
  static void wait_quietly(HelperThread& helper) {
    try {
      helper.wait();
    } catch (...) {  // the first error is the one to report
    }
  }

  void decode(const std::vector<std::string_view>& pieces, std::size_t k) {
    std::u16string& to = decoded_[k % 2];
    to.clear();
    append_utf16_crlf(pieces[k], k > 0 && pieces[k - 1].back() == '\r', to);
  }

  // Scrambles decoded_[b] (nothing if `last`: then ends the text) into
  // scrambled_[b], after the units the other buffer kept back: a last CR
  // (the next piece may bring its LF) or a last lead surrogate. (The
  // scrambler hands out whole tokens, so neither happens today.)
  void scramble(std::size_t b, bool last) {
    const std::u16string& before = scrambled_[1 - b];
    std::u16string& out = scrambled_[b];
    out.assign(before, ready_[1 - b]);
    if (last) {
      scrambler_.push_last({}, out);
      ready_[b] = out.size();
      return;
    }
    scrambler_.push(decoded_[b], out);
    std::size_t ready = out.size();
    if (ready > 0 && (out[ready - 1] == u'\r' || U16_IS_LEAD(out[ready - 1]))) --ready;
    ready_[b] = ready;
  }

  // Encodes and writes the ready part of scrambled_[b].
  void send(std::size_t b) {
    encoded_.clear();
    try {
      append_utf8_lf(std::u16string_view(scrambled_[b]).substr(0, ready_[b]), encoded_);
    } catch (const InvalidUtf16& error) {
      throw Failure("Interner Fehler: Das Ergebnis enthält an Position " +
                    std::to_string(sent_units_ + error.offset()) +
                    " eine ungepaarte UTF-16-Surrogathälfte; die Ausgabe bricht dort ab.");
    }
    sent_units_ += ready_[b];
    if (encoded_.empty()) return;
    write_or_fail(io_, encoded_);
    written_anything_ = true;
  }

  Io& io_;
  Scrambler scrambler_;
  std::u16string decoded_[2], scrambled_[2];
  std::size_t ready_[2] = {0, 0};  // units of scrambled_[b] to send; the rest is kept back
  std::string encoded_;
  std::size_t sent_units_ = 0;  // units of the result encoded so far
  bool written_anything_ = false;
};

// Inputs smaller than this are done on one thread: a second one would cost
// more than it saves.
constexpr std::size_t kThreadedAtLeast = std::size_t{1} << 20;

int run(std::span<const std::string_view> args, Io& io, std::size_t piece_bytes) {
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

  std::vector<CheckedInput> inputs;
  inputs.reserve(options.inputs.size());
  for (const std::string& name : options.inputs) inputs.push_back(read_and_check(name, io));

  // The pieces of the whole text, cut so that no character is split.
  std::vector<std::string_view> pieces;
  std::size_t total = 0;
  for (const CheckedInput& input : inputs) {
    const std::string_view text = input.text();
    for (std::size_t begin = 0; begin < text.size();) {
      const std::size_t end = utf8_piece_end(text, begin, piece_bytes);
      pieces.push_back(text.substr(begin, end - begin));
      begin = end;
    }
    total += text.size();
  }
  DefaultRandom random(options.seed);
  Pipeline pipeline(io, random);
  HelperThread helper(total >= kThreadedAtLeast);
  pipeline.run(pieces, helper);
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
  return detail::run_filter(args, io, kPieceBytes);
}

int detail::run_filter(std::span<const std::string_view> args, Io& io, std::size_t piece_bytes) {
  try {
    return run(args, io, piece_bytes);
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
