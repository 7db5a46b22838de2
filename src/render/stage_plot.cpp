#include "render/stage_plot.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "core/numeric.h"

namespace ammonite {

namespace {

// The text of a tick value: no more decimals than the step needs.
std::string tickText(double value, double step) {
    int decimals = 0;
    auto fractional = [&](int d) {
        const double scaled = step * std::pow(10.0, d);
        return std::fabs(scaled - std::round(scaled)) > 1e-9 * std::max(1.0, std::fabs(scaled));
    };
    while (decimals < 6 && fractional(decimals)) ++decimals;
    return formatDecimals(value, decimals);
}

struct Panel {
    const char* title;
    Rgb colour;
    std::function<double(long)> value;  // the quantity at a stage
    bool seaWaterLine;
    bool wholeRange;  // bounded values: always show all of them
};

// The part of a segment between the heights `top` and `bottom`.
void clippedLine(DrawingSurface& surface, double x1, double y1, double x2, double y2, double top, double bottom,
                 Rgb colour) {
    double t0 = 0, t1 = 1;
    const double dy = y2 - y1;
    for (const double edge : {top, bottom}) {
        const bool below = edge == top;  // inside means y >= top, y <= bottom
        const double d1 = below ? y1 - edge : edge - y1;
        const double d2 = below ? y2 - edge : edge - y2;
        if (d1 < 0 && d2 < 0) return;
        if (d1 < 0) t0 = std::max(t0, d1 / (d1 - d2));
        if (d2 < 0) t1 = std::min(t1, d1 / (d1 - d2));
    }
    if (t0 > t1) return;
    const double dx = x2 - x1;
    surface.line(x1 + t0 * dx, y1 + t0 * dy, x1 + t1 * dx, y1 + t1 * dy, colour);
}

}  // namespace

std::vector<double> NiceTicks(double lo, double hi, int target) {
    std::vector<double> ticks;
    if (!(hi > lo) || target < 1 || !std::isfinite(lo) || !std::isfinite(hi)) return ticks;
    const double raw = (hi - lo) / target;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (step >= raw) break;
    }
    for (double t = std::ceil(lo / step - 1e-9) * step; t <= hi + step * 1e-9; t += step)
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

bool DrawStagePlot(DrawingSurface& surface, const RunState& run) {
    long first = 0, last = 0;
    for (long s = 1; s <= kMaxStage; ++s) {
        if (!run.hydrostaticsByStage[s].valid) continue;
        if (first == 0) first = s;
        last = s;
    }
    if (first == 0) return false;

    const Panel panels[3] = {
        {"Mean density (g/cm³)", Rgb(0, 70, 200), [&](long s) { return run.hydrostaticsByStage[s].meanDensity; },
         true, false},
        {"Orientation angle (°)", Rgb(200, 40, 40), [&](long s) { return double(run.orientationAngleByStage[s]); },
         false, true},
        {"Stability index |B − G| / V^(1/3)", Rgb(0, 130, 60),
         [&](long s) { return run.hydrostaticsByStage[s].stabilityIndex; }, false, false},
    };

    const Rgb ink(40, 40, 40), grid(225, 225, 225), axis(120, 120, 120), seaWater(90, 160, 220);
    surface.setBackColour(paletteColour(15));
    surface.setFillStyle(1);
    surface.setDrawWidth(1);
    surface.clear();
    surface.setForeColour(ink);
    surface.setCurrentPosition(70, 8);
    surface.print("Stage results of the last run (stages " + std::to_string(first) + " to " + std::to_string(last) +
                  ")");

    const double left = 70, right = surface.width() - 30;
    const double top0 = 40, panelHeight = 200, gap = 40;
    const double stageLo = static_cast<double>(first), stageHi = static_cast<double>(std::max(last, first + 1));
    auto xOf = [&](double stage) { return left + (stage - stageLo) / (stageHi - stageLo) * (right - left); };
    const std::vector<double> stageTicks = NiceTicks(stageLo, stageHi, 10);

    for (int p = 0; p < 3; ++p) {
        const Panel& panel = panels[p];
        const double top = top0 + p * (panelHeight + gap), bottom = top + panelHeight;

        // Value range: the first stages of a shell can give densities and
        // stabilities far off the rest (a body chamber longer than the tube),
        // so their range is that of the middle 98 % of the stages; angles keep
        // their whole range. A margin is added; a flat curve gets a range of
        // its own.
        std::vector<double> values;
        for (long s = first; s <= last; ++s) {
            if (!run.hydrostaticsByStage[s].valid) continue;
            const double v = panel.value(s);
            if (std::isfinite(v)) values.push_back(v);
        }
        double lo = 0, hi = 1;
        if (!values.empty()) {
            std::sort(values.begin(), values.end());
            const size_t cut = panel.wholeRange ? 0 : values.size() / 100;
            lo = values[cut];
            hi = values[values.size() - 1 - cut];
        }
        if (panel.seaWaterLine) {
            lo = std::min(lo, kPlotSeaWaterDensity);
            hi = std::max(hi, kPlotSeaWaterDensity);
        }
        if (hi - lo < 1e-9 * std::max(1.0, std::fabs(hi))) lo -= 0.5, hi += 0.5;
        const double pad = 0.05 * (hi - lo);
        lo -= pad;
        hi += pad;
        const bool cutOff = !values.empty() && (values.front() < lo || values.back() > hi);
        auto yOf = [&](double v) { return bottom - (v - lo) / (hi - lo) * (bottom - top); };

        // Grid, ticks and their texts.
        const std::vector<double> valueTicks = NiceTicks(lo, hi, 5);
        const double valueStep = valueTicks.size() > 1 ? valueTicks[1] - valueTicks[0] : 1;
        for (double t : valueTicks) {
            surface.line(left, yOf(t), right, yOf(t), grid);
            surface.setCurrentPosition(8, yOf(t) - 7);
            surface.print(tickText(t, valueStep));
        }
        const double stageStep = stageTicks.size() > 1 ? stageTicks[1] - stageTicks[0] : 1;
        for (double t : stageTicks) {
            surface.line(xOf(t), top, xOf(t), bottom, grid);
            surface.line(xOf(t), bottom, xOf(t), bottom + 4, axis);
            surface.setCurrentPosition(xOf(t) - 12, bottom + 5);
            surface.print(tickText(t, stageStep));
        }
        surface.line(left, top, left, bottom, axis);
        surface.line(left, bottom, right, bottom, axis);
        surface.setCurrentPosition(left + 6, top - 16);
        surface.print(panel.title);

        if (panel.seaWaterLine) {
            const double y = yOf(kPlotSeaWaterDensity);
            for (double x = left; x < right; x += 12) surface.line(x, y, std::min(x + 6, right), y, seaWater);
            surface.setForeColour(seaWater);
            surface.setCurrentPosition(left + 0.4 * (right - left), y - 15);
            surface.print("sea water " + formatNumber(kPlotSeaWaterDensity));
            surface.setForeColour(ink);
        }

        // The curve, joined over stages with results.
        surface.setDrawWidth(2);
        bool started = false;
        double px = 0, py = 0;
        for (long s = first; s <= last; ++s) {
            if (!run.hydrostaticsByStage[s].valid || !std::isfinite(panel.value(s))) {
                started = false;
                continue;
            }
            const double x = xOf(static_cast<double>(s)), y = yOf(panel.value(s));
            if (started) clippedLine(surface, px, py, x, y, top, bottom, panel.colour);
            started = true;
            px = x;
            py = y;
        }
        surface.setDrawWidth(1);
        if (cutOff) {
            surface.setForeColour(axis);
            surface.setCurrentPosition(right - 260, top - 16);
            surface.print("values beyond the panel are cut off");
            surface.setForeColour(ink);
        }
    }
    surface.setCurrentPosition(right - 30, top0 + 3 * (panelHeight + gap) - gap + 20);
    surface.print("stage");
    return true;
}

}  // namespace ammonite
