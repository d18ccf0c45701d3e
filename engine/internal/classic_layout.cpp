#include "engine/internal/classic_layout.hpp"

#include <bit>
#include <cstring>

#include "engine/internal/shuffle.hpp"
#include "engine/internal/utf8_blocks.hpp"

// The spacing of the classic scan, 64 bytes at a time. The scan writes each
// token (a word, a mark, a line break) after a space when it is a word, an
// opening mark or a line break and the last token before it is a word or a
// closing mark; spaces in the text only part tokens. Most blocks of prose
// already have exactly those spaces: they are copied whole. Elsewhere the
// block is copied around its edits: spaces that go, spaces that come.

namespace textquirl::internal {
namespace {

using utf8::bit;
using utf8::Blocks;

// Bits below j, and up to j.
inline std::uint64_t below(unsigned j) { return bit(j) - 1; }
inline std::uint64_t up_to(unsigned j) { return (bit(j) << 1) - 1; }

}  // namespace

bool ClassicLayout::lay_out(std::string_view text, char* to, bool& space) {
  const std::size_t n = text.size();
  if (n > kLongest) return false;
  const auto* const p = reinterpret_cast<const std::uint8_t*>(text.data());
  shuffles_.start(p, n, to);
  end_ = to;
  if (n == 0) return true;
  const auto note = [&](std::size_t from, std::size_t end, std::size_t at, std::size_t continuations,
                        std::uint64_t starts) { shuffles_.note(from, end, at, continuations, starts); };

  Blocks blocks(text);
  char* out = to;
  std::uint64_t flag = space;  // bit 0: a word after the last block's bytes gets a space
  bool pending = false;        // the last block ended in a space, written; the next token decides
  std::uint64_t in_word = 0;   // bit 0: a word runs on from the last block
  std::size_t word_from = 0, word_at = 0, word_continuations = 0;
  std::uint64_t word_starts = 0;  // of the word running on: its characters' starts in its first block, from bit 0
  for (blocks.load_first();; blocks.load_next()) {
    if (blocks.joins != 0) return false;
    const std::size_t base = blocks.base();
    const bool full = n - base >= 64;
    const std::uint64_t words = blocks.words, spaces = blocks.spaces;
    // After which bytes a word gets a space: those of words and closing
    // marks; then carried over the spaces after them.
    const std::uint64_t wanting = ~spaces & ~blocks.opening & ~blocks.lfs;
    const std::uint64_t seeds = ((wanting << 1) | flag) & spaces;
    const std::uint64_t flags = wanting | (spaces & ~(spaces + seeds));
    const std::uint64_t starts = words & ~((words << 1) | in_word);
    const std::uint64_t needs = (starts | blocks.opening | blocks.lfs) & ((flags << 1) | flag);
    if (pending && (needs & 1) == 0) --out;  // the space at the end of the last block goes
    std::uint64_t gone = spaces & ~(needs >> 1);
    if (full) gone &= ~bit(63);  // decided by the next block
    const std::uint64_t added = needs & ~((spaces << 1) | std::uint64_t{pending});
    const std::uint64_t edits = gone | added;
    char* const out_base = out;
    const std::uint8_t* const bytes = p + base;
    if (edits == 0) {
      std::memcpy(out, bytes, 64);
      out += 64;
    } else {
      char* o = out;
      unsigned last = 0;
      for (std::uint64_t e = edits; e != 0; e &= e - 1) {
        const auto j = static_cast<unsigned>(std::countr_zero(e));
        std::memcpy(o, bytes + last, j - last);
        o += j - last;
        if ((gone >> j) & 1) {
          last = j + 1;
        } else {
          *o++ = ' ';
          last = j;
        }
      }
      const unsigned m = full ? 64 : static_cast<unsigned>(n - base);
      if (last < m) {
        std::memcpy(o, bytes + last, m - last);
        o += m - last;
      }
      out = o;
    }
    // Where a word starting at bit j lands in the result, for j rising:
    // moved by the edits up to j (a word never starts at a space that goes).
    std::uint64_t edits_ahead = edits;
    std::size_t shift = static_cast<std::size_t>(out_base - to);
    const auto place = [&](unsigned j) -> std::size_t {
      while (edits_ahead != 0 && (edits_ahead & up_to(j)) != 0) {
        const auto e = static_cast<unsigned>(std::countr_zero(edits_ahead));
        shift += (added >> e) & 1;
        shift -= (gone >> e) & 1;
        edits_ahead &= edits_ahead - 1;
      }
      return shift + j;
    };

    const std::uint64_t continuations = words & ~blocks.starts;
    if (in_word != 0) {
      if (~words == 0) {
        word_continuations += count_bits(continuations);
      } else {
        const auto e = static_cast<unsigned>(std::countr_zero(~words));
        const std::size_t before = base - word_from;  // its bytes in the blocks before
        if (before < 64) word_starts |= (blocks.starts & below(e)) << before;
        note(word_from, base + e, word_at, word_continuations + count_bits(continuations & below(e)), word_starts);
        in_word = 0;
      }
    }
    // The words of four bytes or more (the bytes past the block taken for
    // word bytes): only they may have something to shuffle.
    std::uint64_t rest = starts;
    for (unsigned k = 1; k < 4; ++k) rest &= (words >> k) | ~(~std::uint64_t{0} >> k);
    for (; rest != 0; rest &= rest - 1) {
      const auto s = static_cast<unsigned>(std::countr_zero(rest));
      const std::uint64_t after = ~words & ~below(s);
      if (after != 0) {
        const auto e = static_cast<unsigned>(std::countr_zero(after));
        const std::uint64_t inside = continuations & below(e) & ~below(s);
        note(base + s, base + e, place(s), inside == 0 ? 0 : count_bits(inside), blocks.starts >> s);
      } else {
        in_word = 1;
        word_from = base + s;
        word_at = place(s);
        word_starts = blocks.starts >> s;
        word_continuations = count_bits(continuations & ~below(s));
      }
    }
    flag = flags >> 63;
    pending = full && (spaces >> 63) != 0;
    if (blocks.last()) break;
  }
  if (in_word != 0) note(word_from, n, word_at, word_continuations, word_starts);
  if (pending) --out;
  space = flag != 0;
  end_ = out;
  return true;
}

char* ClassicLayout::shuffle(DefaultRandom& random) {
  shuffles_.shuffle(random);
  return end_;
}

}  // namespace textquirl::internal
