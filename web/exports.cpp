#include "web/exports.hpp"

#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "engine/line_breaks.hpp"
#include "engine/scramble.hpp"
#include "ui/scramble_failure.hpp"

#define TEXTQUIRL_EXPORT(name) __attribute__((export_name(#name)))

namespace {

using textquirl::DefaultRandom;

DefaultRandom generator;  // never seeded, as in the windows
std::u16string text;      // the page's text
std::u16string result;    // what the page reads back
bool out_of_memory = false;

std::uint32_t hand_out(std::u16string s) {
  result = std::move(s);
  return static_cast<std::uint32_t>(result.size());
}

}  // namespace

// Every allocation of the module comes here, so that a lack of memory is
// known as such when the module traps.
void* operator new(std::size_t size) {
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  out_of_memory = true;
  __builtin_trap();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

extern "C" {

TEXTQUIRL_EXPORT(textquirl_text) char16_t* textquirl_text(std::uint32_t units) {
  std::u16string().swap(result);
  text.assign(units, u'\0');
  return text.data();
}

TEXTQUIRL_EXPORT(textquirl_scramble) std::uint32_t textquirl_scramble() {
  // The page's text as the windows hand theirs to the engine: every LF
  // that does not follow a CR becomes CR LF; a lone CR stays a character.
  std::u16string crlf = textquirl::to_crlf(text);
  std::u16string().swap(text);
  std::u16string scrambled = textquirl::scramble(crlf, generator);
  std::u16string().swap(crlf);
  return hand_out(textquirl::crlf_to_lf(std::move(scrambled)));
}

TEXTQUIRL_EXPORT(textquirl_result) const char16_t* textquirl_result() { return result.data(); }

TEXTQUIRL_EXPORT(textquirl_drawn) double textquirl_drawn() { return static_cast<double>(generator.drawn()); }

TEXTQUIRL_EXPORT(textquirl_skip) void textquirl_skip(double values) {
  if (values > 0) generator.discard(static_cast<std::uint64_t>(values));
}

TEXTQUIRL_EXPORT(textquirl_out_of_memory) std::uint32_t textquirl_out_of_memory() { return out_of_memory ? 1 : 0; }

TEXTQUIRL_EXPORT(textquirl_failure_message) std::uint32_t textquirl_failure_message(std::uint32_t oom) {
  return hand_out(textquirl::scramble_failure_message(oom != 0 ? textquirl::kOutOfMemoryReason
                                                                : textquirl::kUnknownFailureReason));
}

}  // extern "C"
