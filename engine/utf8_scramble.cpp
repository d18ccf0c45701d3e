#include "engine/utf8_scramble.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/internal/careful_utf8.hpp"
#include "engine/internal/classic_layout.hpp"
#include "engine/internal/option_words.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"
#include "engine/internal/unit_masks.hpp"
#include "engine/internal/units.hpp"
#include "engine/internal/utf8_blocks.hpp"
#include "engine/internal/word_rule.hpp"
#include "engine/internal/word_shuffler.hpp"
#include "engine/record.hpp"


// The classic scan of scramble.cpp over UTF-8 bytes. Each character is looked
// up in the same unit table (one beyond U+FFFF as its lead surrogate: a word
// unit that joins), so the tokens, the spaces between them and the draws are
// the UTF-16 road's. The words are found 64 bytes at a time from bit masks;
// a word of characters of their own (no joining ones) is shuffled as it lies,
// each character moved whole, with the same indices and draws as the UTF-16
// shuffle of its units; any other word is decoded and goes through the UTF-16
// road's own word code. An LF stands for the CR LF of the UTF-16 road; a CR
// never comes.

namespace textquirl {
namespace {

using internal::kClassBits;
using internal::kJoins;
using internal::kOpeningMark;
using internal::kWordUnit;
using internal::utf8::bit;
using internal::utf8::Blocks;
using internal::utf8::char_length;
using internal::utf8::code_point;
using internal::utf8::UnitTable;
// `options` in another mode.
ScrambleOptions with_mode(ScrambleOptions options, Mode mode) {
  options.mode = mode;
  return options;
}

// Appends the UTF-16 units of `bytes` (valid UTF-8) to `units`.
void decode(std::string_view bytes, std::u16string& units) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned length = char_length(p[i]);
    const char32_t c = code_point(p + i, length);
    if (c < 0x10000) {
      units.push_back(static_cast<char16_t>(c));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
    i += length;
  }
}

// Writes `units` (valid UTF-16: whole words of a decoded text) as UTF-8.
char* encode(std::u16string_view units, char* to) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    if (c < 0x80) {
      *to++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *to++ = static_cast<char>(0xC0 | (c >> 6));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *to++ = static_cast<char>(0xE0 | (c >> 12));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *to++ = static_cast<char>(0xF0 | (c >> 18));
      *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return to;
}

// Calls sink.line_break(), sink.mark(at, length, opening) and
// sink.word(at, bytes, characters, simple) for the tokens of `text` in order:
// `characters` counts code points, `simple` says that none of them joins
// a neighbour (so each is a character of its own).
template <class Sink>
void scan(std::string_view text, Sink& sink) {
  if (text.empty()) return;
  const std::size_t n = text.size();
  const std::uint8_t* const p = reinterpret_cast<const std::uint8_t*>(text.data());
  const UnitTable& table = internal::unit_table();
  Blocks blocks(text);
  blocks.load_first();
  unsigned from = 0;  // the scan goes on at this bit of the block
  // Moves the scan to byte `at`; false at the end of the text.
  const auto go_to = [&](std::size_t at) {
    while (at >= blocks.base() + 64) {
      if (blocks.last()) return false;
      blocks.load_next();
    }
    from = static_cast<unsigned>(at - blocks.base());
    return at < n;
  };
  for (;;) {
    const std::uint64_t events = blocks.events & (~std::uint64_t{0} << from);
    if (events == 0) {
      if (blocks.last()) return;
      blocks.load_next();
      from = 0;
      continue;
    }
    const auto j = static_cast<unsigned>(std::countr_zero(events));
    const std::size_t at = blocks.base() + j;
    if ((blocks.breaks >> j) & 1) {
      if (p[at] == '\n') {
        sink.line_break();
        if (!go_to(at + 1)) return;
        continue;
      }
      const unsigned length = char_length(p[at]);
      // The opening marks are ASCII.
      sink.mark(p + at, length, length == 1 && (table[p[at]] & kClassBits) == kOpeningMark);
      if (!go_to(at + length)) return;
      continue;
    }
    // A word: up to the first byte in none, block after block.
    std::uint64_t span = ~std::uint64_t{0} << j;
    std::uint64_t ends = ~blocks.words & span;
    std::size_t characters = 0;
    std::uint64_t joins = 0;
    while (ends == 0) {
      characters += internal::count_bits(blocks.starts & span);
      joins |= blocks.joins & span;
      if (blocks.last()) break;
      blocks.load_next();
      span = ~std::uint64_t{0};
      ends = ~blocks.words;
    }
    std::size_t end = n;
    if (ends != 0) {
      const auto e = static_cast<unsigned>(std::countr_zero(ends));
      span &= bit(e) - 1;
      characters += internal::count_bits(blocks.starts & span);
      joins |= blocks.joins & span;
      end = blocks.base() + e;
    }
    sink.word(p + at, end - at, characters, joins == 0);
    if (!go_to(end)) return;
  }
}

}  // namespace

