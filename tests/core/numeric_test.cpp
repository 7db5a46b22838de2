#include <gtest/gtest.h>

#include <cmath>

#include "core/numeric.h"

using namespace ammonite;

TEST(Fixed4, RoundsToFourDecimalsHalvesToEven) {
    EXPECT_EQ(Fixed4(0.93).raw(), 9300);
    EXPECT_EQ(Fixed4(1.0 / 3).raw(), 3333);
    EXPECT_EQ(Fixed4(-1.0 / 3).raw(), -3333);
    // Exact halves of the last digit (representable in binary) go to even.
    EXPECT_EQ(Fixed4(0.00125).raw(), 12);      // 12.5 → 12
    EXPECT_EQ(Fixed4(0.00375).raw(), 38);      // 37.5 → 38
    EXPECT_EQ(Fixed4(-0.00125).raw(), -12);
    EXPECT_EQ(Fixed4(2.5e-5 * 2).raw(), 0);    // 0.5 → 0
    EXPECT_DOUBLE_EQ(Fixed4(788898.12384).toDouble(), 788898.1238);
}

TEST(Fixed4, BeyondRangeIsAnOverflowNotAWrap) {
    EXPECT_NO_THROW(Fixed4 edge(922337203685477.0));
    EXPECT_THROW(Fixed4 big(1e15), RuntimeError);
    EXPECT_THROW(Fixed4 small(-1e15), RuntimeError);
    EXPECT_THROW(Fixed4 nan(std::nan("")), RuntimeError);
    EXPECT_THROW(Fixed4 inf(1.0 / 0.0), RuntimeError);
    try {
        Fixed4 f(1e300);
        (void)f;
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Overflow);
    }
}

TEST(Int16Conversion, HalvesToEvenAndOverflow) {
    EXPECT_EQ(toInt16(2.5), 2);
    EXPECT_EQ(toInt16(3.5), 4);
    EXPECT_EQ(toInt16(-2.5), -2);
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_THROW(toInt16(32767.5), RuntimeError);  // rounds to 32768
    EXPECT_THROW(toInt16(-32769), RuntimeError);
    EXPECT_THROW(toInt16(std::nan("")), RuntimeError);
}

TEST(Truncation, GoesTowardMinusInfinity) {
    EXPECT_DOUBLE_EQ(truncateDecimals(0.05999, 4), 0.0599);
    EXPECT_DOUBLE_EQ(truncateDecimals(-0.05991, 4), -0.06);
    EXPECT_DOUBLE_EQ(truncateDecimals(12.349, 1), 12.3);
    EXPECT_DOUBLE_EQ(truncateDecimals(-12.341, 2), -12.35);
}

TEST(NumberText, ShortestFormsAndDotNinetyThree) {
    EXPECT_EQ(formatNumber(1.005), "1.005");
    EXPECT_EQ(formatNumber(1 + 21 * 0.0001), "1.0021");
    EXPECT_EQ(formatNumber(0.5), "0.5");
    EXPECT_EQ(formatNumber(-3), "-3");
    EXPECT_EQ(formatNumber(3000), "3000");
    EXPECT_EQ(formatNumber(0), "0");
    EXPECT_EQ(formatNumber(0.3 / 3.5), "0.0857142857142857");
    EXPECT_EQ(formatNumber(0.0599), "0.0599");
    EXPECT_EQ(formatNumber(1e20), "1E+20");
    EXPECT_EQ(formatNoLeadingZero(0.93), ".93");
    EXPECT_EQ(formatNoLeadingZero(-0.5), "-.5");
    EXPECT_EQ(formatNoLeadingZero(12), "12");
    EXPECT_EQ(formatFixed4(Fixed4(0.7071)), "0.7071");
    EXPECT_EQ(formatFixed4(Fixed4(-788898.1238)), "-788898.1238");
    EXPECT_EQ(formatFixed4(Fixed4(2)), "2");
    EXPECT_EQ(formatSingle(0.05f), "0.05");
    EXPECT_EQ(formatSingle(3.14159f), "3.14159");
}

TEST(NumberText, LeadingAndWholeNumberReading) {
    EXPECT_DOUBLE_EQ(parseLeadingNumber("12abc"), 12);
    EXPECT_DOUBLE_EQ(parseLeadingNumber(" .5"), 0.5);
    EXPECT_DOUBLE_EQ(parseLeadingNumber("-1.25e2x"), -125);
    EXPECT_DOUBLE_EQ(parseLeadingNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(parseLeadingNumber(""), 0);
    EXPECT_DOUBLE_EQ(parseLeadingNumber("1 7 00"), 1700);
    EXPECT_DOUBLE_EQ(parseWholeNumber(" 2.5 "), 2.5);
    EXPECT_THROW(parseWholeNumber("2x"), RuntimeError);
    EXPECT_THROW(parseWholeNumber(""), RuntimeError);
}

TEST(NumberText, FixedDecimalsRoundAndKeepTheirZeros) {
    EXPECT_EQ(formatDecimals(0.1585, 3), "0.159");  // nearest, not truncated
    EXPECT_EQ(formatDecimals(2, 3), "2.000");
    EXPECT_EQ(formatDecimals(-0.0004, 3), "0.000");  // no "-0.000"
    EXPECT_EQ(formatDecimals(-1.25, 1), "-1.2");     // the double below 1.25 rounds half to even
    EXPECT_EQ(formatDecimals(std::nan(""), 3), "nan");
}
