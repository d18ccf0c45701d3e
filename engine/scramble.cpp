#include "engine/scramble.hpp"

#include <array>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/internal/careful.hpp"
#include "engine/internal/option_words.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/scrambler_impl.hpp"
#include "engine/internal/unit_masks.hpp"
#include "engine/internal/units.hpp"
#include "engine/internal/word_shuffler.hpp"
#include "engine/record.hpp"

// The scramble works in one left-to-right pass over the text. It cuts the
// text into tokens: punctuation marks (each one a token of its own), line
// breaks (CR LF) and words (maximal runs of everything else but spaces), and
// writes each token with at most one space before it:
//   - no space at the start, and no space after a line break;
//   - no space after an opening mark "(" or "[";
//   - no space before any other mark (these close: "Hallo," "Welt!");
//   - otherwise exactly one space, however many stood in the text, and none
//     when a word and a mark touched.
// A word whose shuffled letters happen to end in CR LF counts as ending a
// line too. Words of four or more characters keep their first and last
// character; the characters between are shuffled. The text may come in
// pieces: a word still open at the end of a piece, or a CR there, waits for
// the next one.

namespace textquirl {
namespace {

using internal::kCarriageReturn;
using internal::kClassBits;
using internal::kClosingMark;
using internal::kCrUnit;
using internal::kJoins;
using internal::kOpeningMark;
using internal::kSpace;
using internal::kWordUnit;
using internal::completes_line_break;
using internal::OptionWords;
using internal::Output;
using internal::unit_table;
using UnitTable = std::array<std::uint8_t, 65536>;

// Room reserved for the output of a piece: its own units, one space more per
// eight units (a mark that touched a word is set off by one), and a little
// for the word carried over from the last piece. Output grows when that is
// not enough.
constexpr std::size_t kUnitsPerAddedSpace = 8;
constexpr std::size_t kCarriedRoom = 16;
constexpr std::size_t expected_output(std::size_t units) {
  return units + units / kUnitsPerAddedSpace + kCarriedRoom;
}

// End of the word whose units run from `i`: the first space, mark or line
// break, or text.size(). A CR that ends a text not `last` stops the scan
// with `cr_pending` set. Adds the units' table bits to `joins`. Runs of
// plain word units (no table bits to add) are skipped by `runs`, whose text
// is `text`; the units between them are looked up.
std::size_t scan_word(const UnitTable& table, internal::PlainRuns& runs, std::u16string_view text, std::size_t i,
                      bool last, std::uint8_t& joins, bool& cr_pending) {
  const std::size_t n = text.size();
  for (; (i = runs.end_of_run(i)) < n; ++i) {
    const std::uint8_t t = table[text[i]];
    const std::uint8_t k = t & kClassBits;
    if (k != kWordUnit) {
      if (k != kCarriageReturn) break;
      if (i + 1 < n) {
        if (completes_line_break(text[i + 1])) break;
      } else if (!last) {
        cr_pending = true;
        break;
      }
    }
    joins |= t;
  }
  return i;
}

}  // namespace

namespace {

// The scan over the pieces. What crosses a cut: whether anything was written
// yet, whether the last token was an opening mark or a line break, and an
// unfinished word (its units so far, whether any of them may join a
// neighbour, and whether a CR stands after it that the next unit decides).
template <class Source, class Words>
class PieceScrambler final : public Scrambler::Impl {
 public:
  template <class... Args>
  explicit PieceScrambler(Source& random, const Args&... args) : words_(random, args...) {}

  // Flattened: the helpers it calls are compiled into it, which keeps the
  // output's cursor and the scan's state in registers (about a tenth
  // faster on prose).
  [[gnu::flatten]] void push(std::u16string_view text, bool last, std::u16string& out) override {
    const UnitTable& table = table_;
    Output output(out, expected_output(text.size()));
    internal::PlainRuns runs(text);
    const std::size_t n = text.size();
    std::size_t i = 0;
    if (open_word()) i = continue_word(text, runs, last, output);

    while (i < n) {
      const char16_t c = text[i];
      const std::uint8_t cls = table[c] & kClassBits;
      if (cls == kSpace) {
        ++i;
        continue;
      }
      const bool line_break = cls == kCarriageReturn && i + 1 < n && completes_line_break(text[i + 1]);
      if (line_break) {
        put_line_break(output);
        i += 2;
      } else if (cls == kClosingMark || cls == kOpeningMark) {
        output.reserve_more(2);
        if (cls == kOpeningMark) put_space(output);
        output.put(c);
        space_due_ = cls == kClosingMark;
        ++i;
      } else {
        const std::size_t start = i;
        std::uint8_t joins = 0;
        i = scan_word(runs, text, i, last, joins);
        if (cr_pending_ || (i == n && !last)) {  // the word may go on in the next piece
          carried_.assign(text.substr(start, i - start));
          joins_ = joins;
          return;
        }
        put_word(std::u16string_view(text.data() + start, i - start), (joins & kJoins) == 0, output);  // no range check
      }
    }
    if (last) reset();
  }

 private:
  bool open_word() const { return cr_pending_ || !carried_.empty(); }

  std::size_t scan_word(internal::PlainRuns& runs, std::u16string_view text, std::size_t i, bool last,
                        std::uint8_t& joins) {
    return textquirl::scan_word(table_, runs, text, i, last, joins, cr_pending_);
  }

