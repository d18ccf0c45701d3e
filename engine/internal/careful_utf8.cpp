#include "engine/internal/careful_utf8.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/internal/careful.hpp"
#include "engine/internal/option_words.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"
#include "engine/internal/word_rule.hpp"
#include "engine/internal/word_shuffler.hpp"
#include "engine/record.hpp"

// The same scan as CarefulScanner (careful.hpp), over code points of UTF-8.
// A character below U+10000 is one UTF-16 unit and is looked up in the same
// unit table; one above is a surrogate pair, which always makes its token
// one of several-unit characters. Tokens end where the UTF-16 scan ends
// them, and what happens to a token depends only on its own characters and
// on whether white space that marks may join stands right before it, so a
// token of single-unit characters can be scrambled here, its words' letters
// shuffled as whole UTF-8 characters (same draws, same order), and any other
// token decoded alone and given to the UTF-16 scan. An LF stands for the
// CR LF of the UTF-16 road: both end tokens, and neither lets marks join.

namespace textquirl::internal {
namespace {

using UnitTable = std::array<std::uint8_t, 65536>;
constexpr std::uint8_t kComplexEntry = kCarefulComplex | kCarefulComplexBit;

struct CodePoint {
  char32_t value;
  std::size_t length;  // in bytes
};

// The code point of valid UTF-8 that starts at p[i].
inline CodePoint decode_at(const std::uint8_t* p, std::size_t i) {
  const std::uint8_t lead = p[i];
  if (lead < 0x80) return {lead, 1};
  if (lead < 0xE0) return {static_cast<char32_t>(((lead & 0x1F) << 6) | (p[i + 1] & 0x3F)), 2};
  if (lead < 0xF0) {
    return {static_cast<char32_t>(((lead & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F)), 3};
  }
  return {static_cast<char32_t>(((lead & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) |
                                (p[i + 3] & 0x3F)),
          4};
}

// The careful table's entry for a code point: its unit's, or, beyond
// U+FFFF, that of a surrogate.
inline std::uint8_t entry_of(const UnitTable& table, char32_t c) { return c < 0x10000 ? table[c] : kComplexEntry; }

// Appends the UTF-16 units of valid UTF-8 `bytes` to `units`.
void decode(std::string_view bytes, std::u16string& units) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    const CodePoint c = decode_at(p, i);
    if (c.value < 0x10000) {
      units.push_back(static_cast<char16_t>(c.value));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((c.value - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c.value - 0x10000) & 0x3FF)));
    }
    i += c.length;
  }
}

// Writes well-formed `units` as UTF-8; returns the end.
char* encode(std::u16string_view units, char* to) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c < 0x80) {
      *to++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *to++ = static_cast<char>(0xC0 | (c >> 6));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
      *to++ = static_cast<char>(0xF0 | (c >> 18));
      *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *to++ = static_cast<char>(0xE0 | (c >> 12));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return to;
}

// A run of letters in a token of single-unit characters: bytes
// [first, end), `characters` code points.
struct Word {
  std::size_t first, end, characters;
};

// A token: bytes [start, end), its characters' entries or-ed, whether white
// space that marks may join stands right before it, and (when none of its
// characters has several units) its words.
struct Token {
  std::size_t start, end;
  std::uint8_t bits;
  bool after_blank;
  const std::vector<Word>& words;
};

