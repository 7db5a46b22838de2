// The steps of one growth run, shared by the files that implement them
// (growth.cpp: stage parameters and construction; hydrostatics.cpp: volumes,
// centres, life orientation and the final report), and by tests that check
// one step by itself. The engine's face is growth_run.h.
#pragma once

#include "model/growth_run.h"

namespace ammonite::growth_steps {

struct Grower {
    const GrowthInputs& in;
    RunState& run;
    GrowthOutcome& out;
    GrowthObserver* observer;

    void LoadStageParameters();    // stages up to 200
    void RegulateStage();          // stages from 201
    void HydrostaticStep();        // volumes, centres and density after currentStage
    void SimpleUpVector();         // "up" = from the body chamber to the air chamber
    void FindTangentPoint();       // "up" from the point the shell rests on
    // Orientation angle and lifeViewVector for the growth direction given.
    void OrientStage(const Vec3& direction);
    void FinalReport();            // report texts, life orientation, the chart's checks
};

// The checks of the regulation chart of a run whose stage count is
// `shownStage` (a radius of 0 or below, γ = 1), in the order the chart is
// drawn; sets run.ribSpacing to the last rib spacing it plots.
void CheckRegulationChart(RunState& run, long shownStage);

}  // namespace ammonite::growth_steps
