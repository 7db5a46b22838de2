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

namespace {
int scaledSize(int units, double resolution) {
    return units <= 0 ? 0 : std::max(1, static_cast<int>(std::ceil(units * resolution - 1e-9)));
}
double validResolution(double r) { return std::isfinite(r) && r >= 1 && r <= 8 ? r : 1; }
}  // namespace

RasterSurface::RasterSurface(int width, int height, double resolution) : width_(width), height_(height) {
    setResolution(resolution);
}

void RasterSurface::setResolution(double resolution) {
    resolution_ = validResolution(resolution);
    buffer_.width = scaledSize(width_, resolution_);
    buffer_.height = scaledSize(height_, resolution_);
    buffer_.stride = buffer_.width;
    storage_.assign(static_cast<size_t>(buffer_.width) * static_cast<size_t>(buffer_.height), 0xFFFFFFFFu);
    buffer_.pixels = storage_.data();
}

int RasterSurface::pixelWidth(int width) const {
    if (resolution_ == 1) return width;
    return std::max(1, static_cast<int>(std::lround(width * resolution_)));
}

std::uint32_t RasterSurface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    int px = x, py = y;
    if (resolution_ != 1) {
        px = std::min(buffer_.width - 1, static_cast<int>(std::floor((x + 0.5) * resolution_)));
        py = std::min(buffer_.height - 1, static_cast<int>(std::floor((y + 0.5) * resolution_)));
    }
    return buffer_.pixels[static_cast<size_t>(py) * buffer_.stride + px];
}

void RasterSurface::doClear(Rgb colour) {
    std::uint32_t v = colour.argb();
    for (int y = 0; y < buffer_.height; ++y)
        std::fill_n(buffer_.pixels + static_cast<size_t>(y) * buffer_.stride, buffer_.width, v);
}

void RasterSurface::doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    const int w = pixelWidth(width);
    const double d = stampShift(w);
    raster::line(buffer_, toPixels(x1) + d, toPixels(y1) + d, toPixels(x2) + d, toPixels(y2) + d, colour.argb(), w);
}

void RasterSurface::doPoint(double x, double y, Rgb colour, int width) {
    // A point far outside the picture (or not a number) is dropped before its
    // position becomes a whole pixel, which it might not fit.
    const int w = pixelWidth(width);
    const double d = stampShift(w);
    const double px = toPixels(x) + d, py = toPixels(y) + d;
    const double m = w + 2.0;
    if (!(px >= -m && py >= -m && px <= buffer_.width + m && py <= buffer_.height + m)) return;
    raster::stamp(buffer_, static_cast<int>(std::floor(px + 0.5)), static_cast<int>(std::floor(py + 0.5)),
                  colour.argb(), w);
}

void RasterSurface::doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    raster::circle(buffer_, toPixels(cx), toPixels(cy), radius * resolution_, outline.argb(), filled, fill.argb());
}

void RasterSurface::filledPolygon(const float* xy, int points, Rgb colour) {
    if (points < 2) return;
    std::vector<double> device(static_cast<size_t>(points) * 2);
    for (int i = 0; i < 2 * points; ++i) device[static_cast<size_t>(i)] = toPixels(xy[i]);
    raster::polygon(buffer_, device.data(), points, colour.argb());
    // The outline closes the seams between neighbouring polygons.
    const int w = pixelWidth(1);
    const double d = stampShift(w);
    for (int i = 0; i < points; ++i) {
        const int j = (i + 1) % points;
        raster::line(buffer_, device[2 * i] + d, device[2 * i + 1] + d, device[2 * j] + d, device[2 * j + 1] + d,
                     colour.argb(), w);
    }
}

void RasterSurface::polyline(const float* xy, int points, Rgb colour, int width) {
    const int w = pixelWidth(width);
    const double d = stampShift(w);
    for (int i = 1; i < points; ++i)
        raster::line(buffer_, toPixels(xy[2 * i - 2]) + d, toPixels(xy[2 * i - 1]) + d, toPixels(xy[2 * i]) + d,
                     toPixels(xy[2 * i + 1]) + d, colour.argb(), w);
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

void polygon(PixelBuffer& buf, const double* xy, int points, std::uint32_t argb) {
    if (points < 3) return;
    double minY = xy[1], maxY = xy[1];
    for (int i = 0; i < points; ++i) {
        const double x = xy[2 * i], y = xy[2 * i + 1];
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    const int first = std::max(0, static_cast<int>(std::ceil(minY)));
    const int last = std::min(buf.height - 1, static_cast<int>(std::floor(maxY)));
    struct Crossing {
        double x;
        int winding;
    };
    std::vector<Crossing> crossings;
    for (int row = first; row <= last; ++row) {
        const double y = row;
        crossings.clear();
        for (int i = 0; i < points; ++i) {
            const int j = (i + 1) % points;
            const double y0 = xy[2 * i + 1], y1 = xy[2 * j + 1];
            // Half-open in y, so a vertex on the row counts once.
            if ((y0 <= y && y < y1) || (y1 <= y && y < y0)) {
                const double x0 = xy[2 * i], x1 = xy[2 * j];
                crossings.push_back({x0 + (y - y0) * (x1 - x0) / (y1 - y0), y1 > y0 ? 1 : -1});
            }
        }
        std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        int winding = 0;
        std::uint32_t* line = buf.pixels + static_cast<size_t>(row) * buf.stride;
        for (size_t k = 0; k + 1 < crossings.size(); ++k) {
            winding += crossings[k].winding;
            if (winding == 0) continue;
            // The pixels whose centres lie in [x_k, x_k+1).
            const int from = std::max(0, static_cast<int>(std::ceil(crossings[k].x)));
            const int to = std::min(buf.width, static_cast<int>(std::ceil(crossings[k + 1].x)));
            for (int x = from; x < to; ++x) line[x] = argb;
        }
    }
}

}  // namespace raster

}  // namespace ammonite
