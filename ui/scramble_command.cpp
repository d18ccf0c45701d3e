#include "ui/scramble_command.hpp"

#include <exception>
#include <new>
#include <utility>

#include "engine/scramble.hpp"

namespace textquirl {
namespace {

// Exception texts are UTF-8; each byte that starts no valid sequence
// becomes U+FFFD.
std::u16string from_utf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      length = 1, c = lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2, c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3, c = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      length = 4, c = lead & 0x07u;
    }
    bool valid = length != 0 && i + length <= bytes.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3Fu);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

// The reason given for a word the engine cannot index.
std::u16string_view reason(const WordTooLong& error) {
  switch (error.limit()) {
    case WordTooLong::Limit::kShuffle: return u"Wort zu lang zum Verwurschteln";
    case WordTooLong::Limit::kSplit: return u"Wort zu lang für die Zerlegung in Zeichen";
  }
  return u"Wort zu lang";
}

}  // namespace

ScrambleCommand::Outcome ScrambleCommand::run(std::u16string_view text, const ScrambleOptions& options) {
  try {
    return {true, scrambler_ ? scrambler_(text) : scramble(text, random_, options)};
  } catch (const std::bad_alloc&) {
    return {false, scramble_failure_message(kOutOfMemoryReason)};
  } catch (const WordTooLong& e) {
    return {false, scramble_failure_message(reason(e))};
  } catch (const std::exception& e) {
    return {false, scramble_failure_message(from_utf8(e.what()))};
  } catch (...) {
    return {false, scramble_failure_message(kUnknownFailureReason)};
  }
}

void ScrambleCommand::set_scrambler(Scrambler scrambler) { scrambler_ = std::move(scrambler); }

}  // namespace textquirl
