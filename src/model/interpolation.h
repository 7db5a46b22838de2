// Turns the four parameter profiles into per-stage tables.
#pragma once

#include <cstdint>

#include "model/growth_run.h"
#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

// Rebuilds gammaByStage, curvatureByStage, torsionByStage, betaByStage and the
// step factor gammaBetaByStage from the profiles, and sets lastStage.
// Each segment covers the half-open stage interval (a, b]; rows not covered
// keep what an earlier call wrote. A profile with more than 50 segments or a
// stage outside 0..4000 is refused with a RuntimeError before any row changes.
void InterpolateProfiles(ModelState& model);

// The checks InterpolateProfiles makes before touching a table; throws
// RuntimeError naming the first problem.
void CheckProfileBounds(const ModelState& model);

// The same for a growth run: the profiles, α and stage range of `inputs`
// into the run's stage tables; returns the last stage with tables.
std::int16_t InterpolateProfiles(const GrowthInputs& inputs, RunState& tables);
void CheckProfileBounds(const GrowthInputs& inputs);

}  // namespace ammonite