// What Utf8Scrambler keeps from text to text: the options and the
// working memory of the words that go the UTF-16 road.
class Utf8Scrambler::Impl {
 public:
  explicit Impl(const ScrambleOptions& options)
      : options_(options), default_(is_classic_default(options)), rule_(options),
        rate_draw_(options.rate < 1.0 ? 1 : 0),
        careful_default_(options.mode == Mode::careful && is_classic_default(with_mode(options, Mode::classic))) {
    for (const std::u16string& word : options.keep) {
      std::string bytes(3 * word.size(), '\0');
      bytes.resize(static_cast<std::size_t>(encode(word, bytes.data()) - bytes.data()));
      shortest_kept_ = std::min(shortest_kept_, bytes.size());
      longest_kept_ = std::max(longest_kept_, bytes.size());
      keep_.push_back(std::move(bytes));
    }
    std::sort(keep_.begin(), keep_.end());
  }

  bool takes(std::string_view text) const {
    // In blocks of plain byte operations that the compiler vectorises.
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    constexpr std::size_t kBlock = 64;
    for (std::size_t base = 0; base < text.size(); base += kBlock) {
      const std::size_t m = std::min(kBlock, text.size() - base);
      std::uint8_t cr = 0;
      for (std::size_t j = 0; j < m; ++j) cr |= static_cast<std::uint8_t>(p[base + j] == '\r');
      if (cr != 0) return false;
    }
    return true;
  }

  template <class Source>
  char* scramble(std::string_view text, Source& random, char* to);
  char* scramble_records(std::string_view text, std::uint32_t seed, std::uint64_t first_record, char* to);
  std::size_t count_draws(std::string_view text);
  std::size_t lay_out(std::string_view text, char* to);
  char* shuffle(DefaultRandom& random);

 private:
  std::size_t count_default_draws(std::string_view text);
  template <class Source, bool kDefault>
  class Writer;
  class Counter;

  bool kept(std::string_view word) const {
    if (word.size() < shortest_kept_ || word.size() > longest_kept_) return false;
    return std::binary_search(keep_.begin(), keep_.end(), word);
  }

  ScrambleOptions options_;
  bool default_;
  internal::WordRule rule_;
  std::size_t rate_draw_;
  std::vector<std::string> keep_;  // the words to keep, in UTF-8, sorted
  std::size_t shortest_kept_ = SIZE_MAX, longest_kept_ = 0;
  std::u16string units_, shuffled_;  // a word on the UTF-16 road
  std::vector<std::uint32_t> packed_;  // a word's inner characters, their bytes packed
  std::vector<std::uint32_t> bounds_;
  // The two steps of the default options (lay_out(), shuffle()): which
  // layout holds the text laid out, if one does, else scramble() does it
  // all; the text and where it goes.
  enum class Laid { kNot, kClassic, kCareful };
  bool try_lay_out(std::string_view text, char* to);
  internal::ClassicLayout layout_;
  internal::DeferredShuffles careful_shuffles_;
  bool careful_default_;
  Laid laid_ = Laid::kNot;
  std::string_view staged_text_;
  char* staged_to_ = nullptr;
};

// The draws of one word's shuffle taken at once from DefaultRandom's block
// of outputs: value i is the same as the i-th next_index() would give.
class BlockDraws {
 public:
  explicit BlockDraws(const std::uint32_t* outputs) : next_(outputs) {}
  std::size_t next_index(std::size_t n) {  // n < 2^28, as DefaultRandom::next_index
    const std::uint64_t x = *next_++ >> 8;
    return static_cast<std::size_t>((x * n) >> 24) + 1;
  }

 private:
  const std::uint32_t* next_;
};

