#include "render/morpho_map.h"

#include <algorithm>
#include <cmath>

#include "core/numeric.h"
#include "model/model_state.h"

namespace ammonite {

namespace {

// Picture margins around the cells: tick labels left and below, the colour
// bar right, title and legend above.
constexpr double kLeft = 72, kTop = 44, kRight = 150, kBottom = 52;
constexpr double kCharWidth = 7;  // a rough advance for placing texts

const Rgb kInk{40, 40, 40};
const Rgb kErrorMark{200, 0, 0};
const Rgb kContourColour{255, 255, 255};
const Rgb kContourEdge{0, 0, 0};
const Rgb kCurrentColour{230, 0, 120};

// A filled rectangle on any surface: a polygon where the surface keeps
// shapes, pixels on a raster, lines otherwise.
void fillRect(DrawingSurface& s, double x0, double y0, double x1, double y1, Rgb colour) {
    if (VectorTarget* v = s.vectorTarget()) {
        const float xy[8] = {float(x0), float(y0), float(x1), float(y0), float(x1), float(y1), float(x0), float(y1)};
        v->filledPolygon(xy, 4, colour);
        return;
    }
    if (PixelBuffer* b = s.pixelBuffer()) {
        const int ix0 = std::max(0, static_cast<int>(std::lround(x0)));
        const int ix1 = std::min(b->width, static_cast<int>(std::lround(x1)));
        const int iy0 = std::max(0, static_cast<int>(std::lround(y0)));
        const int iy1 = std::min(b->height, static_cast<int>(std::lround(y1)));
        for (int y = iy0; y < iy1; ++y)
            std::fill(b->pixels + static_cast<size_t>(y) * b->stride + ix0,
                      b->pixels + static_cast<size_t>(y) * b->stride + std::max(ix0, ix1), colour.argb());
        s.pixelsChanged();
        return;
    }
    for (double y = y0; y < y1; y += 1) s.line(x0, y, x1 - 1, y, colour);
}

void printAt(DrawingSurface& s, double x, double y, const std::string& text, Rgb colour) {
    s.setForeColour(colour);
    s.setCurrentPosition(x, y);
    s.print(text);
}

}  // namespace

std::string MorphoValueText(double v) {
    if (v == 0) return "0";
    // Six significant digits: no rounding noise of the evenly spaced values.
    const double scale = std::pow(10.0, 6 - std::ceil(std::log10(std::fabs(v))));
    return formatNumber(std::round(v * scale) / scale);
}

namespace {

// Round values for the ticks of an axis running from `from` to `to` over
// `length` picture units: steps of 1, 2 or 5 times a power of ten, at least
// `labelSize` apart. An axis of one value has that value as its only tick.
std::vector<double> roundTicks(double from, double to, double length, double labelSize, int& decimals) {
    decimals = 0;
    const double lo = std::min(from, to), hi = std::max(from, to);
    if (!(hi > lo) || !std::isfinite(hi - lo)) return {from};
    const double most = std::max(1.0, std::floor(length / labelSize));
    const double rough = (hi - lo) / most;
    double step = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (step * m >= rough * (1 - 1e-9)) {
            step *= m;
            break;
        }
    decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    std::vector<double> out;
    for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; k += 1) out.push_back(k * step);
    if (out.empty()) out.push_back(from);
    return out;
}

// Where a value lies along an axis, in cells (0 at the first cell's centre).
double cellPosition(const MorphoMapAxis& axis, double v) {
    return axis.steps > 1 && axis.to != axis.from ? (v - axis.from) / (axis.to - axis.from) * (axis.steps - 1) : 0;
}

}  // namespace

void MorphoMapRect(int width, int height, double& left, double& top, double& right, double& bottom) {
    left = kLeft;
    top = kTop;
    right = std::max(left + 10, width - kRight);
    bottom = std::max(top + 10, height - kBottom);
}

