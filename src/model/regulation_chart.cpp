// The checks the regulation chart makes on a run's results, so that a run
// ends on them whether or not a window draws the chart (render draws it).
#include <cmath>

#include "model/growth_steps.h"

namespace ammonite::growth_steps {

void CheckRegulationChart(RunState& r, long last) {
    const char* const badRadius = "logarithm of a radius of 0 or below";
    for (long s = 1; s <= last; ++s) checkedLog(r.radiusByStage[s], badRadius);
    for (long s = 1; s <= last; ++s)
        r.ribSpacing = checkedDivide(r.ribSpacingFactor, r.gammaByStage[s] - 1, "rib spacing with γ = 1");
    checkedLog(r.radiusByStage[last + 1], badRadius);
}

}  // namespace ammonite::growth_steps
