#include "engine/record.hpp"


#include "engine/error.hpp"

namespace textquirl {
namespace {

constexpr std::uint64_t kFnvOffset = 0xCBF29CE484222325u, kFnvPrime = 0x100000001B3u;

constexpr std::uint64_t fnv_byte(std::uint64_t h, unsigned char byte) { return (h ^ byte) * kFnvPrime; }

constexpr unsigned char kNumberKey = 0, kTextKey = 1;

// Whether `bytes` is UTF-8 of scalar values (no surrogates, nothing beyond
// U+10FFFF, no overlong forms).
bool is_utf8(std::string_view bytes) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = at(i);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i < length || at(i + 1) < low || at(i + 1) > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if ((at(i + k) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

RecordKey RecordKey::number(std::uint64_t n) {
  std::uint64_t h = fnv_byte(kFnvOffset, kNumberKey);
  for (int i = 0; i < 8; ++i) h = fnv_byte(h, static_cast<unsigned char>(n >> (8 * i)));
  return RecordKey(h);
}

RecordKey RecordKey::text(std::string_view utf8) {
  if (!is_utf8(utf8)) internal::fail_argument("textquirl: record key is not UTF-8 text");
  std::uint64_t h = fnv_byte(kFnvOffset, kTextKey);
  for (const char c : utf8) h = fnv_byte(h, static_cast<unsigned char>(c));
  return RecordKey(h);
}

}  // namespace textquirl
