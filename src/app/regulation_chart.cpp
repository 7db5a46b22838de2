// The regulation chart and its four threshold scroll bars: curvature and rib
// spacing of every stage against the logarithm of the radius, and the
// size-dependent fatigue threshold the bars set.
#include <cmath>

#include "app/main_window_logic.h"

namespace ammonite {

namespace {
constexpr Rgb kCurvatureDots{200, 100, 100};
constexpr Rgb kRibSpacingDots{100, 200, 200};

// Chart x of a stage: 300 picture units per unit of ln(radius).
double chartX(Fixed4 radius) { return 300 * checkedLog(radius, "logarithm of a radius of 0 or below"); }

// The chart in the order it is drawn, with the wide pen.
void plotChart(ModelState& model, RunState& r, DrawingSurface& surface) {
    const long last = model.shownStage;
    for (long s = 1; s <= last; ++s)
        surface.point(chartX(r.radiusByStage[s]), 500 - 200 * model.curvatureByStage[s], kCurvatureDots);
    surface.print("C");

    for (long s = 1; s <= last; ++s) {
        r.ribSpacing = checkedDivide(r.ribSpacingFactor, model.gammaByStage[s] - 1, "rib spacing with γ = 1");
        surface.point(chartX(r.radiusByStage[s]), 500 - 100 * r.ribSpacing, kRibSpacingDots);
    }
    surface.print(" " + formatNumber(r.ribSpacing));

    // The fatigue threshold: flat below sizeLow, a ramp to sizeHigh, flat to
    // the size the shell reached.
    const Rgb black = paletteColour(0);
    const double yLow = 500 - 100 * r.fatigueAtSizeLow;
    const double yHigh = 500 - 100 * r.fatigueAtSizeHigh;
    const double xLow = 300 * r.sizeLow, xHigh = 300 * r.sizeHigh;
    surface.line(0, yLow, xLow, yLow, black);
    surface.line(xLow, yLow, xHigh, yHigh, black);
    surface.line(xHigh, yHigh, chartX(r.radiusByStage[last + 1]), yHigh, black);
    // The two knots of the curve carry no colour of their own: they are drawn
    // in the surface's foreground colour (the grey START sets).
    surface.circle(xLow, yLow, 3, surface.foreColour());
    surface.circle(xHigh, yHigh, 3, surface.foreColour());

    surface.print(" ");
}

}  // namespace

void MainWindowLogic::DrawRegulationChart() {
    surface.setDrawWidth(2);
    try {
        plotChart(model, run, surface);
    } catch (...) {
        // A chart that stops half-way still leaves the thin pen for the
        // next wireframe.
        surface.setDrawWidth(1);
        throw;
    }
    surface.setDrawWidth(1);
}

void MainWindowLogic::onThresholdBarChanged(ScrollBarModel& bar) {
    RunState& r = run;
    double stored = 0;
    LabelModel* label = nullptr;
    if (&bar == &ST1hsc) {
        r.sizeLow = bar.value() / 100.0;
        stored = r.sizeLow;
        label = &ST1lbl;
    } else if (&bar == &ST2hsc) {
        r.sizeHigh = bar.value() / 100.0;
        stored = r.sizeHigh;
        label = &ST2lbl;
    } else if (&bar == &FT1vsc) {
        // The top of a vertical bar is -80: the threshold grows as it moves up.
        r.fatigueAtSizeLow = -bar.value() / 100.0;
        stored = r.fatigueAtSizeLow;
        label = &FT1lbl;
    } else {
        r.fatigueAtSizeHigh = -bar.value() / 100.0;
        stored = r.fatigueAtSizeHigh;
        label = &FT2lbl;
    }
    surface.clear();
    DrawRegulationChart();
    label->setCaption(formatNumber(stored));
}

}  // namespace ammonite