// Writes the scrambled text: the spacing rules of the classic scramble
// (see scramble.cpp), each word shuffled as the UTF-16 road does. Those
// rules in one flag: a word or an opening mark gets a space before it, and
// so does a line break, unless it comes first, after an opening mark or
// after a line break.
template <class Source, bool kDefault>
class Utf8Scrambler::Impl::Writer {
 public:
  using Words = std::conditional_t<kDefault, internal::WordShuffler<Source>, internal::OptionWords<Source>>;
  static constexpr bool kIsDefault = kDefault;

  // `words` (the caller's, so that the writer itself stays in registers)
  // is made for the first word with joining characters.
  Writer(Impl& impl, Source& random, std::optional<Words>& words, std::string_view text, char* to, bool records)
      : impl_(impl), random_(random), words_(words),
        text_end_(reinterpret_cast<const std::uint8_t*>(text.data()) + text.size()), to_(to), records_(records) {}

  void line_break() {
    if (records_) {  // the record ends here; the next one starts anew
      *to_++ = '\n';
      space_ = false;
      next_record();
      return;
    }
    put_space();
    *to_++ = '\n';
    space_ = false;
  }

  void mark(const std::uint8_t* at, unsigned length, bool opening) {
    if (opening) put_space();
    put(at, length);
    space_ = !opening;
  }

  // A word without CR never ends in a line break.
  void word(const std::uint8_t* at, std::size_t bytes, std::size_t characters, bool simple) {
    put_space();
    space_ = true;
    if (characters < (kDefault ? 4 : impl_.rule_.min_length())) {  // so too its characters, if it has joining ones
      put(at, bytes);
      return;
    }
    if (!simple) {
      to_ = put_joined(impl_, random_, words_, at, bytes, to_);
      return;
    }
    bool scrambled = true;
    if constexpr (!kDefault) {
      if (impl_.kept(std::string_view(reinterpret_cast<const char*>(at), bytes))) {
        put(at, bytes);
        return;
      }
      scrambled = impl_.rule_.draw_scrambled(random_);
    }
    char* const start = to_;
    if (characters == bytes) {  // ASCII: the bytes are the characters
      const std::uint8_t* middle = at + 1;
      *to_++ = static_cast<char>(at[0]);
      shuffle(bytes - 2, [&](std::size_t i) { return middle[i]; }, put_byte, to_);
      *to_++ = static_cast<char>(at[bytes - 1]);
    } else {
      to_ = shuffle_packed(at, bytes, characters, to_);
    }
    if constexpr (!kDefault) {
      if (!scrambled) {
        std::memcpy(start, at, bytes);
      } else if (impl_.rule_.always_change() && std::memcmp(start, at, bytes) == 0) {
        // The inner characters left by one place: the first one goes to the end.
        const std::size_t second = char_length(at[0]), last = last_start(at, bytes);
        std::rotate(start + second, start + second + char_length(at[second]), start + last);
      }
    }
  }

