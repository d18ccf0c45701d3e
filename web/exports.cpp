#include "web/exports.hpp"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/line_breaks.hpp"
#include "engine/options.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "ui/scramble_failure.hpp"

#define TEXTQUIRL_EXPORT(name) __attribute__((export_name(#name)))

namespace {

using textquirl::DefaultRandom;

DefaultRandom generator;  // the windows' start unless textquirl_seed says otherwise
textquirl::ScrambleOptions options;
std::u16string text;      // the page's text
std::u16string key;       // a record's text key
std::u16string result;    // what the page reads back
bool out_of_memory = false;

// The option codes of textquirl_set_options, by the names validate() gives.
enum OptionCode : std::uint32_t { kMode = 1, kMinLength, kRate, kAlwaysChange, kKeepUnits };

OptionCode option_code(std::string_view name) {
  if (name == "mode") return kMode;
  if (name == "min_length") return kMinLength;
  return kRate;
}

// The keep words: the LF-separated parts of `list` (empty parts give no word).
std::vector<std::u16string> keep_words(std::u16string_view list) {
  std::vector<std::u16string> words;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find(u'\n'), list.size());
    if (end > 0) words.emplace_back(list.substr(0, end));
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return words;
}

// `s` as UTF-8, or false when it holds a lone surrogate.
bool to_utf8(std::u16string_view s, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c > 0xDBFF || i + 1 == s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

std::u16string ascii(std::string_view s) { return {s.begin(), s.end()}; }

std::u16string json(int n) { return ascii(std::to_string(n)); }

// A share from 0 to 1 in JSON, to four decimals (the defaults need no more):
// json_share(1.0) == u"1", json_share(0.25) == u"0.25".
std::u16string json_share(double x) {
  const int ten_thousandths = static_cast<int>(x * 10000 + 0.5);
  std::u16string out = json(ten_thousandths / 10000);
  if (const int rest = ten_thousandths % 10000) {
    std::u16string digits = json(10000 + rest).substr(1);
    while (digits.back() == u'0') digits.pop_back();
    out += u'.' + digits;
  }
  return out;
}

std::uint32_t hand_out(std::u16string s) {
  result = std::move(s);
  return static_cast<std::uint32_t>(result.size());
}

// The text written last, scrambled with `random` and the module's options,
// line breaks as the page's; the text is used up.
std::uint32_t scramble_text(textquirl::RandomSource& random) {
  std::u16string crlf = textquirl::to_crlf(text);
  std::u16string().swap(text);
  std::u16string scrambled = textquirl::scramble(crlf, random, options);
  std::u16string().swap(crlf);
  return hand_out(textquirl::crlf_to_lf(std::move(scrambled)));
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

// The page's text goes to the engine as the windows hand theirs: every LF
// that does not follow a CR becomes CR LF; a lone CR stays a character.
TEXTQUIRL_EXPORT(textquirl_scramble) std::uint32_t textquirl_scramble() { return scramble_text(generator); }

TEXTQUIRL_EXPORT(textquirl_set_options)
std::uint32_t textquirl_set_options(std::uint32_t mode, std::uint32_t min_length, double rate,
                                    std::uint32_t always_change, std::uint32_t keep_units) {
  if (mode > static_cast<std::uint32_t>(textquirl::Mode::careful)) return kMode;
  if (always_change > 1) return kAlwaysChange;
  if (keep_units > text.size()) return kKeepUnits;
  textquirl::ScrambleOptions next;
  next.mode = static_cast<textquirl::Mode>(mode);
  next.min_length = min_length;
  next.rate = rate;
  next.always_change = always_change != 0;
  if (const char* bad = textquirl::invalid_option(next)) return option_code(bad);
  next.keep = keep_words(std::u16string_view(text).substr(0, keep_units));
  std::u16string().swap(text);
  options = std::move(next);
  return 0;
}

TEXTQUIRL_EXPORT(textquirl_defaults) std::uint32_t textquirl_defaults() {
  const textquirl::ScrambleOptions defaults;
  std::u16string out = u"{\"seed\":" + ascii(std::to_string(DefaultRandom::kDefaultSeed));
  out += u",\"mode\":" + json(static_cast<int>(defaults.mode));
  out += u",\"minLength\":" + ascii(std::to_string(defaults.min_length));
  out += u",\"rate\":" + json_share(defaults.rate);
  out += u",\"alwaysChange\":" + ascii(defaults.always_change ? "true" : "false") + u'}';
  return hand_out(std::move(out));
}

TEXTQUIRL_EXPORT(textquirl_seed) void textquirl_seed(std::uint32_t seed) { generator = DefaultRandom(seed); }

TEXTQUIRL_EXPORT(textquirl_scramble_record)
std::uint32_t textquirl_scramble_record(std::uint32_t seed, std::uint64_t number) {
  textquirl::RecordRandom random(seed, textquirl::RecordKey::number(number));
  return scramble_text(random);
}

TEXTQUIRL_EXPORT(textquirl_key) char16_t* textquirl_key(std::uint32_t units) {
  key.assign(units, u'\0');
  return key.data();
}

TEXTQUIRL_EXPORT(textquirl_scramble_record_text) std::uint32_t textquirl_scramble_record_text(std::uint32_t seed) {
  std::string utf8;
  if (!to_utf8(key, utf8)) {
    std::u16string().swap(text);
    return 0xFFFFFFFF;
  }
  textquirl::RecordRandom random(seed, textquirl::RecordKey::text(utf8));
  return scramble_text(random);
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
