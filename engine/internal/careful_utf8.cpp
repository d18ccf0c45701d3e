#include "engine/internal/careful_utf8.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/internal/careful.hpp"
#include "engine/internal/deferred_shuffles.hpp"
#include "engine/internal/option_words.hpp"
#include "engine/internal/output.hpp"
#include "engine/internal/shuffle.hpp"
#include "engine/internal/unit_masks.hpp"
#include "engine/internal/word_rule.hpp"
#include "engine/internal/word_shuffler.hpp"
#include "engine/record.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
//
// Most of a text goes 64 bytes at a time (scan_blocks): byte masks give the
// letters and the white space, a look-up is needed only for bytes of 0x80
// and above and for controls, and the words are the runs of letter bits.
// Only around what may be an address or holds a character of several units
// are tokens scanned one by one (scan_tokens).

namespace textquirl::internal {
namespace {

using UnitTable = std::array<std::uint8_t, 65536>;
constexpr std::uint8_t kComplexEntry = kCarefulComplex | kCarefulComplexBit;

struct CodePoint {
  char32_t value;
  std::size_t length;  // in bytes
};

// The code point of valid UTF-8 that starts at p[i].
[[gnu::always_inline]] inline CodePoint decode_at(const std::uint8_t* p, std::size_t i) {
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

// Replaces `units` with the UTF-16 units of valid UTF-8 `bytes`.
void decode(std::string_view bytes, std::u16string& units) {
  units.resize(bytes.size());  // never fewer bytes than units
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  char16_t* to = units.data();
  for (std::size_t i = 0; i < bytes.size();) {
    const CodePoint c = decode_at(p, i);
    if (c.value < 0x10000) {
      *to++ = static_cast<char16_t>(c.value);
    } else {
      *to++ = static_cast<char16_t>(0xD800 + ((c.value - 0x10000) >> 10));
      *to++ = static_cast<char16_t>(0xDC00 + ((c.value - 0x10000) & 0x3FF));
    }
    i += c.length;
  }
  units.resize(static_cast<std::size_t>(to - units.data()));
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
// characters has several units) its words, unless it has more than
// kTokenWords of them.
struct Token {
  std::size_t start, end;
  std::uint8_t bits;
  bool after_blank;
  const std::vector<Word>* words;  // null when there were too many
};
constexpr std::size_t kTokenWords = 64;

// Whether white space that marks may join ends text[0, i).
bool blank_before(const UnitTable& table, const std::uint8_t* p, std::size_t i) {
  if (i == 0) return false;
  std::size_t j = i - 1;
  while ((p[j] & 0xC0) == 0x80) --j;
  return (entry_of(table, decode_at(p, j).value) & kCarefulClassBits) == kCarefulBlank;
}

// Calls handler.token(Token) for each token of `text` from byte `i` (where
// a token or white space starts) that starts before byte `until`, in order;
// white space between tokens is skipped. Returns where it stopped: the
// start of the first token from `until` on, or the end of the text.
template <class Handler>
std::size_t scan_tokens(std::string_view text, std::size_t i, std::size_t until, Handler& handler) {
  const UnitTable& table = careful_unit_table();
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::vector<Word>& words = handler.words;
  bool after_blank = blank_before(table, p, i);
  while (i < n) {
    const CodePoint c = decode_at(p, i);
    const std::uint8_t cls = entry_of(table, c.value) & kCarefulClassBits;
    if (cls >= kCarefulBlank) {
      after_blank = cls == kCarefulBlank;
      i += c.length;
      continue;
    }
    if (i >= until) break;
    const std::size_t start = i;
    std::uint8_t bits = 0, previous = 0;  // previous: the entry of the code point before
    char32_t previous_value = 0;
    std::size_t run_first = 0, run = 0;  // the open word: where it starts, its letters so far
    bool all_words = true;
    words.clear();
    const auto end_word = [&] {
      if (words.size() == kTokenWords) {
        all_words = false;
      } else {
        words.push_back({run_first, i, run});
      }
      run = 0;
    };
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
      if (run != 0) end_word();
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
    if (run != 0) end_word();
    handler.token(Token{start, i, bits, after_blank, all_words ? &words : nullptr});
    after_blank = false;
  }
  return i;
}

// Calls f(Word) for the words of a token of single-unit characters.
template <class F>
void for_each_word(const UnitTable& table, const std::uint8_t* p, std::size_t start, std::size_t end, F&& f) {
  std::size_t run_first = 0, run = 0;
  for (std::size_t i = start; i < end;) {
    const CodePoint c = decode_at(p, i);
    if ((entry_of(table, c.value) & kCarefulClassBits) == kCarefulLetter) {
      if (run == 0) run_first = i;
      ++run;
    } else if (run != 0) {
      f(Word{run_first, i, run});
      run = 0;
    }
    i += c.length;
  }
  if (run != 0) f(Word{run_first, end, run});
}

// Of 64 bytes: bit j of `letters` set where byte j is an ASCII letter, of
// `spaces` where it is U+0020, of `high` where it is 0x80 or above, of
// `continuations` where it continues a character, of `low` where it is
// below 0x20 (a control, white space or not), of `ats` where it is '@', of
// `colons` where it is ':', of `slashes` where it is '/', of `ws` where it
// is 'w' or 'W'.
struct ByteMasks {
  std::uint64_t letters = 0, spaces = 0, high = 0, continuations = 0, low = 0, ats = 0, colons = 0, slashes = 0, ws = 0;
};
ByteMasks byte_masks(const std::uint8_t* p) {
  ByteMasks masks;
#if defined(__SSE2__)
  const auto is = [](__m128i x, char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); };
  for (unsigned j = 0; j < 64; j += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
    const __m128i folded = _mm_or_si128(x, _mm_set1_epi8(0x20));  // 'A'..'Z' to 'a'..'z'
    masks.letters |= byte_bits(bytes_in_range(folded, 'a', 'z')) << j;
    masks.spaces |= byte_bits(is(x, ' ')) << j;
    masks.high |= byte_bits(x) << j;
    masks.continuations |= byte_bits(bytes_in_range(x, 0x80, 0xBF)) << j;
    masks.low |= byte_bits(bytes_in_range(x, 0x00, 0x1F)) << j;
    masks.ats |= byte_bits(is(x, '@')) << j;
    masks.colons |= byte_bits(is(x, ':')) << j;
    masks.slashes |= byte_bits(is(x, '/')) << j;
    masks.ws |= byte_bits(is(folded, 'w')) << j;
  }
#else
  for (unsigned j = 0; j < 64; ++j) {
    const std::uint8_t b = p[j];
    const auto folded = static_cast<std::uint8_t>(b | 0x20);
    masks.letters |= std::uint64_t{folded >= 'a' && folded <= 'z'} << j;
    masks.spaces |= std::uint64_t{b == ' '} << j;
    masks.high |= std::uint64_t{b >= 0x80} << j;
    masks.continuations |= std::uint64_t{(b & 0xC0) == 0x80} << j;
    masks.low |= std::uint64_t{b < 0x20} << j;
    masks.ats |= std::uint64_t{b == '@'} << j;
    masks.colons |= std::uint64_t{b == ':'} << j;
    masks.slashes |= std::uint64_t{b == '/'} << j;
    masks.ws |= std::uint64_t{folded == 'w'} << j;
  }
#endif
  return masks;
}

// Finds the words of `text` 64 bytes at a time and hands each one to
// handler.add(Word) as it is found, then calls handler.commit() when its
// token ends. A block where a token may be an address ('@', ":/", "www") or
// holds a character of several units or of a spaceless script goes, from
// the start of the token open at its beginning to the end of the token at
// its end, to handler.exact(from, until), which scans tokens one by one as
// scan_tokens does and returns where it stopped; the words added since the
// last commit are dropped first by handler.discard(). So does the end of the
// text. add() returns false when it holds no more words of one token: the
// block then goes the exact way too. Words of fewer than four letters, which
// no options scramble or count, are not handed out.
constexpr std::size_t kShortest = 4;  // the shortest word that options may let move (min_length >= 4)

template <class Handler>
void scan_blocks(std::string_view text, Handler& handler) {
  const UnitTable& table = careful_unit_table();
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::size_t base = 0;
  std::size_t token_start = 0;  // where the token open at `base` starts: its words are not committed
  std::size_t open_first = 0, open_characters = 0;  // the word open at `base`, if open_characters > 0
  unsigned carry = 0;                               // bytes at `base` that continue a character begun before
  std::uint8_t carry_class = kCarefulOther;         // ... and its class
  std::uint64_t ws_before = 0;                      // the 'w' bits of the block before
  // token_start may fall inside white space of several bytes that the
  // block before ended in: the token starts after it.
  const auto exact = [&](std::size_t until) {
    handler.discard();
    while (token_start < n && (p[token_start] & 0xC0) == 0x80) ++token_start;
    return handler.exact(token_start, until);
  };
  const auto exactly = [&](std::size_t until) {
    open_characters = 0;
    carry = 0;
    ws_before = 0;
    base = token_start = exact(until);
  };
  while (n - base >= 64) {
    const ByteMasks masks = byte_masks(p + base);
    std::uint64_t letters = masks.letters, separators = masks.spaces;
    const std::uint64_t ws = masks.ws;
    const std::uint64_t three_ws = ws & ((ws << 1) | (ws_before >> 63)) & ((ws << 2) | (ws_before >> 62));
    // "://" needs a ':' before a '/' (or before the next block, unseen).
    const std::uint64_t colon_slash = masks.colons & ((masks.slashes >> 1) | (std::uint64_t{1} << 63));
    bool special = (masks.ats | colon_slash | three_ws) != 0;
    if (carry != 0) {
      const std::uint64_t carried = (std::uint64_t{1} << carry) - 1;
      if (carry_class == kCarefulLetter) letters |= carried;
      if (carry_class >= kCarefulBlank) separators |= carried;
    }
    unsigned next_carry = 0;
    std::uint8_t next_class = kCarefulOther;
    for (std::uint64_t others = (masks.high & ~masks.continuations) | masks.low; others != 0 && !special;
         others &= others - 1) {
      const auto j = static_cast<unsigned>(std::countr_zero(others));
      const std::uint8_t b = p[base + j];
      if (b < 0x80) {
        separators |= std::uint64_t{(table[b] & kCarefulClassBits) >= kCarefulBlank} << j;
        continue;
      }
      const CodePoint c = decode_at(p, base + j);
      const std::uint8_t e = entry_of(table, c.value);
      special = (e & kCarefulComplexBit) != 0;
      const std::uint8_t cls = e & kCarefulClassBits;
      const std::uint64_t span = ((std::uint64_t{1} << c.length) - 1) << j;
      if (cls == kCarefulLetter) letters |= span;
      if (cls >= kCarefulBlank) separators |= span;
      if (j + c.length > 64) {
        next_carry = static_cast<unsigned>(j + c.length - 64);
        next_class = cls;
      }
    }
    if (special) {
      exactly(base + 64);
      continue;
    }
    carry = next_carry;
    carry_class = next_class;
    ws_before = ws;
    // A word's characters are its bytes less those that continue a character.
    const std::uint64_t continuations = masks.continuations & letters;
    const auto characters = [&](std::uint64_t span, unsigned bytes) -> std::size_t {
      const std::uint64_t c = continuations & span;
      return bytes - (c != 0 ? count_bits(c) : 0);
    };
    // Commits when a token ends in `ends`, white space not yet passed.
    const auto end_token = [&](std::uint64_t ends) {
      handler.commit();
      token_start = base + 64 - static_cast<unsigned>(std::countl_zero(ends));
    };
    std::uint64_t x = letters;
    if (open_characters != 0) {
      const auto run_end = static_cast<unsigned>(std::countr_one(letters));
      if (run_end == 64) {
        open_characters += characters(~std::uint64_t{0}, 64);
        base += 64;
        continue;
      }
      const std::uint64_t span = (std::uint64_t{1} << run_end) - 1;
      const std::size_t letters_in_word = open_characters + characters(span, run_end);
      if (letters_in_word >= kShortest && !handler.add(Word{open_first, base + run_end, letters_in_word})) {
        exactly(base + 64);
        continue;
      }
      open_characters = 0;
      x &= ~span;
    }
    if constexpr (requires { handler.add_runs(base, x, continuations); }) {
      if (handler.takes_runs()) {  // the words of the block at once
        if (x >> 63) {             // a word goes on into the next block
          const auto s = 64 - static_cast<unsigned>(std::countl_one(x));
          open_first = base + s;
          open_characters = characters(~std::uint64_t{0} << s, 64 - s);
          x &= (std::uint64_t{1} << s) - 1;
        }
        if (separators != 0) {
          const auto last = 63 - static_cast<unsigned>(std::countl_zero(separators));
          const std::uint64_t ended = x & ((std::uint64_t{2} << last) - 1);  // all bits when last is 63
          handler.add_runs(base, ended, continuations);
          handler.commit();
          handler.add_runs(base, x & ~ended, continuations);
          token_start = base + last + 1;
        } else {
          handler.add_runs(base, x, continuations);
        }
        base += 64;
        continue;
      }
    }
    std::uint64_t ahead = separators;  // white space not yet passed
    bool open = false, full = false;
    while (x != 0) {
      const auto s = static_cast<unsigned>(std::countr_zero(x));
      const std::uint64_t before = ahead & ((std::uint64_t{1} << s) - 1);
      if (before != 0) {
        end_token(before);
        ahead &= ~before;
      }
      const unsigned length = static_cast<unsigned>(std::countr_one(x >> s));
      if (s + length == 64) {
        open_first = base + s;
        open_characters = characters(~std::uint64_t{0} << s, length);
        open = true;
        break;
      }
      const std::uint64_t span = ((std::uint64_t{1} << length) - 1) << s;
      x &= ~span;
      if (length < kShortest) continue;
      const std::size_t letters_in_word = characters(span, length);
      if (letters_in_word >= kShortest && !handler.add(Word{base + s, base + s + length, letters_in_word})) {
        full = true;
        break;
      }
    }
    if (full) {
      exactly(base + 64);
      continue;
    }
    if (!open && ahead != 0) end_token(ahead);
    base += 64;
  }
  exact(n);
}

// Whether a token of single-unit characters is worth the address check: it
// holds '@' or "://", or starts with "www." (any case) after its punctuation.
inline bool may_be_address(const UnitTable& table, std::string_view token, std::uint8_t bits) {
  if ((bits & kCarefulAddressHint) &&
      (token.find('@') != std::string_view::npos || token.find("://") != std::string_view::npos)) {
    return true;
  }
  const auto* p = reinterpret_cast<const std::uint8_t*>(token.data());
  const auto www = [&](std::size_t i) {
    if (token.size() - i < 4 || p[i + 3] != '.') return false;
    for (std::size_t k = i; k < i + 3; ++k) {
      if ((p[k] | 0x20) != 'w') return false;  // no byte of a longer character gives 'w'
    }
    return true;
  };
  if (p[0] < 0x80 && !(table[p[0]] & kCarefulPunctuation)) return www(0);  // the most tokens
  std::size_t i = 0;
  while (i < token.size()) {
    const CodePoint c = decode_at(p, i);
    if (!(entry_of(table, c.value) & kCarefulPunctuation)) break;
    i += c.length;
  }
  return www(i);
}

// What both ways through the text share: the options' rule, and what the
// exact scan does with a token. A token with a character of several units
// goes to Derived::complex_token, an address stays as it is, the words of
// any other token go to Derived::word.
template <class Derived>
class TokenHandler {
 public:
  TokenHandler(std::string_view text, const ScrambleOptions& options)
      : text_(text), p_(reinterpret_cast<const std::uint8_t*>(text.data())), rule_(options),
        check_kept_(!options.keep.empty()) {}

  std::size_t exact(std::size_t from, std::size_t until) { return scan_tokens(text_, from, until, self()); }

  void token(const Token& token) {
    const std::string_view bytes = text_.substr(token.start, token.end - token.start);
    if (token.bits & kCarefulComplexBit) {
      decode(bytes, units_);
      self().complex_token(units_, token);
      return;
    }
    if (may_be_address(table_, bytes, token.bits)) {
      decode(bytes, units_);
      if (is_address_token(units_)) return;
    }
    if (token.words) {
      for (const Word& w : *token.words) self().word(w);
    } else {
      for_each_word(table_, p_, token.start, token.end, [&](const Word& w) { self().word(w); });
    }
  }

  std::vector<Word> words;  // scan_tokens' list of a token's words

 protected:
  // Whether the options scramble (or count) the word: not kept, long enough.
  bool eligible(const Word& word) {
    if (!rule_.eligible(word.characters)) return false;
    if (!check_kept_) return true;
    decode(text_.substr(word.first, word.end - word.first), units_);
    return !rule_.kept(units_);
  }

  std::string_view text_;
  const std::uint8_t* p_;
  const UnitTable& table_ = careful_unit_table();
  WordRule rule_;

 private:
  Derived& self() { return static_cast<Derived&>(*this); }

  bool check_kept_;
  std::u16string units_;
};

// The draws of the words, by the options' rule.
class CountHandler : public TokenHandler<CountHandler> {
 public:
  CountHandler(std::string_view text, const ScrambleOptions& options)
      : TokenHandler(text, options), rate_draw_(rule_.rate_draws() ? 1 : 0),
        min_length_(static_cast<unsigned>(std::min<std::size_t>(options.min_length, 64))),
        runs_(options.keep.empty() && options.min_length <= kRunsUpTo), sink_(rule_) {}

  // The words of an open token count once it ends.
  bool add(const Word& word) {
    pending_ += draws(word);
    return true;
  }
  void commit() {
    sink_.draws += pending_;
    pending_ = 0;
  }
  void discard() { pending_ = 0; }

  void word(const Word& word) { sink_.draws += draws(word); }

  // Whether add_runs may take the words of a block: no word to keep, and
  // min_length small enough for the bit operations below.
  bool takes_runs() const { return runs_; }

  // Adds the draws of the words in `letters` (bits of the 64 bytes at a
  // base, each run of them one whole word; `continuations` marks the bytes
  // that continue a character). Words with a letter of several bytes one by one; the
  // others at once: a word of min_length or more letters is a run that
  // holds min_length bits in a row.
  void add_runs(std::size_t, std::uint64_t letters, std::uint64_t continuations) {
    for (std::uint64_t c = continuations & letters; c != 0; c &= letters) {
      const auto j = static_cast<unsigned>(std::countr_zero(c));
      const std::uint64_t gaps = ~letters & ((std::uint64_t{1} << j) - 1);
      const unsigned s = gaps != 0 ? 64 - static_cast<unsigned>(std::countl_zero(gaps)) : 0;
      const unsigned bytes = j - s + static_cast<unsigned>(std::countr_one(letters >> j));
      const std::uint64_t span = (bytes == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bytes) - 1) << s;
      const std::size_t characters = bytes - count_bits(continuations & span);
      pending_ += characters >= min_length_ ? characters - 2 + rate_draw_ : 0;
      letters &= ~span;
    }
    std::uint64_t window = 0, covered = 0;  // window bit k: min_length letters in a row from k
    if (min_length_ == 4) {                  // the default, unrolled
      window = letters & (letters >> 1) & (letters >> 2) & (letters >> 3);
      covered = window | (window << 1) | (window << 2) | (window << 3);
    } else {
      window = letters;
      for (unsigned i = 1; i < min_length_; ++i) window &= letters >> i;
      covered = window;
      for (unsigned i = 1; i < min_length_; ++i) covered |= window << i;
    }
    const std::size_t words = count_bits(window & ~(letters << 1));
    pending_ += count_bits(covered) + words * rate_draw_ - 2 * words;
  }

  void complex_token(std::u16string_view units, const Token& token) {
    if (token.after_blank) scanner_.start_after_blank();
    scanner_.push(units, true, sink_);
  }

  std::size_t draws() const { return sink_.draws; }

 private:
  std::size_t draws(const Word& word) { return eligible(word) ? word.characters - 2 + rate_draw_ : 0; }

  struct Sink {
    explicit Sink(const WordRule& rule) : rule(rule) {}
    void put(char16_t) {}
    void put(std::u16string_view) {}
    void word(std::u16string_view units, bool simple, std::size_t) { draws += rule.draws(units, simple, bounds); }
    const WordRule& rule;
    std::vector<std::uint32_t> bounds;
    std::size_t draws = 0;
  };

  static constexpr std::size_t kRunsUpTo = 8;  // the longest min_length add_runs takes
  std::size_t rate_draw_;
  unsigned min_length_;
  bool runs_;
  std::size_t pending_ = 0;  // the draws of the words of the open token
  Sink sink_;
  CarefulScanner<Sink> scanner_;
};

// Writes the scrambled text: everything copied as it is first, then each
// word's letters shuffled in place. `kDefault`: the default
// options, where every word of four or more letters is shuffled.
template <class Source, bool kDefault>
class WriteHandler : public TokenHandler<WriteHandler<Source, kDefault>> {
  using Base = TokenHandler<WriteHandler<Source, kDefault>>;
  using Base::p_;
  using Base::rule_;
  using Base::text_;

