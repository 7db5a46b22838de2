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

// The label printed after the rib-spacing dots: the last rib spacing plotted.
std::string RibSpacingLabel(double ribSpacing);

// Draws the chart of stages 1..shownStage, in the order the window draws it,
// with a pen of width 2 that is put back to 1 afterwards, also when the chart
// stops half-way on a runtime error (a radius of 0, γ = 1), which it throws.
void DrawRegulationChart(DrawingSurface& surface, const RunState& run, long shownStage);

}  // namespace ammonite
