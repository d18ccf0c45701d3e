#include "cli/filter.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "cli/options.hpp"
#include "cli/utf8.hpp"
#include "engine/error.hpp"
#include "engine/options.hpp"
#include "engine/random_source.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "engine/utf8_scramble.hpp"
#include "textquirl/product_config.hpp"

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
    "Schreibt das Ergebnis als UTF-8 auf die Standardausgabe (oder mit -o in eine\n"
    "DATEI), Zeilenumbrüche als LF.\n"
    "\n"
    "Optionen:\n"
    "  -o, --output DATEI  das Ergebnis in DATEI schreiben statt auf die\n"
    "                     Standardausgabe: erst in eine neue Datei daneben, die\n"
    "                     DATEI erst ersetzt, wenn alles gelungen ist (bei einem\n"
    "                     Fehler bleibt DATEI unverändert). DATEI darf eine der\n"
    "                     Eingaben sein; die Zugriffsrechte einer bestehenden DATEI\n"
    "                     bleiben, eine symbolische Verknüpfung auch (ersetzt wird\n"
    "                     die Datei, auf die sie zeigt)\n"
    "  --seed N           den Zufallsgenerator mit N (0 bis 4294967295) starten\n"
    "                     statt mit dem festen Startwert 5489\n"
    "  --min-length N     nur Wörter mit mindestens N Zeichen verwurschteln\n"
    "                     (N ab 4; ohne die Option 4)\n"
    "  --rate R           nur diesen Anteil der Wörter verwurschteln, R von 0 bis 1,\n"
    "                     mit Punkt oder Komma (etwa 0,5); ohne die Option 1\n"
    "  --always-change    ein Wort, das das Mischen unverändert ließ, doch ändern:\n"
    "                     die inneren Zeichen rücken um eine Stelle nach vorn\n"
    "  --keep WORT[,WORT]...  diese Wörter unverändert lassen (ganze Wörter,\n"
    "                     Groß- und Kleinschreibung zählt)\n"
    "  --keep-file DATEI  die Wörter aus DATEI unverändert lassen, eins je Zeile\n"
    "  --per-line         jede Zeile für sich verwurschteln; ihr Zufallsgenerator\n"
    "                     hängt nur von Startwert und Zeilennummer ab: dasselbe\n"
    "                     Ergebnis, wie auch immer der Text geteilt wird\n"
    "  --first-line K     mit --per-line: die erste Zeile hat die Nummer K (ab 1;\n"
    "                     ohne die Option 1)\n"
    "  --mode MODUS       classic (ohne die Option): jedes Wort zwischen Leerzeichen\n"
    "                     und Satzzeichen; careful: nur Buchstaben im Inneren der\n"
    "                     Wörter, alles andere (Satzzeichen, Ziffern, Abstände,\n"
    "                     Zeilen, Web- und Mailadressen) bleibt, wo es ist\n"
    "  -h, --help         diese Hilfe anzeigen und beenden\n"
    "  -V, --version      Version, Copyright und Lizenz anzeigen und beenden\n"
    "  --                 Ende der Optionen: alles Weitere sind Dateinamen\n"
    "\n"
    "Beispiele:\n"
    "  textquirl-cli --seed 7 brief.txt > verwurschtelt.txt\n"
    "  textquirl-cli --rate 0,5 --min-length 6 --keep Textquirl,Berlin brief.txt\n"
    "  textquirl-cli --per-line --first-line 1001 teil2.txt   (Zeilen ab 1001)\n"
    "  iconv -f latin1 -t utf-8 alt.txt | textquirl-cli       (Text in Latin-1)\n"
    "\n"
    "Exit-Status: 0 bei Erfolg, 1 bei einem Fehler (Meldung auf der Standardfehlerausgabe).\n"
    "Liest niemand mehr die Ausgabe, endet das Programm still durch SIGPIPE, wie cat.\n";

// Follows the message about invalid UTF-8 in an input, which is most often a
// text in Latin-1 or Windows-1252.
constexpr std::string_view kLatin1Hint =
    " Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.";

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

