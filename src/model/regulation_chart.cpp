// The regulation chart: curvature and rib spacing of every stage against the
// logarithm of the radius, and the size-dependent fatigue threshold the four
// threshold bars set. The engine traces it; a window draws what it traces.
#include <cmath>
#include <string>

#include "model/growth.h"

namespace ammonite {

namespace {

// A chart label's number: three significant digits in the ".93" form of the
// chart's other labels (0.0857142857 → ".0857", 12.345 → "12.3").
std::string chartNumber(double value) {
    if (!std::isfinite(value) || value == 0) return formatNoLeadingZero(value);
    const int decimals = 2 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const double k = std::pow(10.0, decimals);
    return formatNoLeadingZero(std::round(value * k) / k);
}

// Chart x of a stage: 300 picture units per unit of ln(radius).
double chartX(Fixed4 radius) { return 300 * checkedLog(radius, "logarithm of a radius of 0 or below"); }

// The chart in the order it is drawn.
void traceChart(const ModelState& model, RunState& r, GrowthObserver& chart) {
    const long last = model.shownStage;
    for (long s = 1; s <= last; ++s)
        chart.chartPoint(ChartSeries::Curvature, chartX(r.radiusByStage[s]), 500 - 200 * model.curvatureByStage[s]);
    chart.chartLabel(ChartSeries::Curvature, "C");

    for (long s = 1; s <= last; ++s) {
        r.ribSpacing = checkedDivide(r.ribSpacingFactor, model.gammaByStage[s] - 1, "rib spacing with γ = 1");
        chart.chartPoint(ChartSeries::RibSpacing, chartX(r.radiusByStage[s]), 500 - 100 * r.ribSpacing);
    }
    chart.chartLabel(ChartSeries::RibSpacing, " " + chartNumber(r.ribSpacing));

    // The fatigue threshold: flat below sizeLow, a ramp to sizeHigh, flat to
    // the size the shell reached.
    const double yLow = 500 - 100 * r.fatigueAtSizeLow;
    const double yHigh = 500 - 100 * r.fatigueAtSizeHigh;
    const double xLow = 300 * r.sizeLow, xHigh = 300 * r.sizeHigh;
    chart.chartLine(0, yLow, xLow, yLow);
    chart.chartLine(xLow, yLow, xHigh, yHigh);
    chart.chartLine(xHigh, yHigh, chartX(r.radiusByStage[last + 1]), yHigh);
    chart.chartKnot(xLow, yLow);
    chart.chartKnot(xHigh, yHigh);

    chart.chartText(" ");
}

}  // namespace

void TraceRegulationChart(const ModelState& model, RunState& run, GrowthObserver& observer) {
    observer.chartBegin();
    try {
        traceChart(model, run, observer);
    } catch (...) {
        observer.chartEnd();
        throw;
    }
    observer.chartEnd();
}

}  // namespace ammonite