// Calls handler.token(Token) for each token of `text` in order; white space
// between tokens is skipped.
template <class Handler>
void scan_tokens(std::string_view text, Handler& handler) {
  const UnitTable& table = careful_unit_table();
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::vector<Word>& words = handler.words;
  bool after_blank = false;
  std::size_t i = 0;
  while (i < n) {
    const CodePoint c = decode_at(p, i);
    const std::uint8_t cls = entry_of(table, c.value) & kCarefulClassBits;
    if (cls >= kCarefulBlank) {
      after_blank = cls == kCarefulBlank;
      i += c.length;
      continue;
    }
    const std::size_t start = i;
    std::uint8_t bits = 0, previous = 0;  // previous: the entry of the code point before
    char32_t previous_value = 0;
    std::size_t run_first = 0, run = 0;  // the open word: where it starts, its letters so far
    words.clear();
    while (i < n) {
      // ASCII letters, the most of prose, in a loop of their own.
      if (p[i] < 0x80 && table[p[i]] == kCarefulLetter) {
        if (run == 0) run_first = i;
        do {
          ++run;
          ++i;
        } while (i < n && p[i] < 0x80 && table[p[i]] == kCarefulLetter);
        previous = kCarefulLetter;
        continue;
      }
      const CodePoint d = decode_at(p, i);
      const std::uint8_t e = entry_of(table, d.value);
      if ((e & kCarefulClassBits) == kCarefulLetter) {
        if (run == 0) run_first = i;
        ++run;
        i += d.length;
        previous = e;
        continue;
      }
      if (run != 0) {
        words.push_back({run_first, i, run});
        run = 0;
      }
      if ((e & kCarefulClassBits) >= kCarefulBlank) {
        // White space ends the token unless a prepended mark before it joins it.
        if ((e & kCarefulClassBits) == kCarefulBreak || (previous & kCarefulClassBits) != kCarefulComplex ||
            (grapheme_properties(previous_value) & kClassMask) != kPrepend) {
          break;
        }
        bits |= kCarefulComplexBit;
      }
      bits |= e;
      previous = e;
      previous_value = d.value;
      i += d.length;
    }
    if (run != 0) words.push_back({run_first, i, run});
    handler.token(Token{start, i, bits, after_blank, words});
    after_blank = false;
  }
}

// Whether a token of single-unit characters is worth the address check: it
// holds '@' or ':', or starts with "www." (any case) after its punctuation.
bool may_be_address(const UnitTable& table, std::string_view token, std::uint8_t bits) {
  if (bits & kCarefulAddressHint) return true;
  const auto* p = reinterpret_cast<const std::uint8_t*>(token.data());
  std::size_t i = 0;
  while (i < token.size()) {
    const CodePoint c = decode_at(p, i);
    if (!(entry_of(table, c.value) & kCarefulPunctuation)) break;
    i += c.length;
  }
  if (token.size() - i < 4 || p[i + 3] != '.') return false;
  for (std::size_t k = i; k < i + 3; ++k) {
    if ((p[k] | 0x20) != 'w') return false;  // no byte of a longer character gives 'w'
  }
  return true;
}

// The draws of words: by the options' rule, a kept word taking none.
class CountHandler {
 public:
  explicit CountHandler(std::string_view text, const ScrambleOptions& options)
      : text_(text), rule_(options), check_kept_(!options.keep.empty()), sink_(rule_) {}

  void token(const Token& token) {
    const std::string_view bytes = text_.substr(token.start, token.end - token.start);
    if (token.bits & kCarefulComplexBit) {
      units_.clear();
      decode(bytes, units_);
      if (token.after_blank) scanner_.start_after_blank();
      scanner_.push(units_, true, sink_);
      return;
    }
    if (may_be_address(table_, bytes, token.bits)) {
      units_.clear();
      decode(bytes, units_);
      if (is_address_token(units_)) return;
    }
    const std::size_t rate_draw = rule_.rate_draws() ? 1 : 0;
    for (const Word& word : token.words) {
      if (!rule_.eligible(word.characters) || (check_kept_ && kept(word))) continue;
      sink_.draws += word.characters - 2 + rate_draw;
    }
  }

  std::size_t draws() const { return sink_.draws; }

  std::vector<Word> words;

 private:
  struct Sink {
    explicit Sink(const WordRule& rule) : rule(rule) {}
    void put(char16_t) {}
    void put(std::u16string_view) {}
    void word(std::u16string_view units, bool simple, std::size_t) { draws += rule.draws(units, simple, bounds); }
    const WordRule& rule;
    std::vector<std::uint32_t> bounds;
    std::size_t draws = 0;
  };

  bool kept(const Word& word) {
    word_units_.clear();
    decode(text_.substr(word.first, word.end - word.first), word_units_);
    return rule_.kept(word_units_);
  }

