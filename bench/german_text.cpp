#include "german_text.hpp"

#include <array>
#include <random>

namespace textquirl::bench {

std::u16string german_text(std::size_t units, std::u16string_view line_break, std::uint32_t seed) {
  static constexpr std::array<std::u16string_view, 64> kWords = {
      u"der", u"die", u"und", u"in", u"den", u"von", u"zu", u"das", u"mit", u"sich", u"des", u"auf",
      u"für", u"ist", u"im", u"dem", u"nicht", u"ein", u"eine", u"als", u"auch", u"es", u"an", u"werden",
      u"aus", u"er", u"hat", u"dass", u"sie", u"nach", u"wird", u"bei", u"einer", u"Menschen", u"Buchstaben",
      u"Reihenfolge", u"Universität", u"Straße", u"Größe", u"schön", u"Übung", u"Mädchen", u"fröhlich",
      u"Wörter", u"lesen", u"Zwischenablage", u"Kaffee", u"Hund", u"Katze", u"Sonntag", u"Frühstück",
      u"Geschichte", u"vielleicht", u"natürlich", u"Bahnhof", u"Fußball", u"Regenschirm", u"Wissenschaft",
      u"überraschend", u"gemütlich", u"Donaudampfschifffahrt", u"E-Mail", u"Erklärung", u"Abend"};
  std::mt19937 gen(seed);
  std::u16string text;
  text.reserve(units + 64);
  std::size_t in_sentence = 0, in_paragraph = 0;
  while (text.size() < units) {
    const std::uint32_t roll = gen();
    std::u16string_view word = kWords[roll % kWords.size()];
    const bool quoted = roll % 97 == 0, bracketed = roll % 89 == 0;
    if (quoted) text += u'"';
    if (bracketed) text += u'(';
    if (in_sentence == 0) {
      // Sentences start with a capital.
      text += static_cast<char16_t>(word[0] >= u'a' && word[0] <= u'z' ? word[0] - 32 : word[0]);
      text += word.substr(1);
    } else {
      text += word;
    }
    if (bracketed) text += u')';
    if (quoted) text += u'"';
    ++in_sentence;
    if (in_sentence > 4 && roll % 9 == 0) {
      text += roll % 5 == 0 ? u'?' : (roll % 7 == 0 ? u'!' : u'.');
      in_sentence = 0;
      if (++in_paragraph > 5 && roll % 3 == 0) {
        text += line_break;
        text += line_break;
        in_paragraph = 0;
        continue;
      }
    } else if (roll % 11 == 0) {
      text += u',';
    }
    text += roll % 13 == 0 ? line_break : u" ";
  }
  return text;
}

}  // namespace textquirl::bench
