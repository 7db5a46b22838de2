// A plot of the per-stage results of the last run: the mean density, the
// orientation angle and the stability index against the stage, one panel
// each, drawn on a drawing surface.
#pragma once

#include <vector>

#include "model/model_state.h"
#include "model/run_state.h"
#include "render/surface.h"

namespace ammonite {

// Density of sea water (g/cm³): a shell denser than this sinks.
constexpr double kPlotSeaWaterDensity = kSeaWaterDensity;

// Evenly spaced tick values covering [lo, hi] at a step of 1, 2 or 5 × 10^k,
// about `target` of them.
std::vector<double> NiceTicks(double lo, double hi, int target);

// Clears the surface and draws the three panels over the stages that took
// part in the hydrostatics. Returns false, drawing nothing, when no stage did
// (no run yet, or a run that stopped before its first stage).
bool DrawStagePlot(DrawingSurface& surface, const RunState& run);

}  // namespace ammonite
