#include "render/regulation_chart.h"

#include <cmath>

namespace ammonite {

namespace {

constexpr Rgb kCurvatureDots{200, 100, 100};
constexpr Rgb kRibSpacingDots{100, 200, 200};

void drawChart(DrawingSurface& s, const RunState& r, long last) {
    for (long stage = 1; stage <= last; ++stage)
        s.point(RegulationChartX(r.radiusByStage[stage]), 500 - 200 * r.curvatureByStage[stage], kCurvatureDots);
    s.print("C");

    double ribSpacing = 0;
    for (long stage = 1; stage <= last; ++stage) {
        ribSpacing = checkedDivide(r.ribSpacingFactor, r.gammaByStage[stage] - 1, "rib spacing with γ = 1");
        s.point(RegulationChartX(r.radiusByStage[stage]), 500 - 100 * ribSpacing, kRibSpacingDots);
    }
    s.print(RibSpacingLabel(ribSpacing));

    // The fatigue threshold: flat below sizeLow, a ramp to sizeHigh, flat to
    // the size the shell reached.
    const double yLow = 500 - 100 * r.fatigueAtSizeLow;
    const double yHigh = 500 - 100 * r.fatigueAtSizeHigh;
    const double xLow = 300 * r.sizeLow, xHigh = 300 * r.sizeHigh;
    const Rgb ink = paletteColour(0);
    s.line(0, yLow, xLow, yLow, ink);
    s.line(xLow, yLow, xHigh, yHigh, ink);
    s.line(xHigh, yHigh, RegulationChartX(r.radiusByStage[last + 1]), yHigh, ink);
    // The two knots carry no colour of their own: they are drawn in the
    // surface's foreground colour (the grey START sets).
    s.circle(xLow, yLow, 3, s.foreColour());
    s.circle(xHigh, yHigh, 3, s.foreColour());

    s.print(" ");
}

}  // namespace

double RegulationChartX(double radius) { return 300 * checkedLog(radius, "logarithm of a radius of 0 or below"); }

std::string RibSpacingLabel(double ribSpacing) { return " " + formatNumber(ribSpacing); }

void DrawRegulationChart(DrawingSurface& surface, const RunState& run, long shownStage) {
    surface.setDrawWidth(2);
    try {
        drawChart(surface, run, shownStage);
    } catch (...) {
        surface.setDrawWidth(1);
        throw;
    }
    surface.setDrawWidth(1);
}

}  // namespace ammonite