 public:
  using Words = std::conditional_t<kDefault, WordShuffler<Source>, OptionWords<Source>>;

  WriteHandler(std::string_view text, Source& random, const ScrambleOptions& options, char* to)
      : Base(text, options), to_(to), random_(random), sink_(make_words(random, options)) {
    std::memcpy(to, text.data(), text.size());
  }

  char* end() const { return to_ + text_.size(); }

  // The words of an open token are written once it ends.
  bool add(const Word& word) {
    if (pending_count_ == kPending) return false;
    pending_[pending_count_++] = word;
    return true;
  }
  void commit() {
    for (std::size_t k = 0; k < pending_count_; ++k) this->word(pending_[k]);
    pending_count_ = 0;
  }
  void discard() { pending_count_ = 0; }

  void word(const Word& word) {
    if constexpr (kDefault) {
      if (word.characters < 4) return;
      shuffle(word, to_ + word.first);
    } else {
      if (!this->eligible(word)) return;
      const bool scrambled = rule_.draw_scrambled(random_);
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
  }

  // A token with a character of several units or of a spaceless script,
  // decoded: scanned as the UTF-16 road scans it, encoded back in place.
  void complex_token(std::u16string_view units, const Token& token) {
    scrambled_.clear();
    {
      Output output(scrambled_, units.size());
      sink_.output = &output;
      if (token.after_blank) scanner_.start_after_blank();
      scanner_.push(units, true, sink_);
    }
    encode(scrambled_, to_ + token.start);
  }

 private:
  // Writes the word's first letter, its inner letters shuffled as
  // WordShuffler does (one draw per inner letter), and its last letter.
  // Flattened: the draws are compiled into the shuffle's loop.
  [[gnu::flatten]] void shuffle(const Word& word, char* to) {
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
    // last letter, written after, and the two bytes after the word, written
    // again, cover what was written too many; at the end of the text the
    // letters go byte by byte.
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
    for (std::size_t i = 0; i < first_end; ++i) to[i] = static_cast<char>(p[i]);  // short: no memcpy call
    char* cursor = to + first_end;
    const auto value = [&](std::size_t i) { return packed_[i]; };
    if (word.end + 2 <= text_.size()) {
      shuffle_values(count, random_, value, [&](std::uint32_t c) {
        cursor[0] = static_cast<char>(c & 0xFF);
        cursor[1] = static_cast<char>((c >> 8) & 0xFF);
        cursor[2] = static_cast<char>((c >> 16) & 0xFF);
        cursor += c >> 24;
      });
      for (std::size_t i = last_start; i < size + 2; ++i) to[i] = static_cast<char>(p[i]);
    } else {
      shuffle_values(count, random_, value, [&](std::uint32_t c) {
        for (std::uint32_t k = 0; k < c >> 24; ++k) *cursor++ = static_cast<char>((c >> (8 * k)) & 0xFF);
      });
      for (std::size_t i = last_start; i < size; ++i) to[i] = static_cast<char>(p[i]);
    }
  }

 private:
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

  char* to_;
  Source& random_;
  Sink sink_;
  CarefulScanner<Sink> scanner_;
  std::u16string scrambled_;
  std::vector<std::uint32_t> packed_;
  static constexpr std::size_t kPending = 64;
  Word pending_[kPending];
  std::size_t pending_count_ = 0;
};

// Notes the words of the default options for DeferredShuffles, the text
// copied as it is beforehand; a token with a character of several units
// makes the layout fail (the one-step scramble then does it all).
class LayoutHandler : public TokenHandler<LayoutHandler> {
 public:
  LayoutHandler(std::string_view text, DeferredShuffles& shuffles)
      : TokenHandler(text, careful_options()), shuffles_(shuffles) {}

