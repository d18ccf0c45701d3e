// The four procedures against their slow textbook versions on arbitrary
// input. The first byte picks the procedure and the split of the rest into
// text, search text and replacement.
#include <cstdint>
#include <string>

#include "engine/letter_shuffle.hpp"
#include "engine/text_primitives.hpp"
#include "fuzz_common.hpp"
#include "tests/support/engine_reference.hpp"

using textquirl::StringArray;
using textquirl::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const unsigned which = data[0] % 4;
  const std::u16string all = textquirl::fuzz::units_of(data + 3, size - 3);
  // Short search texts find more.
  const std::size_t from_length = std::min<std::size_t>(data[1] % 5, all.size());
  const std::size_t to_length = std::min<std::size_t>(data[2] % 7, all.size() - from_length);
  const std::u16string_view from = std::u16string_view(all).substr(0, from_length);
  const std::u16string_view to = std::u16string_view(all).substr(from_length, to_length);
  const std::u16string_view text = std::u16string_view(all).substr(from_length + to_length);
  if (text.size() > 4000) return 0;

  switch (which) {
    case 0:
      check(textquirl::stringreplace(text, from, to) == textquirl::reference::stringreplace(text, from, to),
            "stringreplace");
      break;
    case 1: {
      std::u16string d1(from), d2(from);
      StringArray fast{u"stale"}, slow;
      textquirl::csv_zerlegen(text, fast, d1);
      textquirl::reference::csv_zerlegen(text, slow, d2);
      check(fast == slow && d1 == d2, "csv_zerlegen");
      break;
    }
    case 2: {
      StringArray fast{u"stale", u"x"}, slow;
      textquirl::buchstaben_zerlegen(text, fast);
      textquirl::reference::buchstaben_zerlegen(text, slow);
      check(fast == slow, "buchstaben_zerlegen");
      break;
    }
    default: {
      StringArray fast(1);
      for (const char16_t c : text) fast.emplace_back(1, c);
      StringArray slow = fast;
      const std::uint32_t seed = data[1] | (data[2] << 8);
      textquirl::DefaultRandom a(seed), b(seed);
      check(textquirl::verwurschteln(fast, a) == textquirl::reference::verwurschteln(slow, b), "verwurschteln");
      check(fast.size() == 1 && fast[0].empty(), "argument consumed");
      break;
    }
  }
  return 0;
}
