// The regulation chart of a run: curvature and rib spacing of every stage
// against the logarithm of the radius, and the size-dependent fatigue
// threshold the four threshold bars set, drawn from the run's results in
// chart units (300 per unit of ln radius across, 500 at curvature 0 down).
#pragma once

#include "model/run_state.h"
#include "render/surface.h"

namespace ammonite {

// Chart x of a radius: 300 picture units per unit of ln(radius); a radius of
// 0 or below is a runtime error.
double RegulationChartX(double radius);

// A chart label's number: three significant digits in the ".93" form of the
// chart's other labels (0.0857142857 → ".0857", 12.345 → "12.3").
std::string ChartNumber(double value);
// The label printed after the rib-spacing dots: the last rib spacing plotted.
std::string RibSpacingLabel(double ribSpacing);

// The labels at the ends of the two curves, printed at the current position
// (the curve's last point). Both curves end at the last stage, so the labels
// share their left edge: the rib spacing's number goes a line above or below
// the "C" when the two would overlap.
class ChartEndLabels {
public:
    explicit ChartEndLabels(DrawingSurface& surface) : surface_(surface) {}
    void curvature(const std::string& text);
    void ribSpacing(const std::string& text);

private:
    DrawingSurface& surface_;
    // Where the "C" stands, and its line height (-1: not printed).
    double x_ = 0, y_ = 0, height_ = -1;
};

// Draws the chart of stages 1..shownStage, in the order the window draws it,
// with a pen of width 2 that is put back to 1 afterwards, also when the chart
// stops half-way on a runtime error (a radius of 0, γ = 1), which it throws.
void DrawRegulationChart(DrawingSurface& surface, const RunState& run, long shownStage);

}  // namespace ammonite