// Inputs smaller than this are done on one thread: a second one would cost
// more than it saves.
constexpr std::size_t kThreadedAtLeast = std::size_t{1} << 20;

// check_utf8 for a text of any size; a long one is checked in two halves
// side by side. The first half takes in the byte that starts the second
// one, so that a sequence the cut cuts short is reported as in the whole.
void check_utf8_in_halves(std::string_view text) {
  std::size_t cut = text.size() / 2;
  for (int i = 0; i < 4 && cut < text.size() && is_continuation(static_cast<unsigned char>(text[cut])); ++i) ++cut;
  if (text.size() < kThreadedAtLeast || is_continuation(static_cast<unsigned char>(text[cut]))) {
    check_utf8(text);
    return;
  }
  std::exception_ptr second_error;
  std::thread second;
  try {
    second = std::thread([&] {
      try {
        check_utf8(text.substr(cut));
      } catch (...) {
        second_error = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    check_utf8(text);
    return;
  }
  std::optional<InvalidUtf8> first_error;
  try {
    check_utf8(text.substr(0, cut + 1));
  } catch (const InvalidUtf8& error) {
    if (error.offset() < cut) first_error = error;
  }
  second.join();
  if (first_error) throw *first_error;
  if (second_error) {
    try {
      std::rethrow_exception(second_error);
    } catch (const InvalidUtf8& error) {
      throw InvalidUtf8(cut + error.offset(), error.what());
    }
  }
}

// Input `name` read (or mapped), its byte-order mark skipped; not yet checked.
CheckedInput read_input(const std::string& name, Io& io) {
  CheckedInput input;
  try {
    const IoStatus status = name == "-" ? io.map_stdin(input.bytes) : io.map_file(name, input.bytes);
    if (!status.ok()) {
      throw Failure("Kann " + input_object(name) + " nicht lesen: " + status.error + ".");
    }
  } catch (const std::bad_alloc&) {
    throw Failure("Nicht genug Arbeitsspeicher, um " + input_object(name) + " zu lesen.");
  }
  // A byte-order mark is no part of the text; offsets still count it.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  input.skip = input.bytes.bytes().starts_with(kBom) ? kBom.size() : 0;
  return input;
}

// Checks that input `name` is UTF-8 as a whole; else fails with the first
// fault and where it is.
void check_input(const std::string& name, const CheckedInput& input) {
  try {
    check_utf8_in_halves(input.text());
  } catch (const InvalidUtf8& error) {
    const std::size_t offset = input.skip + error.offset();
    throw Failure("Ungültiges UTF-8 " + in_input(name) + " bei Byte " + std::to_string(offset) + " (" +
                  hex_byte(static_cast<unsigned char>(input.bytes.bytes()[offset])) + "): " + error.what() + "." +
                  std::string(kLatin1Hint));
  }
}

CheckedInput read_and_check(const std::string& name, Io& io) {
  CheckedInput input = read_input(name, io);
  check_input(name, input);
  return input;
}

// "auf die Standardausgabe" or "in „FILE“", for the messages of writing.
std::string output_place(const Io& io) {
  return io.output_file().empty() ? "auf die Standardausgabe" : "in " + quoted(io.output_file());
}

void write_or_fail(Io& io, std::string_view data) {
  const IoStatus status = io.write_stdout(data);
  if (!status.ok()) {
    throw Failure("Fehler beim Schreiben " + output_place(io) + ": " + status.error + ".");
  }
}

// The output file of --output while the run lasts: opened in the
// constructor, discarded by the destructor unless committed.
class OutputFile {
 public:
  OutputFile(Io& io, const std::string& path) : io_(io) {
    if (path.empty()) return;
    const IoStatus status = io.open_output_file(path);
    if (!status.ok()) throw Failure("Kann " + quoted(path) + " nicht schreiben: " + status.error + ".");
    open_ = true;
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    if (open_) io_.discard_output_file();
  }

  // Puts the result in its place; a run without --output has nothing to do.
  void commit() {
    if (!open_) return;
    const IoStatus status = io_.commit_output_file();
    if (!status.ok()) throw Failure("Fehler beim Schreiben " + output_place(io_) + ": " + status.error + ".");
    open_ = false;
  }

 private:
  Io& io_;
  bool open_ = false;
};

// The text in pieces of at most a given size, none splitting a character,
// grouped into lines of work: runs of pieces that end right after an LF (or
// at the end of the text). A piece ends at the last LF that fits, so that
// most lines of work are one piece.
struct Cutting {
  std::vector<std::string_view> pieces;
  std::vector<std::size_t> line_ends;  // line k is pieces [line_ends[k - 1], line_ends[k])
};

Cutting cut(const std::vector<CheckedInput>& inputs, std::size_t piece_bytes) {
  Cutting cutting;
  for (const CheckedInput& input : inputs) {
    const std::string_view text = input.text();
    for (std::size_t begin = 0; begin < text.size();) {
      std::size_t end = utf8_piece_end(text, begin, piece_bytes);
      if (end < text.size()) {
        const std::size_t lf = text.substr(begin, end - begin).rfind('\n');
        if (lf != std::string_view::npos) end = begin + lf + 1;
      }
      cutting.pieces.push_back(text.substr(begin, end - begin));
      if (text[end - 1] == '\n') cutting.line_ends.push_back(cutting.pieces.size());
      begin = end;
    }
  }
  if (cutting.line_ends.empty() || cutting.line_ends.back() != cutting.pieces.size()) {
    cutting.line_ends.push_back(cutting.pieces.size());
  }
  return cutting;
}

// Memory for a piece's conversion, reused piece after piece: it grows to
// the largest request and is never cleared, so that a piece costs no more
// than the writing of its units.
//   Scratch<char> s; char* p = s.room(8);  // 8 bytes at p, their values unset
template <class T>
class Scratch {
 public:
  Scratch() = default;
  Scratch(Scratch&& other) noexcept : data_(std::move(other.data_)), size_(std::exchange(other.size_, 0)) {}
  Scratch& operator=(Scratch&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }

  T* room(std::size_t size) {
    if (size > size_) {
      data_.reset();  // the old block goes before the new one comes
      data_.reset(new T[size]);
      size_ = size;
    }
    return data_.get();
  }

 private:
  std::unique_ptr<T[]> data_;
  std::size_t size_ = 0;
};

// How the text is scrambled: as one text, or (per_line) each line a record
// with a generator of its own, keyed by its number.
struct Settings {
  std::uint32_t seed = DefaultRandom::kDefaultSeed;
  ScrambleOptions options;
  bool per_line = false;
  std::uint64_t first_line = 1;
};

// Scrambles and writes the text's lines of work, spread over `workers`
// threads: each takes the next line not yet taken. A text cut after a line
// break scrambles as its parts do apart, so each worker has a generator of
// its own and skips the draws of the lines others did; a line of one piece
// knows its draws before it draws (from its layout on the UTF-8 road, from
// a count on the UTF-16 road), so that the workers after it can go on at
// once, a longer one after. Per line, the records need no draws of others,
// only their numbers: a worker counts the line breaks of its line of work
// instead. The lines are written in turn, a line of the UTF-8 road done
// early by the worker whose turn comes before it; the first error stops all.
class Pipeline {
 public:
  // `prepared` holds 0 for the lines of work the UTF-8 road does not take;
  // for the others, per line, their line breaks + 1, else 1: their draws
  // come from their layout (Utf8Scrambler::lay_out), before any wait.
  Pipeline(Io& io, const Settings& settings, const Cutting& cutting, std::vector<std::uint64_t> prepared)
      : io_(io), settings_(settings), cutting_(cutting), utf8_lines_(prepared),
        draws_(settings.per_line ? std::move(prepared) : std::vector<std::uint64_t>(prepared.size(), 0)) {}

  void run(unsigned workers) {
    std::vector<std::thread> threads;
    try {
      for (unsigned w = 1; w < workers; ++w) threads.emplace_back(&Pipeline::work, this);
    } catch (const std::system_error&) {  // no (second) thread to be had
      if (threads.empty()) workers = 1;
      else fail(std::current_exception());
    }
    work();
    for (std::thread& thread : threads) thread.join();
    if (error_) std::rethrow_exception(error_);
    if (!written_anything_) write_or_fail(io_, {});
  }

 private:
  // Thrown in a worker that stops because another one failed.
  struct Stopped {};

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // One worker's buffers and state.
  struct Stage {
    explicit Stage(const Settings& settings)
        : random(settings.seed),
          record_random(settings.seed, RecordKey::number(settings.first_line)),
          scrambler(settings.per_line ? static_cast<RandomSource&>(record_random) : random, settings.options),
          utf8(settings.options), record(settings.first_line) {}
    DefaultRandom random;
    RecordRandom record_random;  // per line: the generator of the current record
    Scrambler scrambler;
    Utf8Scrambler utf8;          // for lines of work of one piece without CR
    std::uint64_t record;        // per line: the current record's number
    bool record_open = false;    // per line: some of the current record went to the scrambler
    Scratch<char16_t> decode_room;
    Scratch<char> encode_room;
    std::u16string_view decoded;  // in decode_room
    std::u16string scrambled;
    std::string_view encoded;     // in encode_room
    std::size_t bad_unit = kNone;  // where `encoded` stopped at an unpaired surrogate
    std::uint64_t laid_out = 0;    // the draws of the line of work laid out in `utf8`
  };

  // Takes the next line of work, again and again: a worker on a busier
  // processor takes fewer.
  void work() {
    try {
      Stage stage(settings_);
      std::size_t next = 0;  // the first line whose draws (per line: records) the stage has not passed
      for (;;) {
        const std::size_t line = next_line_.fetch_add(1);
        if (line >= draws_.size()) break;
        if (utf8_lines_[line] != 0 && !settings_.per_line) lay_out(line, stage);
        // Up to the draws (per line: the records) of the lines before this
        // one that others do.
        for (; next < line; ++next) {
          if (settings_.per_line) {
            stage.record += wait_for_draws(next);
          } else {
            stage.random.discard(wait_for_draws(next));
          }
        }
        if (settings_.per_line) start_record(stage);
        do_line(line, stage);
        next = line + 1;
      }
    } catch (const Stopped&) {
    } catch (...) {
      fail(std::current_exception());
    }
  }

  void do_line(std::size_t line, Stage& stage) {
    const std::size_t begin = line == 0 ? 0 : cutting_.line_ends[line - 1], end = cutting_.line_ends[line];
    if (utf8_lines_[line] != 0) {
      scramble_utf8_line(line, cutting_.pieces[begin], stage);
      return;  // its turn ends as it is written
    }
    if (end - begin == 1 && settings_.per_line) {  // the records of one piece
      decode(begin, false, stage);
      const std::string_view piece = cutting_.pieces[begin];
      publish_draws(line, static_cast<std::uint64_t>(std::count(piece.begin(), piece.end(), '\n')));
      stage.scrambled.clear();
      scramble_records(stage.decoded, true, stage);
      encode(stage, stage.scrambled.size());
      wait_for_turn(line);
      write(stage);
    } else if (end - begin == 1) {  // the common case: decode and count, then the rest
      decode(begin, false, stage);
      const std::size_t draws = count_draws(stage.decoded, settings_.options);
      publish_draws(line, draws);
      const std::uint64_t before = stage.random.drawn();
      stage.scrambled.clear();
      stage.scrambler.push_last(stage.decoded, stage.scrambled);
      if (stage.random.drawn() - before != draws) throw std::logic_error("Zahl der Zufallswerte einer Zeile falsch gezählt");
      encode(stage, stage.scrambled.size());
      wait_for_turn(line);
      write(stage);
    } else {  // a line of several pieces: one after the other, in turn
      wait_for_turn(line);
      const std::uint64_t before = settings_.per_line ? stage.record : stage.random.drawn();
      std::size_t kept = 0;  // units at the end of `scrambled` that the next piece may complete
      bool held_cr = false;  // per line: a CR that ended the last piece, not yet given to a record
      for (std::size_t k = begin; k < end; ++k) {
        decode(k, held_cr, stage);
        stage.scrambled.erase(0, stage.scrambled.size() - kept);
        if (settings_.per_line) {
          // A CR at the end may start a line break with the next piece's LF.
          held_cr = k + 1 < end && !stage.decoded.empty() && stage.decoded.back() == u'\r';
          const std::u16string_view ready = stage.decoded.substr(0, stage.decoded.size() - held_cr);
          scramble_records(ready, k + 1 == end, stage);
        } else if (k + 1 < end) {
          stage.scrambler.push(stage.decoded, stage.scrambled);
        } else {
          stage.scrambler.push_last(stage.decoded, stage.scrambled);
        }
        const std::u16string& out = stage.scrambled;
        const std::size_t ready = k + 1 < end && !out.empty() && (out.back() == u'\r' || is_lead_surrogate(out.back()))
                                      ? out.size() - 1 : out.size();
        kept = out.size() - ready;
        encode(stage, ready);
        write(stage);
      }
      publish_draws(line, (settings_.per_line ? stage.record : stage.random.drawn()) - before);
    }
    end_turn();
  }

  // A line of work of one piece on the UTF-8 road (engine/utf8_scramble.hpp),
  // laid out at once, so that the workers after it learn its draws before
  // it waits for the draws before it.
  void lay_out(std::size_t line, Stage& stage) {
    const std::string_view piece = cutting_.pieces[line == 0 ? 0 : cutting_.line_ends[line - 1]];
    char* const begin = stage.encode_room.room(Utf8Scrambler::room(piece.size()));
    stage.laid_out = stage.utf8.lay_out(piece, begin);
    publish_draws(line, stage.laid_out);
  }

  // A line of work of one piece on the UTF-8 road: per line scrambled with
  // its records known, else shuffled after its layout; then written.
  void scramble_utf8_line(std::size_t line, std::string_view piece, Stage& stage) {
    char* const begin = stage.encode_room.room(Utf8Scrambler::room(piece.size()));
    const char* end = nullptr;
    if (settings_.per_line) {
      end = stage.utf8.scramble_records(piece, settings_.seed, stage.record, begin);
      stage.record += utf8_lines_[line] - 1;
    } else {
      const std::uint64_t before = stage.random.drawn();
      end = stage.utf8.shuffle(stage.random);
      if (stage.random.drawn() - before != stage.laid_out) throw std::logic_error("Zahl der Zufallswerte einer Zeile falsch gezählt");
    }
    stage.encoded = std::string_view(begin, static_cast<std::size_t>(end - begin));
    stage.bad_unit = kNone;
    hand_over(line, stage);
  }

  // A finished line of work of the UTF-8 road: written at once in its
  // turn; before it, set aside with its buffer (the stage takes a spare
  // one) for the worker whose turn comes before it to write, so that this
  // worker goes on at once, unless kHeldAtMost lines wait so already.
  void hand_over(std::size_t line, Stage& stage) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (lines_written_ != line && held_.size() < kHeldAtMost && !error_) {
        held_.push_back(Held{line, std::move(stage.encode_room), stage.encoded});
        if (!spare_.empty()) {
          stage.encode_room = std::move(spare_.back());
          spare_.pop_back();
        }
        return;
      }
      changed_.wait(lock, [&] { return lines_written_ == line || error_; });
      if (error_) throw Stopped();
    }
    write(stage);
    end_turn();
  }

  // Per line: the generator of record number stage.record.
  void start_record(Stage& stage) {
    stage.record_random = RecordRandom(settings_.seed, RecordKey::number(stage.record));
  }

  // Per line: scrambles `text`, the next part of the text, record by record
  // into stage.scrambled, each record's result followed by a line break. A
  // record that `text` leaves open goes on in the next part, unless `end`:
  // then it ends here (if anything of it was given). `text` ends in no CR
  // unless `end`.
  void scramble_records(std::u16string_view text, bool end, Stage& stage) {
    for (;;) {
      const std::size_t line_break = text.find(u"\r\n");
      if (line_break == std::u16string_view::npos) break;
      stage.scrambler.push_last(text.substr(0, line_break), stage.scrambled);
      stage.scrambled.append(u"\r\n");
      text.remove_prefix(line_break + 2);
      ++stage.record;
      stage.record_open = false;
      start_record(stage);
    }
    if (end) {
      if (!text.empty() || stage.record_open) {
        stage.scrambler.push_last(text, stage.scrambled);
        stage.scrambled.append(u"\r\n");
      }
      stage.record_open = false;
    } else if (!text.empty()) {
      stage.scrambler.push(text, stage.scrambled);
      stage.record_open = true;
    }
  }

  // Decodes piece k into stage.decoded, after a CR held back from the
  // last piece if `held_cr`.
  void decode(std::size_t k, bool held_cr, Stage& stage) {
    const std::vector<std::string_view>& pieces = cutting_.pieces;
    const std::string_view piece = pieces[k];
    char16_t* const begin = stage.decode_room.room(2 * piece.size() + 1);
    char16_t* to = begin;
    if (held_cr) *to++ = u'\r';
    const char16_t* const end = write_utf16_crlf(piece, k > 0 && pieces[k - 1].back() == '\r', to);
    stage.decoded = std::u16string_view(begin, static_cast<std::size_t>(end - begin));
  }

  // Encodes units [0, ready) of stage.scrambled. An unpaired surrogate is
  // reported at its place in the whole result, once the turn says where
  // this part begins; nothing of the part is written.
  static void encode(Stage& stage, std::size_t ready) {
    char* const to = stage.encode_room.room(3 * ready);
    std::size_t written = 0;
    try {
      write_utf8_lf(std::u16string_view(stage.scrambled).substr(0, ready), to, written);
      stage.bad_unit = kNone;
    } catch (const InvalidUtf16& error) {
      stage.bad_unit = error.offset();
    }
    stage.encoded = std::string_view(to, written);
  }

  // Writes stage.encoded; the caller has the turn.
  void write(Stage& stage) {
    if (stage.bad_unit != kNone) {
      throw Failure("Interner Fehler: Das Ergebnis enthält nach Byte " +
                    std::to_string(sent_bytes_ + stage.encoded.size()) +
                    " eine ungepaarte UTF-16-Surrogathälfte; die Ausgabe bricht dort ab.");
    }
    write_bytes(stage.encoded);
  }

  // Writes part of the result; the caller has the turn.
  void write_bytes(std::string_view bytes) {
    sent_bytes_ += bytes.size();
    if (bytes.empty()) return;
    write_or_fail(io_, bytes);
    written_anything_ = true;
  }

  void publish_draws(std::size_t line, std::uint64_t draws) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      draws_[line] = draws + 1;
    }
    changed_.notify_all();
  }

  std::uint64_t wait_for_draws(std::size_t line) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return draws_[line] != 0 || error_; });
    if (error_) throw Stopped();
    return draws_[line] - 1;
  }

  void wait_for_turn(std::size_t line) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return lines_written_ == line || error_; });
    if (error_) throw Stopped();
  }

  // Ends the turn of the line just written; the turn holder then writes
  // the lines set aside that come next.
  void end_turn() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++lines_written_;
    for (;;) {
      const auto next = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.line == lines_written_; });
      if (next == held_.end()) break;
      Held held = std::move(*next);
      held_.erase(next);
      lock.unlock();
      changed_.notify_all();
      write_bytes(held.encoded);
      lock.lock();
      spare_.push_back(std::move(held.room));
      ++lines_written_;
    }
    lock.unlock();
    changed_.notify_all();
  }

  void fail(std::exception_ptr error) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = error;
    }
    changed_.notify_all();
  }

  Io& io_;
  const Settings& settings_;
  const Cutting& cutting_;
  const std::vector<std::uint64_t> utf8_lines_;  // as `prepared`
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint64_t> draws_;  // per line of work: its draws (per line: line breaks) + 1, or 0 while not known
  std::size_t lines_written_ = 0;
  std::exception_ptr error_;
  std::atomic<std::size_t> next_line_{0};  // the next line of work for a worker to take
  // Lines of work of the UTF-8 road done before their turn, and buffers
  // free for the next ones.
  struct Held {
    std::size_t line;
    Scratch<char> room;
    std::string_view encoded;  // in room
  };
  static constexpr std::size_t kHeldAtMost = 4;
  std::vector<Held> held_;
  std::vector<Scratch<char>> spare_;
  // Used only by the worker that has the turn:
  std::size_t sent_bytes_ = 0;  // bytes of the result written so far
  bool written_anything_ = false;
};

