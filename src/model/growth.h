// The growth engine: one START of the model, from the profiles and settings
// in ModelState to the per-stage tables, the regulation events and the final
// report in RunState. Everything a window draws or logs while a run goes on
// reaches it, in order, through an optional GrowthObserver; the engine itself
// draws nothing and knows no window.
//
// Values that carry over from one run to the next (the orientation angle,
// the pending ribs and the rib countdown, the life orientation in the model,
// the report texts) live in RunState and ModelState, so two calls in a row
// behave as two presses of START.
#pragma once

#include <string>
#include <vector>

#include "core/rotations.h"
#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

// Markers of the final report, drawn over the wireframe.
enum class MarkerKind { TangentPoint, AirChamberCentre, BodyChamberCentre };
// The two dot series of the regulation chart.
enum class ChartSeries { Curvature, RibSpacing };

// One point of a cross-section ring as the run builds it.
struct RingVertex {
    Vec3 point;
    bool startsRing = false;
    bool closesRing = false;
};

// What the regulation decided at one regulated stage (from stage 201): the
// values its log line stands for, and more. The clocks are those the event was
// chosen on (after their start at the first regulated stage), truncated to
// four decimals as the regulation keeps them.
struct RegulationEvent {
    int stage = 0;
    int event = 0;              // 1..6, as the log writes it
    int ribMark = 0;            // 5..1 while a rib is laid, 0 otherwise
    double gamma = 0;           // γ the orientation chose
    float orientationAngle = 0; // degrees, of the stage before, which chose γ
    double fatigueClock = 0, scheduleClock = 0, ribClock = 0;  // F, D, R
    double fatigueThreshold = 0;
    double step = 0;            // the aperture's advance in radii (0 on a rib stage)
    int pendingRibs = 0;        // after the event
};

class GrowthObserver {
public:
    virtual ~GrowthObserver() = default;
    // START begins: the regulation log is cleared.
    virtual void logCleared() {}
    // One line of the regulation log; `items` are printed one after another.
    virtual void logLine(const std::vector<std::string>& /*items*/) {}
    // The regulation's decision at a stage, right after its log line.
    virtual void regulated(const RegulationEvent&) {}
    // The stage count and the last stage with tables are settled
    // (model.shownStage, model.lastStage); START shows them.
    virtual void stagesSettled(const ModelState&) {}
    // Drawing scale and view are set; the first stage is about to be built.
    virtual void runPrepared(const ModelState&, const RunState&) {}
    // The points of one stage's cross-section ring, in model coordinates, in
    // the order the rings are built. A point that does not start the ring
    // closes a segment from the point before it.
    virtual void ring(const RingVertex* /*vertices*/, int /*count*/) {}
    // A report text changed (orientation, density, stability, P/T).
    virtual void reportChanged(const RunReport&) {}
    // A marker of the final report, in view coordinates already turned into
    // the life orientation of the run just ended.
    virtual void marker(MarkerKind, const Vec3& /*turnedViewPoint*/, const std::string& /*text*/) {}
    // The regulation chart, in chart units (300 per unit of ln radius across,
    // 500 at curvature 0 down). chartEnd follows chartBegin even when the
    // chart stops on an error half-way.
    virtual void chartBegin() {}
    virtual void chartPoint(ChartSeries, double /*x*/, double /*y*/) {}
    virtual void chartText(const std::string&) {}
    // The label at the end of a series, printed at the current position (the
    // series' last point). A surface that knows the size of its text keeps
    // the two labels apart; by default it is plain text.
    virtual void chartLabel(ChartSeries, const std::string& text) { chartText(text); }
    virtual void chartLine(double /*x1*/, double /*y1*/, double /*x2*/, double /*y2*/) {}
    virtual void chartKnot(double /*x*/, double /*y*/) {}
    virtual void chartEnd() {}
};

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

// One START in three steps, as the main window performs it (the window
// converts the scale box and prepares its surface between them):
// StartRun clears the log, clamps the stage count, resets the regulation
// flags and interpolates the profiles into per-stage tables.
void StartRun(ModelState& model, RunState& run, GrowthObserver* observer);
// Sets the view pairs of the run from the model's view vector.
void PrepareView(const ModelState& model, RunState& run);
// The growth run itself, stage by stage, with the hydrostatics, the final
// report and the regulation chart.
void GrowShell(ModelState& model, RunState& run, GrowthObserver* observer);

// The whole START: StartRun, the strict conversion of the scale text,
// PrepareView, observer->runPrepared and GrowShell. Throws RuntimeError where
// the run stops; what was computed before the error stays.
void Start(ModelState& model, RunState& run, const RunInputs& inputs, GrowthObserver* observer = nullptr);

// The regulation chart of the last run, traced through `observer`.
void TraceRegulationChart(const ModelState& model, RunState& run, GrowthObserver& observer);

// Ribs the last run laid: stages whose rib mark starts a rib (5).
int CountRibs(const RunState& run);

}  // namespace ammonite