  bool failed() const { return failed_; }

  // The words of an open token are noted once it ends, in their order.
  bool add(const Word& word) {
    if (pending_count_ == kPending) return false;
    pending_[pending_count_++] = Pending{false, word.first, word.end, word.characters};
    return true;
  }
  void commit() {
    for (std::size_t k = 0; k < pending_count_; ++k) {
      const Pending& held = pending_[k];
      if (held.runs) {
        note_runs(held.at, held.letters, held.continuations);
      } else {
        word(Word{held.at, static_cast<std::size_t>(held.letters), static_cast<std::size_t>(held.continuations)});
      }
    }
    pending_count_ = 0;
  }
  void discard() { pending_count_ = 0; }

  void word(const Word& word) {
    if (word.characters < 4) return;
    const std::size_t bytes = word.end - word.first;
    std::uint64_t starts = 0;
    if (word.characters != bytes) {
      for (std::size_t i = 0; i < std::min<std::size_t>(bytes, 64); ++i) {
        starts |= std::uint64_t{(p_[word.first + i] & 0xC0) != 0x80} << i;
      }
    }
    shuffles_.note(word.first, word.end, word.first, bytes - word.characters, starts);
  }

  bool takes_runs() const { return true; }
  // The words in `letters`, bits of the 64 bytes at `base`, each run of
  // them one whole word, held until their token ends.
  void add_runs(std::size_t base, std::uint64_t letters, std::uint64_t continuations) {
    if (letters == 0) return;
    if (pending_count_ == kPending) {
      failed_ = true;  // a token of very many blocks: left to the one-step scramble
      return;
    }
    pending_[pending_count_++] = Pending{true, base, letters, continuations};
  }