// Adds the words of --keep-file `name`, one a line (LF or CR LF), to `keep`;
// empty lines are skipped.
void add_keep_file(const std::string& name, Io& io, std::vector<std::u16string>& keep) {
  const CheckedInput input = read_and_check(name, io);
  std::string_view text = input.text();
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(0, end);
    if (word.ends_with('\r')) word.remove_suffix(1);
    if (!word.empty()) append_utf16_crlf(word, false, keep.emplace_back());
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

// Per line, the last line's number must stay within the keys' range.
void check_line_numbers(const std::vector<CheckedInput>& inputs, std::size_t total, std::uint64_t first_line) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  if (first_line <= kMax - total) return;  // there are at most `total` line breaks
  std::uint64_t line_breaks = 0;
  for (const CheckedInput& input : inputs) line_breaks += std::count(input.text().begin(), input.text().end(), '\n');
  if (line_breaks > kMax - first_line) {
    throw Failure("Zu viele Zeilen für --first-line " + std::to_string(first_line) +
                  ": Die Zeilennummern gingen über 18446744073709551615 hinaus.");
  }
}

// One pass over the cut text, on `workers` threads (the pieces in as many
// runs of about equal size): checks that each piece is UTF-8 and marks the
// lines of work of one piece that the UTF-8 road takes; per line, counts
// their line breaks while the piece is in the cache. Returns the marks as
// Pipeline's `prepared`, or nothing when a piece is not UTF-8.
std::optional<std::vector<std::uint64_t>> check_and_mark(const Settings& settings, const Cutting& cutting,
                                                         unsigned workers) {
  const std::size_t lines = cutting.line_ends.size();
  std::vector<std::uint64_t> prepared(lines, 0);
  std::vector<char> valid(workers, 1);
  const auto run_part = [&](unsigned part) {
    Utf8Scrambler utf8(settings.options);
    for (std::size_t line = lines * part / workers; line < lines * (part + 1) / workers; ++line) {
      const std::size_t begin = line == 0 ? 0 : cutting.line_ends[line - 1], end = cutting.line_ends[line];
      try {
        for (std::size_t k = begin; k < end; ++k) check_utf8(cutting.pieces[k]);
      } catch (const InvalidUtf8&) {
        valid[part] = 0;
        return;
      }
      if (end - begin != 1) continue;
      const std::string_view piece = cutting.pieces[begin];
      if (!utf8.takes(piece)) continue;
      prepared[line] = 1 + (settings.per_line ? static_cast<std::uint64_t>(std::count(piece.begin(), piece.end(), '\n')) : 0);
    }
  };
  std::vector<std::thread> threads;
  std::exception_ptr error;
  std::mutex error_mutex;
  for (unsigned part = 1; part < workers; ++part) {
    try {
      threads.emplace_back([&, part] {
        try {
          run_part(part);
        } catch (...) {
          const std::lock_guard<std::mutex> lock(error_mutex);
          if (!error) error = std::current_exception();
        }
      });
    } catch (const std::system_error&) {  // no thread to be had: done here
      run_part(part);
    }
  }
  try {
    run_part(0);
  } catch (...) {
    const std::lock_guard<std::mutex> lock(error_mutex);
    if (!error) error = std::current_exception();
  }
  for (std::thread& thread : threads) thread.join();
  if (error) std::rethrow_exception(error);
  if (std::find(valid.begin(), valid.end(), 0) != valid.end()) return std::nullopt;
  return prepared;
}

