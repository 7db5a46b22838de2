#include <gtest/gtest.h>

#include "app/direction_angles.h"

using namespace ammonite;

namespace {
DirectionWork anglesOf(double x, double y, double z, double previousAzimuth = 123) {
    DirectionWork w;
    w.direction = {x, y, z};
    w.azimuth = previousAzimuth;
    DirectionToAngles(w);
    return w;
}
Vec3F4 vectorOf(double azimuth, float elevation) {
    DirectionWork w;
    w.azimuth = azimuth;
    w.elevation = elevation;
    AnglesToDirection(w);
    return w.direction;
}
void expectVector(const Vec3F4& v, double x, double y, double z) {
    EXPECT_EQ(v.x.raw(), Fixed4(x).raw()) << "x";
    EXPECT_EQ(v.y.raw(), Fixed4(y).raw()) << "y";
    EXPECT_EQ(v.z.raw(), Fixed4(z).raw()) << "z";
}
}  // namespace

TEST(DirectionAngles, ConstantsAreTheSinglePrecisionValues) {
    EXPECT_FLOAT_EQ(kHalfPiSingle, 1.57079506f);
    EXPECT_EQ(static_cast<double>(kTwoPiSingle), static_cast<double>(6.28318f));
    EXPECT_NEAR(static_cast<double>(kTwoPiSingle), 6.28318024, 1e-8);
}

TEST(DirectionAngles, VectorToAnglesWorkedValues) {
    struct Case {
        double x, y, z;
        double azimuth;
        float elevation;
    } cases[] = {{0, 1, 0, 90, 0},    {0, -1, 0, 270, 0},  {1, 0, 1, 0, 45},
                 {-1, 0, 0, 180, 0},  {1, -1, 0, 315, 0},  {1, 1, 1, 45, 35},
                 {1, 0, -1, 0, -45},  {1, -0.0001, 0, 360, 0}};
    for (const Case& c : cases) {
        DirectionWork w = anglesOf(c.x, c.y, c.z);
        EXPECT_EQ(w.azimuth, c.azimuth) << c.x << "," << c.y << "," << c.z;
        EXPECT_EQ(w.elevation, c.elevation) << c.x << "," << c.y << "," << c.z;
    }
    // Only the direction counts, not the length.
    EXPECT_EQ(anglesOf(2, 0, 2).elevation, 45);
    EXPECT_EQ(anglesOf(2, 0, 2).azimuth, 0);
}

TEST(DirectionAngles, AnglesToVectorWorkedValues) {
    expectVector(vectorOf(90, 0), 0, 1, 0);
    expectVector(vectorOf(0, 45), 1, 0, 1);
    expectVector(vectorOf(45, 0), 0.7071, 0.7071, 0);
    expectVector(vectorOf(30, 20), 0.866, 0.5, 0.364);
    expectVector(vectorOf(180, 0), -1, 0, 0);
    expectVector(vectorOf(270, 0), 0, -1, 0);
    expectVector(vectorOf(0, 89), 1, 0, 57.2858);
}

TEST(DirectionAngles, ElevationNinetyIsLargeButFiniteAndComesBack) {
    Vec3F4 up = vectorOf(0, 90);
    EXPECT_EQ(up.z.raw(), 7888981238LL);  // 788898.1238
    Vec3F4 down = vectorOf(0, -90);
    EXPECT_EQ(down.z.raw(), -7888981238LL);
    EXPECT_EQ(anglesOf(up.x, up.y, up.z).elevation, 90);
    EXPECT_EQ(anglesOf(down.x, down.y, down.z).elevation, -90);
}

TEST(DirectionAngles, RoundTripsKeepSideAndFourDecimalDirections) {
    DirectionWork w = anglesOf(0, -1, 0);
    EXPECT_EQ(w.azimuth, 270);
    AnglesToDirection(w);
    expectVector(w.direction, 0, -1, 0);

    w = anglesOf(0.7071, 0.7071, 0);
    EXPECT_EQ(w.azimuth, 45);
    EXPECT_EQ(w.elevation, 0);
    AnglesToDirection(w);
    expectVector(w.direction, 0.7071, 0.7071, 0);
}

TEST(DirectionAngles, WholeDegreesRoundHalvesToEven) {
    EXPECT_EQ(WholeDegrees(22.5), 22);
    EXPECT_EQ(WholeDegrees(23.5), 24);
    EXPECT_EQ(WholeDegrees(-22.5), -22);
    EXPECT_EQ(WholeDegrees(22.5000001), 23);
}

TEST(DirectionAngles, VectorWithoutHorizontalPartKeepsTheAzimuth) {
    DirectionWork up = anglesOf(0, 0, 3, 200);
    EXPECT_EQ(up.elevation, 90);
    EXPECT_EQ(up.azimuth, 200);
    DirectionWork down = anglesOf(0, 0, -0.5, 15);
    EXPECT_EQ(down.elevation, -90);
    EXPECT_EQ(down.azimuth, 15);
    DirectionWork none = anglesOf(0, 0, 0, 90);
    EXPECT_EQ(none.elevation, 0);
    EXPECT_EQ(none.azimuth, 90);
}

TEST(DirectionAngles, ElevationRadiansAreHeldInSinglePrecisionBeforeRounding) {
    // atan(5.2066 / 1.25) is 76.500000002 degrees in double precision but
    // 76.4999973 once the radians sit in the single-precision field, so the
    // whole degrees are 76, not 77; likewise 30.5000003 becomes 30.
    EXPECT_EQ(anglesOf(1.25, 0, 5.2066).elevation, 76);
    EXPECT_EQ(anglesOf(1.25, 0, -5.2066).elevation, -76);
    EXPECT_EQ(anglesOf(4.5, 0, 2.6507).elevation, 30);
    EXPECT_EQ(anglesOf(0, 4.5, -2.6507).elevation, -30);
}