  // The whole text with the default options, in one loop over the tokens
  // that keeps the cursor, the spacing flag and the scan in registers
  // (flattened: the shuffles and their draws compiled into it): the
  // same as scan(text, *this) for the default options. A word of characters
  // of their own is copied whole, then its inner characters are written
  // over with their shuffle.
  [[gnu::flatten]] void scramble_default(std::string_view text) {
    static_assert(kDefault);
    if (text.empty()) return;
    const UnitTable& table = internal::unit_table();
    const std::size_t n = text.size();
    const auto* const p = reinterpret_cast<const std::uint8_t*>(text.data());
    char* to = to_;
    bool space = space_;
    Blocks blocks(text);
    blocks.load_first();
    unsigned from = 0;
    for (;;) {
      const std::uint64_t events = blocks.events & (~std::uint64_t{0} << from);
      if (events == 0) {
        if (blocks.last()) break;
        blocks.load_next();
        from = 0;
        continue;
      }
      const auto j = static_cast<unsigned>(std::countr_zero(events));
      const std::size_t at = blocks.base() + j;
      std::size_t next;
      if ((blocks.breaks >> j) & 1) {
        if (p[at] == '\n') {
          if (records_) {  // the record ends here; the next one starts anew
            *to++ = '\n';
            next_record();
          } else {
            *to = ' ';
            to += space;
            *to++ = '\n';
          }
          space = false;
          next = at + 1;
        } else {  // a mark; the opening ones are ASCII
          const unsigned length = char_length(p[at]);
          const bool opening = length == 1 && (table[p[at]] & kClassBits) == kOpeningMark;
          *to = ' ';
          to += space & opening;
          to = put_char(p + at, length, to);
          space = !opening;
          next = at + length;
        }
      } else {
        // A word: up to the first byte in none, block after block.
        std::uint64_t span = ~std::uint64_t{0} << j;
        std::uint64_t ends = ~blocks.words & span;
        std::size_t continuations = 0;  // of characters of several bytes
        std::uint64_t joins = 0;
        while (ends == 0) {
          continuations += internal::count_bits(~blocks.starts & span);
          joins |= blocks.joins & span;
          if (blocks.last()) break;
          blocks.load_next();
          span = ~std::uint64_t{0};
          ends = ~blocks.words;
        }
        next = n;
        if (ends != 0) {
          const auto e = static_cast<unsigned>(std::countr_zero(ends));
          span &= bit(e) - 1;
          const std::uint64_t more = ~blocks.starts & span;
          if (more != 0) continuations += internal::count_bits(more);
          joins |= blocks.joins & span;
          next = blocks.base() + e;
        }
        const std::size_t bytes = next - at;
        const std::uint8_t* const word = p + at;
        *to = ' ';
        to += space;
        space = true;
        if (joins != 0) {
          to = put_joined(impl_, random_, words_, word, bytes, to);
        } else if (continuations == 0) {  // ASCII: the bytes are the characters
          char* const end = put_word(word, bytes, to);
          // Words of up to three letters shuffle nothing: no branch on that,
          // whose outcome the word lengths make hard to predict.
          const std::size_t inner = bytes >= 4 ? bytes - 2 : 0;
          char* cursor = to + 1;
          const std::uint8_t* middle = word + 1;
          shuffle(inner, [&](std::size_t i) { return middle[i]; }, put_byte, cursor);
          to = end;
        } else if (bytes - continuations < 4) {
          to = put_word(word, bytes, to);
        } else {
          to = shuffle_packed(word, bytes, bytes - continuations, to);
        }
      }
      // On to `next`, in the block that holds it.
      while (next >= blocks.base() + 64) {
        if (blocks.last()) {
          to_ = to;
          space_ = space;
          return;
        }
        blocks.load_next();
      }
      from = static_cast<unsigned>(next - blocks.base());
      if (next >= n) break;
    }
    to_ = to;
    space_ = space;
  }

  // Per record: the end of the text ends the last record, if it has begun.
  void end_records(bool begun) {
    if (begun) *to_++ = '\n';
  }

  char* end() const { return to_; }
  std::uint64_t record = 0;  // per record: the number of the current one
  std::uint32_t seed = 0;

 private:
  // Where the last character of a word of `bytes` bytes at `at` starts.
  static std::size_t last_start(const std::uint8_t* at, std::size_t bytes) {
    std::size_t i = bytes - 1;
    while ((at[i] & 0xC0) == 0x80) --i;
    return i;
  }

  void next_record() {
    if constexpr (std::is_same_v<Source, RecordRandom>) random_ = RecordRandom(seed, RecordKey::number(++record));
  }

  // Shuffles `n` values into the output at `cursor`, put(cursor, value(i)) for each in
  // shuffled order: short runs all inline, with the cursor in a register
  // and the draws from a source that lives in registers too (DefaultRandom's
  // outputs taken at once where its block holds them, a copy of a
  // RecordRandom's state).
  template <class Value, class Put>
  void shuffle(std::size_t n, Value&& value, Put put, char*& cursor) {
    if (n > internal::kShortShuffle) {
      char* to = cursor;
      internal::shuffle_values(n, random_, value, [&](auto v) { put(to, v); });
      cursor = to;
      return;
    }
    const auto run = [&](auto& draws) {
      char* to = cursor;
      internal::shuffle_short(n, draws, value, [&](auto v) { put(to, v); });
      cursor = to;
    };
    if constexpr (std::is_same_v<Source, DefaultRandom>) {
      if (const std::uint32_t* outputs = random_.take(n)) {
        BlockDraws draws(outputs);
        run(draws);
        return;
      }
      run(random_);
    } else if constexpr (std::is_same_v<Source, RecordRandom>) {
      RecordRandom draws = random_;
      run(draws);
      random_ = draws;
    } else {
      run(random_);
    }
  }