  std::string_view text_;
  const UnitTable& table_ = careful_unit_table();
  WordRule rule_;
  bool check_kept_;
  Sink sink_;
  CarefulScanner<Sink> scanner_;
  std::u16string units_, word_units_;
};

// Writes the scrambled text: everything copied as it is (in runs, as late as
// possible), each word's letters shuffled in place. `kDefault`: the default
// options, where every word of four or more letters is shuffled.
template <class Source, bool kDefault>
class WriteHandler {
 public:
  using Words = std::conditional_t<kDefault, WordShuffler<Source>, OptionWords<Source>>;

  WriteHandler(std::string_view text, Source& random, const ScrambleOptions& options, char* to)
      : text_(text), p_(reinterpret_cast<const std::uint8_t*>(text.data())), to_(to), random_(random),
        rule_(options), check_kept_(!options.keep.empty()), sink_(make_words(random, options)) {}

  void token(const Token& token) {
    const std::string_view bytes = text_.substr(token.start, token.end - token.start);
    if (token.bits & kCarefulComplexBit) {
      complex_token(bytes, token);
      return;
    }
    if (may_be_address(table_, bytes, token.bits)) {
      units_.clear();
      decode(bytes, units_);
      if (is_address_token(units_)) return;
    }
    for (const Word& word : token.words) put_word(word);
  }

  // Copies what is left; returns the end of the output.
  char* finish() {
    copy_to(text_.size());
    return to_ + text_.size();
  }

  std::vector<Word> words;

 private:
  // Copies the text up to byte `end` where nothing was written yet.
  void copy_to(std::size_t end) {
    if (end > done_) std::memcpy(to_ + done_, p_ + done_, end - done_);
    done_ = end;
  }

  void put_word(const Word& word) {
    if constexpr (kDefault) {
      if (word.characters < 4) return;
      copy_to(word.first);
      shuffle(word, to_ + word.first);
    } else {
      if (!rule_.eligible(word.characters) || (check_kept_ && kept(word))) return;
      const bool scrambled = rule_.draw_scrambled(random_);
      copy_to(word.first);
      char* const start = to_ + word.first;
      shuffle(word, start);
      const std::size_t size = word.end - word.first;
      if (!scrambled) {
        std::memcpy(start, p_ + word.first, size);
      } else if (rule_.always_change() && std::memcmp(start, p_ + word.first, size) == 0) {
        // The inner characters rotated left by one place.
        const std::uint8_t first = p_[word.first];
        const std::size_t first_end = 1 + (first >= 0xC0) + (first >= 0xE0);
        const std::uint8_t second = p_[word.first + first_end];
        const std::size_t second_end = first_end + 1 + (second >= 0xC0) + (second >= 0xE0);
        std::size_t last_start = size - 1;
        while ((p_[word.first + last_start] & 0xC0) == 0x80) --last_start;
        std::rotate(start + first_end, start + second_end, start + last_start);
      }
    }
    done_ = word.end;
  }

