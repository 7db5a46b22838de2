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

TEST(Palette, ClassicColours) {
    EXPECT_EQ(paletteColour(3), Rgb(0, 128, 128));
    EXPECT_EQ(paletteColour(4), Rgb(128, 0, 0));
    EXPECT_EQ(paletteColour(5), Rgb(128, 0, 128));
    EXPECT_EQ(paletteColour(6), Rgb(128, 128, 0));
    EXPECT_EQ(paletteColour(10), Rgb(0, 255, 0));
    EXPECT_EQ(paletteColour(14), Rgb(255, 255, 0));
    EXPECT_EQ(paletteColour(15), Rgb(255, 255, 255));
}