  // The inner characters of a word of characters of their own, of up to
  // three bytes each (one beyond U+FFFF joins), each one's bytes packed into
  // 32 bits; written four bytes at a time, the cursor moving by the
  // character's length: no branch on it, which would go wrong at every
  // umlaut. The next character covers the bytes written too many.
  char* shuffle_packed(const std::uint8_t* at, std::size_t bytes, std::size_t characters, char* to) {
    const std::size_t first_end = char_length(at[0]), last = last_start(at, bytes);
    std::vector<std::uint32_t>& packed = impl_.packed_;
    if (packed.size() < characters) packed.resize(characters);
    std::uint32_t* const values = packed.data();
    std::size_t count = 0;
    // Four bytes from each character's start (those after it are written
    // over); near the end of the text only the bytes the text has.
    const bool near_end = at + last + 4 > text_end_;
    for (std::size_t i = first_end; i < last; i += char_length(at[i])) {
      const std::uint8_t* c = at + i;
      std::uint32_t value;
      if (!near_end && std::endian::native == std::endian::little) {
        std::memcpy(&value, c, 4);
      } else {  // the last character follows, so the next byte is the word's
        const std::uint32_t after = c + 2 < text_end_ ? c[2] : 0;
        value = c[0] | (std::uint32_t{c[1]} << 8) | (after << 16);
      }
      values[count++] = value;
    }
    to = put_char(at, first_end, to);
    shuffle(count, [&](std::size_t i) { return values[i]; }, [](char*& cursor, std::uint32_t c) {
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(cursor, &c, 4);  // its bytes in order, and one more
      } else {
        cursor[0] = static_cast<char>(c & 0xFF);
        cursor[1] = static_cast<char>((c >> 8) & 0xFF);
        cursor[2] = static_cast<char>(c >> 16);
      }
      cursor += char_length(static_cast<std::uint8_t>(c & 0xFF));
    }, to);
    return put_char(at + last, bytes - last, to);
  }

  static constexpr auto put_byte = [](char*& cursor, std::uint8_t c) { *cursor++ = static_cast<char>(c); };

  // A word's bytes: as one copy of 16 where the word fits and the text has them.
  char* put_word(const std::uint8_t* word, std::size_t bytes, char* to) const {
    if (bytes <= 16 && word + 16 <= text_end_) std::memcpy(to, word, 16);
    else std::memcpy(to, word, bytes);
    return to + bytes;
  }

  // A word with joining characters: decoded, through the UTF-16 road's own
  // word code (made for the first such word), encoded.
  [[gnu::noinline]] static char* put_joined(Impl& impl, Source& random, std::optional<Words>& words,
                                            const std::uint8_t* at, std::size_t bytes, char* to) {
    std::u16string& units = impl.units_;
    units.clear();
    decode(std::string_view(reinterpret_cast<const char*>(at), bytes), units);
    std::u16string& shuffled = impl.shuffled_;
    shuffled.clear();
    {
      internal::Output out(shuffled, units.size());
      if constexpr (kDefault) {
        if (!words) words.emplace(random);
      } else {
        if (!words) words.emplace(random, impl.options_);
      }
      words->append_word(units, false, out);
    }
    return encode(shuffled, to);
  }

  void put_space() {
    *to_ = ' ';
    to_ += space_;
  }

  // Short runs (most words) as one copy of 16 bytes where the text has them.
  void put(const std::uint8_t* from, std::size_t bytes) {
    if (bytes <= 16 && from + 16 <= text_end_) {
      std::memcpy(to_, from, 16);
      to_ += bytes;
      return;
    }
    put_bytes(to_, from, bytes);
  }
  // One character: as four bytes where the text has them.
  char* put_char(const std::uint8_t* from, std::size_t bytes, char* to) const {
    if (from + 4 <= text_end_) {
      std::memcpy(to, from, 4);
      return to + bytes;
    }
    for (std::size_t i = 0; i < bytes; ++i) *to++ = static_cast<char>(from[i]);
    return to;
  }
  static void put_bytes(char*& to, const std::uint8_t* from, std::size_t bytes) {
    std::memcpy(to, from, bytes);
    to += bytes;
  }

  Impl& impl_;
  Source& random_;
  std::optional<Words>& words_;
  const std::uint8_t* text_end_;
  char* to_;
  bool records_;
  bool space_ = false;  // the next word gets a space before it
};

// Counts the draws of the words as Writer draws them.
class Utf8Scrambler::Impl::Counter {
 public:
  explicit Counter(Impl& impl) : impl_(impl) {}

