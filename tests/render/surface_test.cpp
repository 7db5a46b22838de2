#include <gtest/gtest.h>

#include <cmath>

#include "render/surface.h"

using namespace ammonite;

TEST(RasterSurface, LinesPointsAndCirclesLandOnTheirPixels) {
    RasterSurface s(50, 40);
    s.setBackColour(Rgb(0, 0, 0));
    s.clear();
    s.line(5, 5, 15, 5, Rgb(255, 0, 0));
    EXPECT_EQ(s.rgbAt(5, 5), Rgb(255, 0, 0));
    EXPECT_EQ(s.rgbAt(15, 5), Rgb(255, 0, 0));
    EXPECT_EQ(s.rgbAt(16, 5), Rgb(0, 0, 0));
    EXPECT_EQ(s.currentX(), 15);
    s.setDrawWidth(2);
    s.line(5, 20, 5, 30, Rgb(0, 255, 0));
    EXPECT_EQ(s.rgbAt(5, 25), Rgb(0, 255, 0));
    EXPECT_EQ(s.rgbAt(6, 25), Rgb(0, 255, 0));
    s.setDrawWidth(1);
    s.setFillStyle(0);
    s.setFillColour(Rgb(0, 0, 255));
    s.circle(30, 20, 3, Rgb(255, 255, 0));
    EXPECT_EQ(s.rgbAt(30, 20), Rgb(0, 0, 255));
    EXPECT_EQ(s.rgbAt(33, 20), Rgb(255, 255, 0));
    EXPECT_EQ(s.currentX(), 30);
}

TEST(RasterSurface, HugeAndInvalidCoordinatesAreClippedSafely) {
    RasterSurface s(20, 20);
    s.line(-1e12, 10, 1e12, 10, Rgb(1, 2, 3));
    EXPECT_EQ(s.rgbAt(10, 10), Rgb(1, 2, 3));
    s.line(std::nan(""), 0, 5, 5, Rgb(9, 9, 9));
    s.circle(1e30, 1e30, 5, Rgb(9, 9, 9));
    SUCCEED();
}

// Bounded inputs: a point far outside the picture (as the regulation chart
// gives for a large curvature or a γ close to 1), or no number at all, leaves
// the picture alone; one just outside still shows the part of it inside.
TEST(RasterSurface, PointsFarOutsideOrNotNumbersAreDropped) {
    RasterSurface s(20, 20);
    s.setBackColour(Rgb(0, 0, 0));
    s.clear();
    s.setDrawWidth(3);
    const double far[] = {3e9, -3e9, 1e300, -1e300, HUGE_VAL, -HUGE_VAL, std::nan("")};
    for (double v : far) {
        s.point(v, 10, Rgb(9, 9, 9));
        s.point(10, v, Rgb(9, 9, 9));
        s.point(v, v, Rgb(9, 9, 9));
    }
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(s.rgbAt(x, y), Rgb(0, 0, 0)) << x << "," << y;
    s.point(-1, 20, Rgb(1, 2, 3));  // a 3-pixel square centred just off the corner
    EXPECT_EQ(s.rgbAt(0, 19), Rgb(1, 2, 3));
    EXPECT_EQ(s.rgbAt(1, 19), Rgb(0, 0, 0));
    s.setFillStyle(0);
    s.circle(10, 10, 1e300, Rgb(9, 9, 9));  // no whole-pixel radius
    EXPECT_EQ(s.rgbAt(10, 10), Rgb(0, 0, 0));
}

TEST(Palette, ClassicColours) {
    EXPECT_EQ(paletteColour(3), Rgb(0, 128, 128));
    EXPECT_EQ(paletteColour(4), Rgb(128, 0, 0));
    EXPECT_EQ(paletteColour(5), Rgb(128, 0, 128));
    EXPECT_EQ(paletteColour(6), Rgb(128, 128, 0));
    EXPECT_EQ(paletteColour(10), Rgb(0, 255, 0));
    EXPECT_EQ(paletteColour(14), Rgb(255, 255, 0));
    EXPECT_EQ(paletteColour(15), Rgb(255, 255, 255));
}