  // Goes on with the word (or lone CR) held back from the last piece;
  // returns where the scan of `text` resumes.
  std::size_t continue_word(std::u16string_view text, internal::PlainRuns& runs, bool last, Output& output) {
    std::size_t i = 0;
    if (cr_pending_) {
      if (text.empty() && !last) return 0;
      cr_pending_ = false;
      if (!text.empty() && completes_line_break(text[0])) {  // a line break cut in two
        if (!carried_.empty()) put_word(carried_, (joins_ & kJoins) == 0, output);
        carried_.clear();
        put_line_break(output);
        return 1;
      }
      carried_.push_back(kCrUnit);
      joins_ |= table_[kCrUnit];
    }
    i = scan_word(runs, text, 0, last, joins_);
    carried_.append(text.substr(0, i));
    if (cr_pending_ || (i == text.size() && !last)) return text.size();  // still unfinished
    put_word(carried_, (joins_ & kJoins) == 0, output);
    carried_.clear();
    return i;
  }

  // Writes the space the rules put before a word, a line break or an
  // opening mark. Callers reserve first.
  void put_space(Output& output) { output.put_if(u' ', space_due_); }

  void put_line_break(Output& output) {
    output.reserve_more(3);
    put_space(output);
    output.put(u"\r\n");
    space_due_ = false;
  }

  void put_word(std::u16string_view word, bool simple, Output& output) {
    output.reserve_more(word.size() + 1);
    put_space(output);
    words_.append_word(word, simple, output);
    // Only a word with a CR in it (which makes it not simple) can end so.
    space_due_ = simple || word.size() < 2 || !output.ends_with_line_break();
  }

  void reset() {
    space_due_ = false;
    cr_pending_ = false;
    carried_.clear();
    joins_ = 0;
  }

  const UnitTable& table_ = unit_table();
  Words words_;
  // A space goes before the next word, line break or opening mark: not at
  // the start, nor after "(" or "[" or a line break.
  bool space_due_ = false;
  bool cr_pending_ = false;     // the last piece ended in a CR not yet decided
  std::u16string carried_;      // the unfinished word
  std::uint8_t joins_ = 0;      // table bits of carried_'s units
};

// The classic default keeps its own code, untouched by the options.
template <class Source>
std::unique_ptr<Scrambler::Impl> make_for(Source& random, const ScrambleOptions& options) {
  if (options.mode == Mode::careful) {
    ScrambleOptions words = options;
    words.mode = Mode::classic;
    if (is_classic_default(words)) return std::make_unique<internal::CarefulScrambler<internal::WordShuffler<Source>>>(random);
    return std::make_unique<internal::CarefulScrambler<OptionWords<Source>>>(random, options);
  }
  if (is_classic_default(options)) return std::make_unique<PieceScrambler<Source, internal::WordShuffler<Source>>>(random);
  return std::make_unique<PieceScrambler<Source, OptionWords<Source>>>(random, options);
}

std::unique_ptr<Scrambler::Impl> make_impl(RandomSource& random, const ScrambleOptions& options) {
  validate(options);
  // The programs' own generators are called directly, without a virtual
  // call per draw.
  if (auto* fixed = dynamic_cast<DefaultRandom*>(&random)) return make_for(*fixed, options);
  if (auto* record = dynamic_cast<RecordRandom*>(&random)) return make_for(*record, options);
  // Other sources (tests, mostly) take one scrambler for every option of a
  // mode: with the default ones it does what the mode's own does.
  if (options.mode == Mode::careful) {
    return std::make_unique<internal::CarefulScrambler<OptionWords<RandomSource>>>(random, options);
  }
  return std::make_unique<PieceScrambler<RandomSource, OptionWords<RandomSource>>>(random, options);
}

}  // namespace

Scrambler::Scrambler(RandomSource& random, const ScrambleOptions& options) : impl_(make_impl(random, options)) {}
Scrambler::Scrambler(Scrambler&&) noexcept = default;
Scrambler& Scrambler::operator=(Scrambler&&) noexcept = default;
Scrambler::~Scrambler() = default;

void Scrambler::push(std::u16string_view piece, std::u16string& out) { impl_->push(piece, false, out); }
void Scrambler::push_last(std::u16string_view piece, std::u16string& out) { impl_->push(piece, true, out); }


// A record's scramble, with its scrambler on the stack: many short records
// cost no allocation and no look-up of the generator's type each.
std::u16string scramble_record(std::u16string_view text, std::uint32_t seed, const RecordKey& key,
                               const ScrambleOptions& options) {
  validate(options);
  RecordRandom random(seed, key);
  std::u16string out;
  if (options.mode == Mode::careful) {
    ScrambleOptions words = options;
    words.mode = Mode::classic;
    if (is_classic_default(words)) {
      internal::CarefulScrambler<internal::WordShuffler<RecordRandom>>(random).push(text, true, out);
    } else {
      internal::CarefulScrambler<OptionWords<RecordRandom>>(random, options).push(text, true, out);
    }
  } else if (is_classic_default(options)) {
    PieceScrambler<RecordRandom, internal::WordShuffler<RecordRandom>>(random).push(text, true, out);
  } else {
    PieceScrambler<RecordRandom, OptionWords<RecordRandom>>(random, options).push(text, true, out);
  }
  return out;
}

std::u16string scramble(std::u16string_view text, RandomSource& random, const ScrambleOptions& options) {
  std::u16string out;
  Scrambler(random, options).push_last(text, out);
  return out;
}

}  // namespace textquirl
