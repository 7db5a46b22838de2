// A shell grown by the engine alone, as a fresh main window's START grows
// it: for the tests of what is drawn or exported from a run's results.
#pragma once

#include <memory>

#include "model/growth.h"

namespace test_support {

struct GrownShell {
    std::unique_ptr<ammonite::ModelState> model = std::make_unique<ammonite::ModelState>();
    std::unique_ptr<ammonite::RunState> state = std::make_unique<ammonite::RunState>();
    ammonite::RunState& run = *state;

    GrownShell() {
        ammonite::LoadModelDefaults(*model, run);
        ammonite::ResetRegulation(*model, run, ammonite::ThresholdBars{});
    }
    // One START asking for `stages` stages (the model's count when 0);
    // throws where the run stops.
    void start(int stages = 0, ammonite::GrowthObserver* observer = nullptr) {
        if (stages > 0) model->shownStage = static_cast<std::int16_t>(stages);
        ammonite::Start(*model, run, ammonite::RunInputs{}, observer);
    }
};

}  // namespace test_support