  void line_break() {}
  void mark(const std::uint8_t*, unsigned, bool) {}
  void word(const std::uint8_t* at, std::size_t bytes, std::size_t characters, bool simple) {
    if (!simple || !impl_.default_) {
      other_word(at, bytes, characters, simple);
      return;
    }
    const std::size_t taken = characters - 2;
    draws += characters >= 4 ? taken : 0;  // no branch: word lengths are hard to predict
  }

  std::size_t draws = 0;

 private:
  [[gnu::noinline]] void other_word(const std::uint8_t* at, std::size_t bytes, std::size_t characters, bool simple) {
    if (characters < impl_.rule_.min_length()) return;
    if (!simple) {
      impl_.units_.clear();
      decode(std::string_view(reinterpret_cast<const char*>(at), bytes), impl_.units_);
      draws += impl_.rule_.draws(impl_.units_, false, impl_.bounds_);
      return;
    }
    if (!impl_.kept(std::string_view(reinterpret_cast<const char*>(at), bytes))) draws += characters - 2 + impl_.rate_draw_;
  }

  Impl& impl_;
};

// Texts up to this size with the default options go the two steps of
// ClassicLayout; its notes of the words take a few bytes per byte.
constexpr std::size_t kLaidOutAtMost = std::size_t{1} << 20;

bool Utf8Scrambler::Impl::try_lay_out(std::string_view text, char* to) {
  staged_text_ = text;
  staged_to_ = to;
  laid_ = Laid::kNot;
  if (text.size() > kLaidOutAtMost) return false;
  bool space = false;
  if (default_ && layout_.lay_out(text, to, space)) laid_ = Laid::kClassic;
  if (careful_default_ && internal::careful_lay_out_utf8(text, to, careful_shuffles_)) laid_ = Laid::kCareful;
  return laid_ != Laid::kNot;
}

std::size_t Utf8Scrambler::Impl::lay_out(std::string_view text, char* to) {
  if (!try_lay_out(text, to)) return count_draws(text);
  return laid_ == Laid::kClassic ? layout_.draws() : careful_shuffles_.draws();
}

char* Utf8Scrambler::Impl::shuffle(DefaultRandom& random) {
  switch (laid_) {
    case Laid::kClassic:
      return layout_.shuffle(random);
    case Laid::kCareful:
      careful_shuffles_.shuffle(random);
      return staged_to_ + staged_text_.size();
    case Laid::kNot:
      break;
  }
  return scramble(staged_text_, random, staged_to_);
}

template <class Source>
char* Utf8Scrambler::Impl::scramble(std::string_view text, Source& random, char* to) {
  if constexpr (std::is_same_v<Source, DefaultRandom>) {
    if (try_lay_out(text, to)) return shuffle(random);
  }
  if (options_.mode == Mode::careful) return internal::careful_scramble_utf8(text, random, options_, to);
  if (default_) {
    std::optional<typename Writer<Source, true>::Words> words;
    Writer<Source, true> writer(*this, random, words, text, to, false);
    writer.scramble_default(text);
    return writer.end();
  }
  std::optional<typename Writer<Source, false>::Words> words;
  Writer<Source, false> writer(*this, random, words, text, to, false);
  scan(text, writer);
  return writer.end();
}

char* Utf8Scrambler::Impl::scramble_records(std::string_view text, std::uint32_t seed, std::uint64_t first_record,
                                            char* to) {
  RecordRandom random(seed, RecordKey::number(first_record));
  const bool begun = !text.empty() && text.back() != '\n';
  if (options_.mode == Mode::careful) {  // line by line: careful mode keeps every character in place
    std::uint64_t record = first_record;
    for (std::string_view rest = text; !rest.empty(); ++record) {
      const std::size_t lf = std::min(rest.find('\n'), rest.size());
      random = RecordRandom(seed, RecordKey::number(record));
      to = internal::careful_scramble_utf8(rest.substr(0, lf), random, options_, to);
      *to++ = '\n';
      rest.remove_prefix(std::min(lf + 1, rest.size()));
    }
    return to;
  }
  const auto run = [&](auto& writer) {
    writer.record = first_record;
    writer.seed = seed;
    if constexpr (std::remove_reference_t<decltype(writer)>::kIsDefault) {
      writer.scramble_default(text);
    } else {
      scan(text, writer);
    }
    writer.end_records(begun);
    return writer.end();
  };
  if (default_) {
    std::optional<Writer<RecordRandom, true>::Words> words;
    Writer<RecordRandom, true> writer(*this, random, words, text, to, true);
    return run(writer);
  }
  std::optional<Writer<RecordRandom, false>::Words> words;
  Writer<RecordRandom, false> writer(*this, random, words, text, to, true);
  return run(writer);
}

