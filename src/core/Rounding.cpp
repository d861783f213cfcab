#include "Rounding.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace core {

namespace {

std::string Describe(double value)
{
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace

int RoundHalfEven(double value)
{
  if (std::isnan(value))
    throw NumberError("Cannot round NaN to an integer");
  if (std::isinf(value))
    throw NumberError("Cannot round " + Describe(value) + " to an integer");
  const double rounded = std::nearbyint(value);
  // Both limits are exact in a double.
  constexpr double lowest = static_cast<double>(std::numeric_limits<int>::min());
  constexpr double highest = static_cast<double>(std::numeric_limits<int>::max());
  if (rounded < lowest || rounded > highest)
    throw NumberError(Describe(value) + " does not fit a 32-bit integer");
  return static_cast<int>(rounded);
}

}  // namespace core
