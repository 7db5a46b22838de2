// The main window's rules for its model, without the window: the load step,
// what the stage and scale boxes and the four threshold bars do, and one
// press of START. The main window, the batch tool, every sweep point, the
// morphospace window, VIEW's live regrowth and the Python package all start
// their runs here, so the same text gives the same result and the same
// message everywhere.
#pragma once

#include <string>

#include "model/growth.h"
#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

// The main window's load step: the model's defaults (the drawing scale read
// from the scale box's text) and the regulation reset from the bars'
// positions.
void LoadWindowModel(ModelState& model, RunState& run, const std::string& scaleText, const ThresholdBars& bars);

// The stage box: the number its text starts with becomes the stage count.
// A number outside the box's range names the box and the range
// (RuntimeError); the stage keeps its old value.
void ReadStageBox(ModelState& model, const std::string& text);
// The scale box: the number its text starts with becomes the drawing scale.
void ReadScaleBox(ModelState& model, const std::string& text);

enum class ThresholdBar { St1, St2, Ft1, Ft2 };
// Moving a bar to `position` sets its threshold; returns the threshold.
double MoveThresholdBar(RunState& run, ThresholdBar bar, int position);
// The bar's position in `bars`.
int& BarPosition(ThresholdBars& bars, ThresholdBar bar);
// A moved bar redraws the regulation chart only once a run has built stages;
// before that there is nothing to plot.
bool ChartFollowsBars(const RunState& run);

// The message for a scale text that is not a number, naming the box and
// giving an example: every interface refuses such a text in these words.
std::string ScaleTextRefusal(const std::string& scaleText);

// One press of START: the log cleared, the stage count settled, the tables
// built, the scale box's text read strictly (a text that is not a number is
// refused with a message naming the box and giving an example), the view
// prepared, the observer told, and the shell grown. Throws RuntimeError
// where the run stops; what was computed before stays.
void PressStart(ModelState& model, RunState& run, const std::string& scaleText, GrowthObserver* observer);

}  // namespace ammonite
