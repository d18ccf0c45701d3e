// The letter shuffle: a random permutation of a string array's elements.
#pragma once

#include <string>

#include "random_source.hpp"
#include "text_primitives.hpp"

namespace textquirl {

// Returns the payload elements of `eingabe` concatenated in a random order
// and leaves `eingabe` holding only its empty element 0. Draws exactly one
// value from `zufall` per element: with n elements left it takes element
// pick_index(r, n) and closes the gap, the others keeping their order.
// An empty payload returns u"" and draws nothing. O(n log n).
//   DefaultRandom random;
//   StringArray arr = {u"", u"a", u"b", u"c"};
//   verwurschteln(arr, random) == u"cab"  // and arr == StringArray{u""}
std::u16string verwurschteln(StringArray& eingabe, RandomSource& zufall);

}  // namespace textquirl
