// The growth engine as the windows use it: the model's defaults, the
// regulation thresholds the bars set, and one START on a model. The growth
// itself is a function of its inputs (growth_run.h); Start reads the inputs
// and the carry-over from a model and its run state, grows, and applies what
// a START changes in the model, so two calls behave as two presses of START.
#pragma once

#include <string>
#include <vector>

#include "core/rotations.h"
#include "model/growth_run.h"
#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

// What START reads besides the model: the scale box's text, which START
// converts strictly (the stage count is model.shownStage, the regulation
// thresholds are in RunState).
struct RunInputs {
    std::string scaleText = "2";
};

// The model's values as the main window loads them: default profiles over
// 0..3000, 1700 stages shown, densities 0.6 and 1.3, scale 2, origin
// (500, 650), view (0, 1, 0), light (1, 0, 1), ribbing and life orientation on.
void LoadModelDefaults(ModelState& model, RunState& run, const std::string& scaleText = "2");

// Regulation thresholds from the positions of the four threshold bars
// (ST1, ST2: 0..1000; FT1, FT2: -80..0), as the bars set them.
struct ThresholdBars {
    int st1 = 200, st2 = 300, ft1 = 0, ft2 = 0;
};
// As the main window's load step sets them (also resets α and the fatigue
// threshold).
void ResetRegulation(ModelState& model, RunState& run, const ThresholdBars& bars);
// As moving one bar sets its threshold.
void SetSizeLow(RunState& run, int st1Position);
void SetSizeHigh(RunState& run, int st2Position);
void SetFatigueAtSizeLow(RunState& run, int ft1Position);
void SetFatigueAtSizeHigh(RunState& run, int ft2Position);

// The whole START on a model, with no picture: the stage count settled,
// the scale text converted strictly, the shell grown and the outcome applied
// to the model. Throws RuntimeError where the run stops; what was computed
// before the error stays.
void Start(ModelState& model, RunState& run, const RunInputs& inputs, GrowthObserver* observer = nullptr);

// Ribs the last run laid: stages whose rib mark starts a rib (5).
int CountRibs(const RunState& run);

}  // namespace ammonite