  // Writes the word's first letter, its inner letters shuffled as
  // WordShuffler does (one draw per inner letter), and its last letter.
  void shuffle(const Word& word, char* to) {
    const std::uint8_t* p = p_ + word.first;
    const std::size_t size = word.end - word.first;
    if (word.characters == size) {  // ASCII: the bytes are the letters
      *to++ = static_cast<char>(p[0]);
      shuffle_values(size - 2, random_, [&](std::size_t i) { return p[i + 1]; },
                     [&](std::uint8_t c) { *to++ = static_cast<char>(c); });
      *to = static_cast<char>(p[size - 1]);
      return;
    }
    // Each inner letter's bytes (one to three) packed with their count in
    // the top byte; written three bytes at a time, the cursor moving by the
    // count: no branch on it, which would go wrong at every umlaut. The
    // last letter, written after, covers what was written too many.
    const auto length = [](std::uint8_t lead) { return std::size_t{1} + (lead >= 0xC0) + (lead >= 0xE0); };
    const std::size_t first_end = length(p[0]);
    std::size_t last_start = size - 1;
    while ((p[last_start] & 0xC0) == 0x80) --last_start;
    const std::size_t inner = word.characters - 2;
    if (packed_.size() < inner) packed_.resize(inner);
    std::size_t count = 0;
    for (std::size_t i = first_end; i < last_start;) {
      const std::size_t l = length(p[i]);
      std::uint32_t packed = static_cast<std::uint32_t>(l) << 24 | p[i];
      if (l > 1) packed |= static_cast<std::uint32_t>(p[i + 1]) << 8;
      if (l > 2) packed |= static_cast<std::uint32_t>(p[i + 2]) << 16;
      packed_[count++] = packed;
      i += l;
    }
    std::memcpy(to, p, first_end);
    char* cursor = to + first_end;
    shuffle_values(count, random_, [&](std::size_t i) { return packed_[i]; }, [&](std::uint32_t c) {
      cursor[0] = static_cast<char>(c & 0xFF);
      cursor[1] = static_cast<char>((c >> 8) & 0xFF);
      cursor[2] = static_cast<char>((c >> 16) & 0xFF);
      cursor += c >> 24;
    });
    std::memcpy(to + last_start, p + last_start, size - last_start);
  }

  bool kept(const Word& word) {
    units_.clear();
    decode(text_.substr(word.first, word.end - word.first), units_);
    return rule_.kept(units_);
  }

  // A token with a character of several units or of a spaceless script:
  // decoded, scanned as the UTF-16 road scans it, encoded back in place.
  void complex_token(std::string_view bytes, const Token& token) {
    units_.clear();
    decode(bytes, units_);
    scrambled_.clear();
    {
      Output output(scrambled_, units_.size());
      sink_.output = &output;
      if (token.after_blank) scanner_.start_after_blank();
      scanner_.push(units_, true, sink_);
    }
    copy_to(token.start);
    encode(scrambled_, to_ + token.start);
    done_ = token.end;
  }

  static Words make_words(Source& random, const ScrambleOptions& options) {
    if constexpr (kDefault) {
      (void)options;
      return Words(random);
    } else {
      return Words(random, options);
    }
  }

  struct Sink {
    explicit Sink(Words&& words) : words(std::move(words)) {}
    void put(char16_t c) { output->put(c); }
    void put(std::u16string_view units) { output->put(units); }
    void word(std::u16string_view units, bool simple, std::size_t) { words.append_word(units, simple, *output); }
    Words words;
    Output* output = nullptr;
  };

  std::string_view text_;
  const std::uint8_t* p_;
  char* to_;
  std::size_t done_ = 0;  // bytes of the output written so far
  Source& random_;
  const UnitTable& table_ = careful_unit_table();
  WordRule rule_;
  bool check_kept_;
  Sink sink_;
  CarefulScanner<Sink> scanner_;
  std::u16string units_, scrambled_;
  std::vector<std::uint32_t> packed_;
};

bool careful_default(const ScrambleOptions& options) {
  ScrambleOptions words = options;
  words.mode = Mode::classic;
  return is_classic_default(words);
}

template <class Source, bool kDefault>
char* write(std::string_view text, Source& random, const ScrambleOptions& options, char* to) {
  WriteHandler<Source, kDefault> handler(text, random, options, to);
  scan_tokens(text, handler);
  return handler.finish();
}

}  // namespace

template <class Source>
char* careful_scramble_utf8(std::string_view text, Source& random, const ScrambleOptions& options, char* to) {
  if (careful_default(options)) return write<Source, true>(text, random, options, to);
  return write<Source, false>(text, random, options, to);
}

template char* careful_scramble_utf8<DefaultRandom>(std::string_view, DefaultRandom&, const ScrambleOptions&, char*);
template char* careful_scramble_utf8<RecordRandom>(std::string_view, RecordRandom&, const ScrambleOptions&, char*);

std::size_t careful_count_draws_utf8(std::string_view text, const ScrambleOptions& options) {
  CountHandler handler(text, options);
  scan_tokens(text, handler);
  return handler.draws();
}

}  // namespace textquirl::internal