  void complex_token(std::u16string_view, const Token&) { failed_ = true; }

 private:
  // A word held (first, end, characters) or the runs of a block (base,
  // letters, continuations).
  struct Pending {
    bool runs;
    std::size_t at;
    std::uint64_t letters, continuations;
  };

  static ScrambleOptions careful_options() {
    ScrambleOptions options;
    options.mode = Mode::careful;
    return options;
  }

  // The words of four bytes or more (the others have nothing to shuffle).
  void note_runs(std::size_t base, std::uint64_t x, std::uint64_t continuations) {
    for (std::uint64_t w = x & ~(x << 1) & (x >> 1) & (x >> 2) & (x >> 3); w != 0; w &= w - 1) {
      const auto s = static_cast<unsigned>(std::countr_zero(w));
      const auto bytes = static_cast<unsigned>(std::countr_one(x >> s));
      const std::uint64_t span = (bytes == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bytes) - 1) << s;
      const std::uint64_t inside = continuations & span;
      shuffles_.note(base + s, base + s + bytes, base + s, inside == 0 ? 0 : count_bits(inside), ~continuations >> s);
    }
  }

  DeferredShuffles& shuffles_;
  bool failed_ = false;
  static constexpr std::size_t kPending = 64;
  Pending pending_[kPending];
  std::size_t pending_count_ = 0;
};

bool careful_default(const ScrambleOptions& options) {
  ScrambleOptions words = options;
  words.mode = Mode::classic;
  return is_classic_default(words);
}

template <class Source, bool kDefault>
char* write(std::string_view text, Source& random, const ScrambleOptions& options, char* to) {
  WriteHandler<Source, kDefault> handler(text, random, options, to);
  scan_blocks(text, handler);
  return handler.end();
}

}  // namespace

template <class Source>
char* careful_scramble_utf8(std::string_view text, Source& random, const ScrambleOptions& options, char* to) {
  if (careful_default(options)) return write<Source, true>(text, random, options, to);
  return write<Source, false>(text, random, options, to);
}

template char* careful_scramble_utf8<DefaultRandom>(std::string_view, DefaultRandom&, const ScrambleOptions&, char*);
template char* careful_scramble_utf8<RecordRandom>(std::string_view, RecordRandom&, const ScrambleOptions&, char*);

bool careful_lay_out_utf8(std::string_view text, char* to, DeferredShuffles& shuffles) {
  if (text.size() > DeferredShuffles::kLongest) return false;
  shuffles.start(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), to);
  std::memcpy(to, text.data(), text.size());
  LayoutHandler handler(text, shuffles);
  scan_blocks(text, handler);
  return !handler.failed();
}

std::size_t careful_count_draws_utf8(std::string_view text, const ScrambleOptions& options) {
  CountHandler handler(text, options);
  scan_blocks(text, handler);
  return handler.draws();
}

}  // namespace textquirl::internal
