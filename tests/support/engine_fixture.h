// The engine alone: a model and run state loaded as the main window loads
// them, and the steps of a growth run on them, reporting to a recording
// observer.
#pragma once

#include <memory>

#include "model/growth.h"
#include "model/growth_steps.h"
#include "model/interpolation.h"
#include "support/growth_recorder.h"

namespace engine_test {

using namespace ammonite;

struct Engine {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<RunState> state = std::make_unique<RunState>();
    RunState& run = *state;
    // What the steps read besides the run, and what they report.
    GrowthInputs inputs;
    GrowthOutcome outcome;
    test_support::GrowthRecorder events;

    Engine() {
        LoadModelDefaults(*model, run);
        ResetRegulation(*model, run, ThresholdBars{});
        outcome.alpha = model->alpha;
        outcome.shownStage = model->shownStage;
        outcome.lastStage = model->lastStage;
    }

    // The steps on this model (as the inputs) and run.
    growth_steps::Grower steps() {
        inputs = GrowthInputsOf(*model, run);
        return {inputs, run, outcome, &events};
    }
    // The per-stage tables of the model's profiles, as START builds them.
    void buildTables() { outcome.lastStage = InterpolateProfiles(GrowthInputsOf(*model, run), run); }
};

}  // namespace engine_test
