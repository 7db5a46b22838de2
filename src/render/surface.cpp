#include "render/surface.h"

#include <algorithm>
#include <cmath>

#include "render/display_list.h"

namespace ammonite {

Rgb paletteColour(int index) {
    static const Rgb kPalette[16] = {
        {0, 0, 0},     {0, 0, 128},   {0, 128, 0},   {0, 128, 128}, {128, 0, 0},   {128, 0, 128},
        {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0},   {0, 255, 255},
        {255, 0, 0},   {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
    return kPalette[index & 15];
}

void DrawingSurface::clear() {
    if (recorder_) recorder_->clear(backColour_);
    doClear(backColour_);
    curX_ = 0;
    curY_ = 0;
}

void DrawingSurface::line(double x1, double y1, double x2, double y2, Rgb colour) {
    if (recorder_) recorder_->addLine(x1, y1, x2, y2, colour, drawWidth_);
    doLine(x1, y1, x2, y2, colour, drawWidth_);
    curX_ = x2;
    curY_ = y2;
}

void DrawingSurface::point(double x, double y, Rgb colour) {
    if (recorder_) recorder_->addPoint(x, y, colour, drawWidth_);
    doPoint(x, y, colour, drawWidth_);
    curX_ = x;
    curY_ = y;
}

void DrawingSurface::circle(double cx, double cy, double radius, Rgb colour) {
    if (recorder_) recorder_->addCircle(cx, cy, radius, colour, fillStyle_ == 0, fillColour_);
    doCircle(cx, cy, radius, colour, fillStyle_ == 0, fillColour_);
    curX_ = cx;
    curY_ = cy;
}

void DrawingSurface::print(const std::string& utf8, bool continued) {
    double advance = 0, lineHeight = 0;
    if (recorder_) recorder_->addText(curX_, curY_, utf8, foreColour_);
    doText(curX_, curY_, utf8, foreColour_, advance, lineHeight);
    if (continued) {
        curX_ += advance;
    } else {
        curX_ = 0;
        curY_ += lineHeight;
    }
}

// ---------------------------------------------------------------------------

RasterSurface::RasterSurface(int width, int height)
    : storage_(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFFFFu) {
    buffer_.pixels = storage_.data();
    buffer_.width = width;
    buffer_.height = height;
    buffer_.stride = width;
}

std::uint32_t RasterSurface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= buffer_.width || y >= buffer_.height) return 0;
    return buffer_.pixels[static_cast<size_t>(y) * buffer_.stride + x];
}

void RasterSurface::doClear(Rgb colour) {
    std::uint32_t v = colour.argb();
    for (int y = 0; y < buffer_.height; ++y)
        std::fill_n(buffer_.pixels + static_cast<size_t>(y) * buffer_.stride, buffer_.width, v);
}

void RasterSurface::doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    raster::line(buffer_, x1, y1, x2, y2, colour.argb(), width);
}

void RasterSurface::doPoint(double x, double y, Rgb colour, int width) {
    // A point far outside the picture (or not a number) is dropped before its
    // position becomes a whole pixel, which it might not fit.
    const double m = width + 2.0;
    if (!(x >= -m && y >= -m && x <= buffer_.width + m && y <= buffer_.height + m)) return;
    raster::stamp(buffer_, static_cast<int>(std::floor(x + 0.5)), static_cast<int>(std::floor(y + 0.5)),
                  colour.argb(), width);
}

void RasterSurface::doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    raster::circle(buffer_, cx, cy, radius, outline.argb(), filled, fill.argb());
}

void RasterSurface::doText(double, double, const std::string& utf8, Rgb, double& advance,
                           double& lineHeight) {
    advance = 7.0 * static_cast<double>(utf8.size());
    lineHeight = 13;
}

// ---------------------------------------------------------------------------

namespace raster {

namespace {
inline void put(PixelBuffer& buf, int x, int y, std::uint32_t argb) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(buf.width) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(buf.height))
        buf.pixels[static_cast<size_t>(y) * buf.stride + x] = argb;
}

