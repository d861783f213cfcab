#include "Rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>

namespace {

// Full precision, so that cases that differ only far behind the point get their own names.
std::string Exact(double value)
{
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

struct RoundCase {
  double value;
  int expected;
  friend std::ostream& operator<<(std::ostream& out, const RoundCase& c)
  {
    return out << Exact(c.value) << " -> " << c.expected;
  }
};

class RoundHalfEvenTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEvenTest, RoundsHalfToEven)
{
  EXPECT_EQ(core::RoundHalfEven(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, RoundHalfEvenTest,
    testing::Values(RoundCase{62.5, 62}, RoundCase{12.5, 12}, RoundCase{87.5, 88},
                    RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{-0.5, 0},
                    RoundCase{-1.5, -2}, RoundCase{-2.5, -2}, RoundCase{2.4999, 2},
                    RoundCase{2.5001, 3}, RoundCase{-7.6, -8}, RoundCase{0.0, 0},
                    RoundCase{1000.0 / 30.0, 33}, RoundCase{2147483647.0, 2147483647},
                    RoundCase{2147483647.4, 2147483647},
                    RoundCase{-2147483648.0, std::numeric_limits<int>::min()},
                    RoundCase{-2147483648.5, std::numeric_limits<int>::min()}));

struct BadValue {
  double value;
  friend std::ostream& operator<<(std::ostream& out, const BadValue& c) { return out << Exact(c.value); }
};

class RoundHalfEvenErrorTest : public testing::TestWithParam<BadValue> {};

TEST_P(RoundHalfEvenErrorTest, RefusesValuesWithoutAnInt)
{
  EXPECT_THROW(core::RoundHalfEven(GetParam().value), core::NumberError) << GetParam();
}

// 2147483647.5 rounds to the even 2147483648 and -2147483649.5 to -2147483650: both just
// outside the range.
INSTANTIATE_TEST_SUITE_P(
    Values, RoundHalfEvenErrorTest,
    testing::Values(BadValue{std::numeric_limits<double>::quiet_NaN()},
                    BadValue{std::numeric_limits<double>::infinity()},
                    BadValue{-std::numeric_limits<double>::infinity()}, BadValue{2147483647.5},
                    BadValue{2147483648.0}, BadValue{-2147483649.5}, BadValue{1e10},
                    BadValue{-1e10}, BadValue{std::numeric_limits<double>::max()}));

TEST(RoundHalfEvenTest, DivisionByZeroReachesTheCaller)
{
  const double zero = 0.0;
  try {
    core::RoundHalfEven(1000.0 / zero);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STRNE(error.what(), "");
  }
}

}  // namespace