std::size_t Utf8Scrambler::Impl::count_draws(std::string_view text) {
  if (options_.mode == Mode::careful) return internal::careful_count_draws_utf8(text, options_);
  if (default_) return count_default_draws(text);
  Counter counter(*this);
  scan(text, counter);
  return counter.draws;
}

// The draws of the default options, 64 bytes at a time, from the masks
// alone: a word is a run of set bits of Blocks::words, its characters the
// bytes in it that start one; only a word with joining characters is
// decoded and cut into characters.
std::size_t Utf8Scrambler::Impl::count_default_draws(std::string_view text) {
  if (text.empty()) return 0;
  Blocks blocks(text);
  std::size_t draws = 0;
  const auto add = [&](std::size_t start, std::size_t end, std::size_t characters, std::uint64_t joins) {
    if (joins != 0 && characters >= 4) {
      units_.clear();
      decode(text.substr(start, end - start), units_);
      draws += rule_.draws(units_, false, bounds_);
      return;
    }
    const std::size_t taken = characters - 2;
    draws += characters >= 4 ? taken : 0;  // no branch: word lengths are hard to predict
  };
  // A word that runs on from the last block: where it starts, its characters
  // and joining ones so far.
  bool open = false;
  std::size_t open_start = 0, open_characters = 0;
  std::uint64_t open_joins = 0;
  for (blocks.load_first();; blocks.load_next()) {
    const std::size_t base = blocks.base();
    const std::uint64_t words = blocks.words, characters = blocks.starts & words;
    if (open && (words & 1) == 0) {
      add(open_start, base, open_characters, open_joins);
      open = false;
    }
    for (std::uint64_t ends = words & ~(words >> 1); ends != 0; ends &= ends - 1) {
      const auto e = static_cast<unsigned>(std::countr_zero(ends));
      const std::uint64_t upto = e == 63 ? ~std::uint64_t{0} : bit(e + 1) - 1;
      const std::uint64_t gaps = ~words & upto;
      const unsigned s = gaps == 0 ? 0 : 64 - static_cast<unsigned>(std::countl_zero(gaps));
      const std::uint64_t span = upto & (~std::uint64_t{0} << s);
      std::size_t count = internal::count_bits(characters & span);
      std::uint64_t joins = blocks.joins & span;
      std::size_t start = base + s;
      if (s == 0 && open) {
        count += open_characters;
        joins |= open_joins;
        start = open_start;
        open = false;
      }
      if (e == 63 && !blocks.last()) {  // may go on in the next block
        open = true;
        open_start = start;
        open_characters = count;
        open_joins = joins;
        break;
      }
      add(start, base + e + 1, count, joins);
    }
    if (blocks.last()) break;
  }
  return draws;
}

Utf8Scrambler::Utf8Scrambler(const ScrambleOptions& options) {
  validate(options);
  impl_ = std::make_unique<Impl>(options);
}
Utf8Scrambler::Utf8Scrambler(Utf8Scrambler&&) noexcept = default;
Utf8Scrambler& Utf8Scrambler::operator=(Utf8Scrambler&&) noexcept = default;
Utf8Scrambler::~Utf8Scrambler() = default;

bool Utf8Scrambler::takes(std::string_view valid_utf8) const { return impl_->takes(valid_utf8); }

char* Utf8Scrambler::scramble(std::string_view text, DefaultRandom& random, char* to) {
  return impl_->scramble(text, random, to);
}
char* Utf8Scrambler::scramble(std::string_view text, RecordRandom& random, char* to) {
  return impl_->scramble(text, random, to);
}
char* Utf8Scrambler::scramble_records(std::string_view text, std::uint32_t seed, std::uint64_t first_record,
                                      char* to) {
  return impl_->scramble_records(text, seed, first_record, to);
}
std::size_t Utf8Scrambler::count_draws(std::string_view text) { return impl_->count_draws(text); }
std::size_t Utf8Scrambler::lay_out(std::string_view text, char* to) { return impl_->lay_out(text, to); }
char* Utf8Scrambler::shuffle(DefaultRandom& random) { return impl_->shuffle(random); }

}  // namespace textquirl