Rgb MorphoScaleColour(double value, double lo, double hi) {
    // A perceptually even scale from dark violet through teal to yellow.
    static const Rgb kStops[] = {{68, 1, 84},    {72, 40, 120},  {62, 74, 137},  {49, 104, 142}, {38, 130, 142},
                                 {31, 158, 137}, {53, 183, 121}, {109, 205, 89}, {180, 222, 44}, {253, 231, 37}};
    constexpr int kLast = static_cast<int>(sizeof(kStops) / sizeof(kStops[0])) - 1;
    double t = hi > lo ? (value - lo) / (hi - lo) : 0.5;
    t = std::clamp(std::isfinite(t) ? t : 0.5, 0.0, 1.0) * kLast;
    const int k = std::min(kLast - 1, static_cast<int>(t));
    const double f = t - k;
    auto mix = [&](int a, int b) { return static_cast<int>(std::lround(a + f * (b - a))); };
    return Rgb(mix(kStops[k].r, kStops[k + 1].r), mix(kStops[k].g, kStops[k + 1].g),
               mix(kStops[k].b, kStops[k + 1].b));
}

void DrawMorphoMap(DrawingSurface& s, const MorphoMap& map) {
    const int W = s.width(), H = s.height();
    s.setBackColour(Rgb(255, 255, 255));
    s.clear();
    s.setDrawWidth(1);
    double l, t, r, b;
    MorphoMapRect(W, H, l, t, r, b);
    const std::string& unit = map.unit;
    const std::string& title = map.title;
    printAt(s, l, 8, title, kInk);
    if (map.axes.size() < 2) {
        printAt(s, l, t + 20, "Choose the two inputs and their ranges, then press RUN.", kInk);
        return;
    }
    const int nx = map.axes[0].steps, ny = map.axes[1].steps;
    const double cw = (r - l) / nx, ch = (b - t) / ny;
    const double lo = map.lo, hi = map.hi;
    const bool anyDone = map.hasRange;

    // Cells; a cell that stopped on a runtime error is grey with a red cross.
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            const size_t p = static_cast<size_t>(i) * static_cast<size_t>(ny) + j;
            const double x0 = l + i * cw, x1 = l + (i + 1) * cw, y0 = b - (j + 1) * ch, y1 = b - j * ch;
            fillRect(s, x0, y0, x1, y1, map.cells.at(p).colour);
            if (map.cells[p].stopped) {
                const double m = std::min(cw, ch) * 0.25;
                s.line(x0 + m, y0 + m, x1 - m, y1 - m, kErrorMark);
                s.line(x0 + m, y1 - m, x1 - m, y0 + m, kErrorMark);
            }
        }
    }
    // Frame.
    s.line(l, t, r, t, kInk);
    s.line(r, t, r, b, kInk);
    s.line(r, b, l, b, kInk);
    s.line(l, b, l, t, kInk);

    // Ticks and values at the cell centres.
    const MorphoMapAxis& ax = map.axes[0];
    const MorphoMapAxis& ay = map.axes[1];
    // Round values along the axes (a one-value axis shows its value).
    auto tickText = [](double v, int decimals) {
        return decimals > 0 ? formatDecimals(v, decimals) : MorphoValueText(std::round(v) == 0 ? 0 : std::round(v));
    };
    int decimals = 0;
    for (double v : roundTicks(ax.from, ax.to, (nx - 1) * cw, 70, decimals)) {
        const double x = l + (cellPosition(ax, v) + 0.5) * cw;
        s.line(x, b, x, b + 4, kInk);
        const std::string text = nx > 1 ? tickText(v, decimals) : MorphoValueText(ax.first);
        printAt(s, x - kCharWidth * text.size() / 2, b + 6, text, kInk);
    }
    for (double v : roundTicks(ay.from, ay.to, (ny - 1) * ch, 24, decimals)) {
        const double y = b - (cellPosition(ay, v) + 0.5) * ch;
        s.line(l - 4, y, l, y, kInk);
        const std::string text = ny > 1 ? tickText(v, decimals) : MorphoValueText(ay.first);
        printAt(s, l - 8 - kCharWidth * text.size(), y - 7, text, kInk);
    }
    printAt(s, (l + r) / 2 - kCharWidth * ax.name.size() / 2, b + 26, ax.name, kInk);
    printAt(s, 6, t - 20, ay.name, kInk);

    // The neutral-buoyancy contour: white over a dark edge, seen on any colour.
    const auto& contour = map.contour;
    auto toX = [&](double fx) { return l + (fx + 0.5) * cw; };
    auto toY = [&](double fy) { return b - (fy + 0.5) * ch; };
    for (int pass = 0; pass < 2; ++pass) {
        s.setDrawWidth(pass == 0 ? 4 : 2);
        for (const ContourSegment& c : contour)
            s.line(toX(c.x1), toY(c.y1), toX(c.x2), toY(c.y2), pass == 0 ? kContourEdge : kContourColour);
    }
    s.setDrawWidth(1);

    // The current model's point: a ring with a cross.
    if (map.current) {
        const double x = toX(map.current->first), y = toY(map.current->second);
        s.setDrawWidth(2);
        s.setFillStyle(1);
        s.circle(x, y, 7, kCurrentColour);
        s.line(x - 11, y, x - 4, y, kCurrentColour);
        s.line(x + 4, y, x + 11, y, kCurrentColour);
        s.line(x, y - 11, x, y - 4, kCurrentColour);
        s.line(x, y + 4, x, y + 11, kCurrentColour);
        s.setDrawWidth(1);
    }

    // Colour bar with the range of the finished cells.
    const double bx = r + 24, bw = 18;
    if (anyDone) {
        constexpr int kBands = 96;
        for (int k = 0; k < kBands; ++k) {
            const double y0 = b - (k + 1) * (b - t) / kBands, y1 = b - k * (b - t) / kBands;
            fillRect(s, bx, y0, bx + bw, y1 + (k + 1 < kBands ? 0.5 : 0), MorphoScaleColour(lo + (hi - lo) * (k + 0.5) / kBands, lo, hi));
        }
        s.line(bx, t, bx + bw, t, kInk);
        s.line(bx + bw, t, bx + bw, b, kInk);
        s.line(bx + bw, b, bx, b, kInk);
        s.line(bx, b, bx, t, kInk);
        const int labels = hi > lo ? 5 : 1;
        for (int k = 0; k < labels; ++k) {
            const double v = labels == 1 ? lo : lo + (hi - lo) * k / (labels - 1);
            const double y = labels == 1 ? (t + b) / 2 : b - (b - t) * k / (labels - 1);
            s.line(bx + bw, y, bx + bw + 4, y, kInk);
            printAt(s, bx + bw + 7, y - 7, map.valueLabel(v), kInk);
        }
        // The sea-water level on a density bar.
        if (map.seaWaterLine && hi > lo && kSeaWaterDensity >= lo && kSeaWaterDensity <= hi) {
            const double y = b - (b - t) * (kSeaWaterDensity - lo) / (hi - lo);
            s.setDrawWidth(3);
            s.line(bx - 3, y, bx + bw + 3, y, kContourEdge);
            s.setDrawWidth(1);
            s.line(bx - 3, y, bx + bw + 3, y, kContourColour);
        }
        printAt(s, bx, t - 20, unit.empty() ? "index" : unit, kInk);
    }

    // Legend above the map.
    double lx = std::max(l + kCharWidth * (title.size() + 4), r - 420);
    s.setDrawWidth(4);
    s.line(lx, 15, lx + 22, 15, kContourEdge);
    s.setDrawWidth(2);
    s.line(lx, 15, lx + 22, 15, kContourColour);
    s.setDrawWidth(1);
    printAt(s, lx + 28, 8, "density " + formatNumber(kSeaWaterDensity) + " (floats)", kInk);
    lx += 190;
    fillRect(s, lx, 9, lx + 12, 21, kMorphoStoppedColour);
    s.line(lx + 3, 12, lx + 9, 18, kErrorMark);
    s.line(lx + 3, 18, lx + 9, 12, kErrorMark);
    printAt(s, lx + 17, 8, "runtime error", kInk);
    lx += 120;
    s.setDrawWidth(2);
    s.circle(lx + 6, 15, 5, kCurrentColour);
    s.setDrawWidth(1);
    printAt(s, lx + 16, 8, "current model", kInk);
}

}  // namespace ammonite
