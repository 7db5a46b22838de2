// Where a number's text turns to exponent form. A reader takes both forms, so
// a round trip cannot show a moved switch point; the texts on either side of
// each bound can.
#include <gtest/gtest.h>

#include "core/numeric.h"

using namespace ammonite;

TEST(NumberForm, DoublesTurnToExponentFormExactlyPastFifteenDigitsAndBelowOneHundredThousandth) {
    // Large: a whole number of 15 digits stays plain, 16 digits do not.
    EXPECT_EQ(formatNumber(1e14), "100000000000000");
    EXPECT_EQ(formatNumber(999999999999999.0), "999999999999999");
    EXPECT_EQ(formatNumber(1e15), "1E+15");
    EXPECT_EQ(formatNumber(-1e15), "-1E+15");
    EXPECT_EQ(formatNumber(-123456789012345.0), "-123456789012345");
    // A value rounding up into the next power of ten takes that power's form.
    EXPECT_EQ(formatNumber(999999999999999.9), "1E+15");
    // Small: 0.00001 is the smallest plain power of ten.
    EXPECT_EQ(formatNumber(1e-5), "0.00001");
    EXPECT_EQ(formatNumber(-1.5e-5), "-0.000015");
    EXPECT_EQ(formatNumber(9.9e-6), "9.9E-06");
    EXPECT_EQ(formatNumber(1e-6), "1E-06");
    EXPECT_EQ(formatNumber(9.9999999999999999e-6), "0.00001");
    // The profile file's form keeps the same switch points.
    EXPECT_EQ(formatNoLeadingZero(1e-5), ".00001");
    EXPECT_EQ(formatNoLeadingZero(1e-6), "1E-06");
    EXPECT_EQ(formatNoLeadingZero(1e15), "1E+15");
}

TEST(NumberForm, SinglesTurnToExponentFormExactlyPastSevenDigits) {
    EXPECT_EQ(formatSingle(1e6f), "1000000");
    EXPECT_EQ(formatSingle(9999999.0f), "9999999");
    EXPECT_EQ(formatSingle(1e7f), "1E+07");
    EXPECT_EQ(formatSingle(-1e7f), "-1E+07");
    EXPECT_EQ(formatSingle(1e-5f), "0.00001");
    EXPECT_EQ(formatSingle(1e-6f), "1E-06");
}
