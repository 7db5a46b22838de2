#include "render/regulation_chart.h"

#include <cmath>

namespace ammonite {

namespace {

constexpr Rgb kCurvatureDots{200, 100, 100};
constexpr Rgb kRibSpacingDots{100, 200, 200};

void drawChart(DrawingSurface& s, const RunState& r, long last) {
    ChartEndLabels labels(s);
    for (long stage = 1; stage <= last; ++stage)
        s.point(RegulationChartX(r.radiusByStage[stage]), 500 - 200 * r.curvatureByStage[stage], kCurvatureDots);
    labels.curvature("C");

    double ribSpacing = 0;
    for (long stage = 1; stage <= last; ++stage) {
        ribSpacing = checkedDivide(r.ribSpacingFactor, r.gammaByStage[stage] - 1, "rib spacing with γ = 1");
        s.point(RegulationChartX(r.radiusByStage[stage]), 500 - 100 * ribSpacing, kRibSpacingDots);
    }
    labels.ribSpacing(RibSpacingLabel(ribSpacing));

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

std::string ChartNumber(double value) {
    if (!std::isfinite(value) || value == 0) return formatNoLeadingZero(value);
    const int decimals = 2 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const double k = std::pow(10.0, decimals);
    return formatNoLeadingZero(std::round(value * k) / k);
}

std::string RibSpacingLabel(double ribSpacing) { return " " + ChartNumber(ribSpacing); }

void ChartEndLabels::curvature(const std::string& text) {
    x_ = surface_.currentX();
    y_ = surface_.currentY();
    surface_.print(text);
    height_ = surface_.currentY() - y_;
}

void ChartEndLabels::ribSpacing(const std::string& text) {
    const double x = surface_.currentX(), y = surface_.currentY();
    const double h = height_;
    if (h > 0 && std::fabs(x - x_) < h && std::fabs(y - y_) < h)
        surface_.setCurrentPosition(x, y < y_ ? y_ - h : y_ + h);
    surface_.print(text);
}

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