// Cohen–Sutherland clipping of the segment to the rectangle [xmin,xmax]×[ymin,ymax].
bool clipSegment(double& x1, double& y1, double& x2, double& y2, double xmin, double ymin, double xmax,
                 double ymax) {
    auto code = [&](double x, double y) {
        int c = 0;
        if (x < xmin) c |= 1;
        else if (x > xmax) c |= 2;
        if (y < ymin) c |= 4;
        else if (y > ymax) c |= 8;
        return c;
    };
    int c1 = code(x1, y1), c2 = code(x2, y2);
    for (int guard = 0; guard < 8; ++guard) {
        if (!(c1 | c2)) return true;
        if (c1 & c2) return false;
        int c = c1 ? c1 : c2;
        double x = 0, y = 0;
        if (c & 8) {
            x = x1 + (x2 - x1) * (ymax - y1) / (y2 - y1);
            y = ymax;
        } else if (c & 4) {
            x = x1 + (x2 - x1) * (ymin - y1) / (y2 - y1);
            y = ymin;
        } else if (c & 2) {
            y = y1 + (y2 - y1) * (xmax - x1) / (x2 - x1);
            x = xmax;
        } else {
            y = y1 + (y2 - y1) * (xmin - x1) / (x2 - x1);
            x = xmin;
        }
        if (c == c1) {
            x1 = x, y1 = y, c1 = code(x1, y1);
        } else {
            x2 = x, y2 = y, c2 = code(x2, y2);
        }
    }
    return !(c1 | c2);
}
}  // namespace

void stamp(PixelBuffer& buf, int x, int y, std::uint32_t argb, int width) {
    if (width <= 1) {
        put(buf, x, y, argb);
        return;
    }
    int lo = -(width - 1) / 2;
    for (int dy = 0; dy < width; ++dy)
        for (int dx = 0; dx < width; ++dx) put(buf, x + lo + dx, y + lo + dy, argb);
}

void line(PixelBuffer& buf, double x1, double y1, double x2, double y2, std::uint32_t argb, int width) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
    // Clip with a margin so that stamped ends just outside still show.
    double m = width + 2.0;
    if (!clipSegment(x1, y1, x2, y2, -m, -m, buf.width + m, buf.height + m)) return;
    int ax = static_cast<int>(std::floor(x1 + 0.5)), ay = static_cast<int>(std::floor(y1 + 0.5));
    int bx = static_cast<int>(std::floor(x2 + 0.5)), by = static_cast<int>(std::floor(y2 + 0.5));
    int dx = std::abs(bx - ax), dy = -std::abs(by - ay);
    int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        stamp(buf, ax, ay, argb, width);
        if (ax == bx && ay == by) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            ax += sx;
        }
        if (e2 <= dx) {
            err += dx;
            ay += sy;
        }
    }
}

void circle(PixelBuffer& buf, double cx, double cy, double radius, std::uint32_t outline, bool filled,
            std::uint32_t fill) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius)) return;
    radius = std::fabs(radius);
    // Beyond this a circle's pixels would not fit a whole number.
    if (radius > 1 << 24) return;
    if (cx < -radius - 2 || cy < -radius - 2 || cx > buf.width + radius + 2 || cy > buf.height + radius + 2)
        return;
    int icx = static_cast<int>(std::floor(cx + 0.5)), icy = static_cast<int>(std::floor(cy + 0.5));
    int r = static_cast<int>(std::floor(radius + 0.5));
    if (filled) {
        for (int dy = -r; dy <= r; ++dy) {
            int half = static_cast<int>(std::floor(std::sqrt(double(r) * r - double(dy) * dy) + 1e-9));
            for (int dx = -half; dx <= half; ++dx) put(buf, icx + dx, icy + dy, fill);
        }
    }
    // Midpoint circle outline.
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        const int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (auto& p : pts) put(buf, icx + p[0], icy + p[1], outline);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}

}  // namespace raster

}  // namespace ammonite
