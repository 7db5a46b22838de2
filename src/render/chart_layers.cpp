#include "render/chart_layers.h"

#include <algorithm>

namespace ammonite {

ChartLayers::ChartLayers(RasterSurface& background, RasterSurface& shown)
    : background_(background), shown_(shown) {}

void ChartLayers::useOverlay() {
    toBackground_ = false;
    showBackground();
}

void ChartLayers::showBackground() {
    PixelBuffer* from = &background_.pixels();
    PixelBuffer* to = &shown_.pixels();
    int w = std::min(from->width, to->width), h = std::min(from->height, to->height);
    for (int y = 0; y < h; ++y)
        std::copy_n(from->pixels + static_cast<size_t>(y) * from->stride, w,
                    to->pixels + static_cast<size_t>(y) * to->stride);
    shown_.pixelsChanged();
}

void ChartLayers::doClear(Rgb colour) {
    if (toBackground_) {
        background_.setBackColour(colour);
        background_.clear();
    } else {
        showBackground();
    }
}

void ChartLayers::doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    RasterSurface& t = target();
    t.setDrawWidth(width);
    t.line(x1, y1, x2, y2, colour);
}

void ChartLayers::doPoint(double x, double y, Rgb colour, int width) {
    RasterSurface& t = target();
    t.setDrawWidth(width);
    t.point(x, y, colour);
}

void ChartLayers::doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    RasterSurface& t = target();
    t.setDrawWidth(1);
    t.setFillStyle(filled ? 0 : 1);
    t.setFillColour(fill);
    t.circle(cx, cy, radius, outline);
}

void ChartLayers::doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                         double& lineHeight) {
    RasterSurface& t = target();
    t.setForeColour(colour);
    t.setCurrentPosition(x, y);
    t.print(utf8, true);
    advance = t.currentX() - x;
    // An empty line only measures: it leaves the position one line lower.
    t.setCurrentPosition(x, y);
    t.print(std::string(), false);
    lineHeight = t.currentY() - y;
}

}  // namespace ammonite