int run(std::span<const std::string_view> args, Io& io, std::size_t piece_bytes, unsigned workers) {
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
    write_or_fail(io, "textquirl-cli " + std::string(product::config::kVersion) + "\n" +
                          std::string(product::config::kCopyrightUtf8) + "\nLizenz: " +
                          std::string(product::config::kLicence) + "\n");
    return 0;
  }
  if (options.inputs.empty()) options.inputs.emplace_back("-");

  Settings settings;
  settings.seed = options.seed;
  settings.options = std::move(options.scramble);
  settings.per_line = options.per_line;
  settings.first_line = options.first_line;
  for (const std::string& name : options.keep_files) add_keep_file(name, io, settings.options.keep);
  validate(settings.options);  // the parser has checked each value

  // Every input is read, then checked and counted in one pass; the faults
  // come in the order of the inputs, a read fault after those of the inputs
  // before it.
  std::vector<CheckedInput> inputs;
  inputs.reserve(options.inputs.size());
  for (std::size_t i = 0; i < options.inputs.size(); ++i) {
    try {
      inputs.push_back(read_input(options.inputs[i], io));
    } catch (const Failure&) {
      for (std::size_t before = 0; before < i; ++before) check_input(options.inputs[before], inputs[before]);
      throw;
    }
  }
  std::size_t total = 0;
  for (const CheckedInput& input : inputs) total += input.text().size();
  const unsigned threads = workers != 0 ? workers : total >= kThreadedAtLeast ? 2 : 1;
  const Cutting cutting = cut(inputs, piece_bytes);
  std::optional<std::vector<std::uint64_t>> prepared = check_and_mark(settings, cutting, threads);
  if (!prepared) {  // the first fault of the first input that has one, as a check of it whole finds it
    for (std::size_t i = 0; i < inputs.size(); ++i) check_input(options.inputs[i], inputs[i]);
    throw std::logic_error("ein Stück ungültig, die Eingaben gültig");
  }
  if (settings.per_line) check_line_numbers(inputs, total, settings.first_line);
  // Opened once every input is read, so that the output file may be one.
  OutputFile output(io, options.output);
  Pipeline pipeline(io, settings, cutting, std::move(*prepared));
  pipeline.run(threads);
  output.commit();
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

std::string with_separators(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, 1, '.');
  return digits;
}

std::string too_large(std::string_view input, std::string_view size, std::uint64_t memory) {
  return std::string(input) + " ist mit " + std::string(size) +
         " Bytes zu groß für den Arbeitsspeicher dieses Rechners (" + with_separators(memory) +
         " Bytes)";
}

int detail::run_filter(std::span<const std::string_view> args, Io& io, std::size_t piece_bytes, unsigned workers) {
  try {
    return run(args, io, piece_bytes, workers);
  } catch (const Failure& failure) {
    report(io, failure.what());
  } catch (const std::bad_alloc&) {
    report(io, "Nicht genug Arbeitsspeicher, um die Eingabe zu verwurschteln.");
  } catch (const std::length_error&) {
    // Also the engine's WordTooLong: a word that long does not fit in memory here.
    report(io, "Nicht genug Arbeitsspeicher, um die Eingabe zu verwurschteln.");
  } catch (const std::exception& error) {
    report(io, std::string("Interner Fehler: ") + error.what());
  }
  return 1;
}

}  // namespace textquirl::cli
