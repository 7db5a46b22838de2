// The results of a run as one text, for comparing two runs exactly: the
// stage tables and summary the program writes, the working values a summary
// leaves out, and the outcome of the growth call when there is one.
#pragma once

#include <sstream>
#include <string>

#include "model/growth_run.h"
#include "model/stage_results.h"

namespace test_support {

inline std::string ResultsText(const ammonite::ModelState& model, const ammonite::RunState& run) {
    std::ostringstream out;
    ammonite::WriteStageTables(out, model, run, run.lastBuiltStage);
    ammonite::WriteRunSummary(out, model, run);
    out << "has_run=" << run.hasRun << " last_built=" << run.lastBuiltStage << " current=" << run.currentStage
        << " orientation=" << ammonite::NumberText(run.orientationAngle) << " rib_spacing="
        << ammonite::NumberText(run.ribSpacing) << " segments=" << run.segmentsDrawn << '\n';
    return out.str();
}

// The outcome's values as text (the error's message included).
inline std::string OutcomeText(const ammonite::GrowthOutcome& o) {
    using ammonite::NumberText;
    std::ostringstream out;
    out << o.tablesWritten << o.tablesBuilt << o.growthBegan << o.stagesGrown << o.markersReady << o.chartBegan
        << " error=" << (o.error ? o.error->what() : "") << " shown=" << o.shownStage << " last=" << o.lastStage
        << " alpha=" << NumberText(o.alpha) << " regulated=" << (o.regulatedGrowth ? *o.regulatedGrowth : -1)
        << " angle=" << NumberText(o.lastStageAngle) << " view=" << NumberText(o.viewVector.x.toDouble()) << ',' << NumberText(o.viewVector.y.toDouble()) << ','
        << NumberText(o.viewVector.z.toDouble()) << " next=" << NumberText(o.next.orientationAngle) << ','
        << o.next.pendingRibs << ',' << o.next.ribCountdown << ',' << NumberText(o.next.orientationSin) << ','
        << NumberText(o.next.orientationCos) << ',' << NumberText(o.next.orientationShiftX) << ','
        << NumberText(o.next.orientationShiftY);
    return out.str();
}

}  // namespace test_support
