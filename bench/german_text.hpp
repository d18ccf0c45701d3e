// Generated German-like prose for benchmarks: common words with umlauts and
// ß, sentences with commas, quotes, hyphens and parentheses, paragraphs and
// line breaks. Deterministic for a given seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace textquirl::bench {

// About `units` UTF-16 units of prose, lines ending in `line_break`.
std::u16string german_text(std::size_t units, std::u16string_view line_break = u"\r\n",
                           std::uint32_t seed = 1);

}  // namespace textquirl::bench
