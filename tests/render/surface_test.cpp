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

// ---- finer pixels than units (a scaled screen) ----

namespace {
int devicePixelsIn(const RasterSurface& s, int row, Rgb colour) {
    const PixelBuffer& b = s.pixels();
    int n = 0;
    for (int x = 0; x < b.width; ++x) n += b.pixels[static_cast<size_t>(row) * b.stride + x] == colour.argb();
    return n;
}
}  // namespace

TEST(RasterSurface, FinerPixelsKeepTheUnitsAndCentreTheStrokes) {
    RasterSurface s(50, 40, 2);
    EXPECT_EQ(s.width(), 50);
    EXPECT_EQ(s.pixels().width, 100);
    EXPECT_EQ(s.pixels().height, 80);
    // Direct pixel writers work in units: they get no buffer, shapes instead.
    EXPECT_EQ(s.pixelBuffer(), nullptr);
    EXPECT_EQ(s.vectorTarget(), &s);
    s.setBackColour(Rgb(0, 0, 0));
    s.clear();
    // A one-unit line covers exactly the two device rows of its unit row.
    s.line(5, 10, 15, 10, Rgb(255, 0, 0));
    EXPECT_EQ(devicePixelsIn(s, 19, Rgb(255, 0, 0)), 0);
    EXPECT_EQ(devicePixelsIn(s, 20, Rgb(255, 0, 0)), 22);
    EXPECT_EQ(devicePixelsIn(s, 21, Rgb(255, 0, 0)), 22);
    EXPECT_EQ(devicePixelsIn(s, 22, Rgb(255, 0, 0)), 0);
    EXPECT_EQ(s.rgbAt(5, 10), Rgb(255, 0, 0));
    EXPECT_EQ(s.rgbAt(16, 10), Rgb(0, 0, 0));
    // One pixel per unit is the classic raster, untouched.
    RasterSurface plain(50, 40, 1);
    EXPECT_NE(plain.pixelBuffer(), nullptr);
    EXPECT_EQ(plain.vectorTarget(), nullptr);
    // Nonsense resolutions fall back to one pixel per unit.
    EXPECT_EQ(RasterSurface(10, 10, std::nan("")).resolution(), 1);
    EXPECT_EQ(RasterSurface(10, 10, 0.5).resolution(), 1);
}

TEST(RasterSurface, PolygonsFillByWindingAndKeepTheirNotches) {
    RasterSurface s(40, 40, 1.5);
    s.setBackColour(Rgb(0, 0, 0));
    s.clear();
    // An L: the square (5..25)² without its upper right quarter.
    const float l[] = {5, 5, 15, 5, 15, 15, 25, 15, 25, 25, 5, 25};
    s.filledPolygon(l, 6, Rgb(0, 0, 255));
    EXPECT_EQ(s.rgbAt(10, 10), Rgb(0, 0, 255));
    EXPECT_EQ(s.rgbAt(20, 20), Rgb(0, 0, 255));
    EXPECT_EQ(s.rgbAt(21, 9), Rgb(0, 0, 0));   // the notch
    EXPECT_EQ(s.rgbAt(30, 30), Rgb(0, 0, 0));  // outside
    // Wound the other way round it fills the same pixels.
    RasterSurface t(40, 40, 1.5);
    t.setBackColour(Rgb(0, 0, 0));
    t.clear();
    const float back[] = {5, 25, 25, 25, 25, 15, 15, 15, 15, 5, 5, 5};
    t.filledPolygon(back, 6, Rgb(0, 0, 255));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(s.rgbAt(x, y), t.rgbAt(x, y)) << x << "," << y;
    // Degenerate and non-finite polygons draw nothing and do not fail.
    const float bad[] = {1, 1, NAN, 3, 5, 5};
    t.filledPolygon(bad, 3, Rgb(255, 0, 0));
    t.filledPolygon(l, 1, Rgb(255, 0, 0));
    EXPECT_EQ(t.rgbAt(30, 30), Rgb(0, 0, 0));
}
