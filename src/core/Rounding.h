// Float-to-integer conversion used everywhere in the program: nearest integer, ties to the
// even neighbour (62.5 -> 62, 87.5 -> 88). The usual library rounding breaks ties away from
// zero and must not be used for this.
#pragma once

#include <stdexcept>

namespace core {

// A value that has no 32-bit integer: NaN, an infinity (a division by zero upstream), or
// a number outside the int range. Reaches the guard of the step that computed it.
class NumberError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Rounds with std::nearbyint, so it relies on the default rounding mode (to nearest),
// which the program never changes. Throws NumberError when the rounded value is not
// finite or does not fit an int; the check comes before the conversion, which would be
// undefined behaviour for such values.
int RoundHalfEven(double value);

}  // namespace core
