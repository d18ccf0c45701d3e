// The three text primitives the scramble rests on: replace-all, split at a
// delimiter, split into characters.
//
// Texts are sequences of 16-bit units; searches and comparisons are exact
// (by unit value, case-sensitive, no locale). Arrays follow one layout
// everywhere: element 0 is empty and never filled, the payload stands at
// indices 1 .. size() - 1, so the upper bound size() - 1 is the element count.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace textquirl {

// A string array in the element-0-empty layout described above.
using StringArray = std::vector<std::u16string>;

// Returns `eingabe` with every occurrence of `ersetzenvon` replaced by
// `ersetzendurch`, found left to right without overlap; text that a
// replacement inserts is never searched again. An empty `ersetzenvon`, or one
// equal to `ersetzendurch`, returns the input unchanged. Linear in the sizes.
//   stringreplace(u"a    b", u"  ", u" ") == u"a  b"
//   stringreplace(u"aaa", u"a", u"aa") == u"aaaaaa"
std::u16string stringreplace(std::u16string_view eingabe,
                             std::u16string_view ersetzenvon,
                             std::u16string_view ersetzendurch);

// Splits `eingabe` at every occurrence of `delimiter` into `ergebnis`
// (overwritten): one element more than there are delimiters, empty elements
// where delimiters meet or stand at either end. An empty `delimiter` is set to
// u";" (the caller sees the change) and used as such.
//   std::u16string d = u" ";
//   csv_zerlegen(u"a  b", arr, d);  // arr == StringArray{u"", u"a", u"", u"b"}
//   csv_zerlegen(u"", arr, d);      // arr == StringArray{u"", u""}
void csv_zerlegen(std::u16string_view eingabe, StringArray& ergebnis,
                  std::u16string& delimiter);

// Splits `eingabe` into its user-perceived characters (extended grapheme
// clusters, root locale) into `ergebnis` (overwritten). A letter with
// combining accents, an emoji sequence or a surrogate pair is one element.
//   buchstaben_zerlegen(u"abc", arr);  // arr == StringArray{u"", u"a", u"b", u"c"}
//   buchstaben_zerlegen(u"", arr);     // arr == StringArray{u""}
void buchstaben_zerlegen(std::u16string_view eingabe, StringArray& ergebnis);

}  // namespace textquirl
