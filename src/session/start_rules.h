// The main window's rules for its model, without the window: the load step,
// what the stage and scale boxes and the four threshold bars do, and one
// press of START. The main window, the batch tool, every sweep point, the
// morphospace window, VIEW's live regrowth and the Python package all start
// their runs here, so the same text gives the same result and the same
// message everywhere.
#pragma once

#include <functional>
#include <string>

#include "model/growth.h"
#include "model/model_state.h"
#include "model/run_state.h"
#include "render/run_painter.h"
#include "session/log_sink.h"

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

// What a driver shows of one START; every part may be left out.
struct StartViews {
    LogSink* log = nullptr;          // the regulation log: cleared, then written
    RunPainter* painter = nullptr;   // the picture: axes, rings, markers, chart
    // The STAGE and MAX boxes: the stage count and the last stage with
    // tables, as the run settles them and again once every stage is built.
    std::function<void(int shownStage, int lastStage)> stagesSettled;
    // The scale text was read: the growth itself follows.
    std::function<void()> growthBegins;
    // The result labels, once the growth has run (to its end or to an error).
    std::function<void(const RunReport&)> reportChanged;
    // Anything else that follows the growth stage by stage.
    GrowthObserver* observer = nullptr;
};

// One press of START: the log cleared, the stage count settled, the tables
// built, the scale box's text read strictly (a text that is not a number is
// refused with a message naming the box and giving an example), the shell
// grown from the model's inputs and the run's carry-over, the outcome applied
// to the model (the stage count, α, the view and turn of the next run), and
// the report, markers and regulation chart shown. Throws RuntimeError where
// the run stops; what was computed before stays.
void PressStart(ModelState& model, RunState& run, const std::string& scaleText, const StartViews& views = {});

// The regulation chart of the last run on the surface; without a surface its
// checks still run (and may throw).
void DrawRunChart(DrawingSurface* surface, const ModelState& model, const RunState& run);

}  // namespace ammonite
