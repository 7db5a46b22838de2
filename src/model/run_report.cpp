// The texts of a run's report, from the numbers the run left.
#include <cmath>

#include "model/growth_run.h"

namespace ammonite {

void WriteRunReport(RunReport& report, const RunState& r, const GrowthOutcome& outcome) {
    if (!outcome.growthBegan) return;
    // Only the last value can be seen: the angle at the start of the last stage.
    report.orientationLabel = formatSingle(outcome.lastStageAngle);
    if (!outcome.stagesGrown) return;
    report.orientationLabel = OrientationLabel(r.orientationAngle);
    report.densityLabel = formatNumber(std::floor(1000 * r.meanDensity) / 1000);
    report.stabilityLabel = formatDecimals(r.stabilityIndex, 3);
    if (!outcome.markersReady) return;
    report.ptRatioText = formatNumber(std::floor(1000 * r.ptRatio) / 10);
}

}  // namespace ammonite
