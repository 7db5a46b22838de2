// The steps of one growth run, shared by the files that implement them
// (growth.cpp: stage parameters and construction; hydrostatics.cpp: volumes,
// centres, life orientation and the final report), and by tests that check
// one step by itself. The engine's face is growth.h.
#pragma once

#include "model/growth.h"

namespace ammonite::growth_steps {

struct Grower {
    ModelState& model;
    RunState& run;
    GrowthObserver* observer;

    void LoadStageParameters();    // stages up to 200
    void RegulateStage();          // stages from 201
    void HydrostaticStep();        // volumes, centres and density after currentStage
    void SimpleUpVector();         // "up" = from the body chamber to the air chamber
    void FindTangentPoint();       // "up" from the point the shell rests on
    // Orientation angle and lifeViewVector for the growth direction given.
    void OrientStage(const Vec3& direction);
    void FinalReport();            // report texts, markers, life orientation, chart

    void log(const std::vector<std::string>& items) {
        if (observer) observer->logLine(items);
    }
    void reportChanged() {
        if (observer) observer->reportChanged(run.report);
    }
};

}  // namespace ammonite::growth_steps
