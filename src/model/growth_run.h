// One growth run as a function of its inputs: what defines the shell (the
// inputs), what the START before it handed on (the carry-over), and what the
// run gives back (the per-stage tables and the report in RunState, and the
// outcome: the counts it settled, the α and views the model takes on, and the
// carry-over for the next START). Nothing given as an input is written to.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/numeric.h"
#include "core/rotations.h"
#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

// One point of a cross-section ring as the run builds it.
struct RingVertex {
    Vec3 point;
    bool startsRing = false;
    bool closesRing = false;
};

// What a window follows while the shell grows. Everything else it shows is
// read from the results once the run returns.
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
    // The regulation takes over (first stage past 200): the fatigue, schedule
    // and rib clocks it starts from, truncated to four decimals.
    virtual void regulationBegan(double /*fatigue*/, double /*schedule*/, double /*rib*/) {}
    // One regulated stage: its event (1..6), its rib mark and what chose them.
    virtual void regulationStep(const RegulationEvent&) {}
    // The points of one stage's cross-section ring, in model coordinates, in
    // the order the rings are built. A point that does not start the ring
    // closes a segment from the point before it.
    virtual void ring(const RingVertex* /*vertices*/, int /*count*/) {}
};

// Hands every event to each of its observers in turn.
class CompositeObserver : public GrowthObserver {
public:
    void add(GrowthObserver* observer) {
        if (observer) observers_.push_back(observer);
    }
    bool empty() const { return observers_.empty(); }
    void regulationBegan(double f, double d, double r) override {
        for (GrowthObserver* o : observers_) o->regulationBegan(f, d, r);
    }
    void regulationStep(const RegulationEvent& decided) override {
        for (GrowthObserver* o : observers_) o->regulationStep(decided);
    }
    void ring(const RingVertex* vertices, int count) override {
        for (GrowthObserver* o : observers_) o->ring(vertices, count);
    }

private:
    std::vector<GrowthObserver*> observers_;
};

// The regulation thresholds the four bars set, and the rib spacing factor.
struct RegulationThresholds {
    double sizeLow = 2, sizeHigh = 3;
    double fatigueAtSizeLow = 0, fatigueAtSizeHigh = 0;
    double ribSpacingFactor = 0.3;
    bool operator==(const RegulationThresholds& o) const {
        return sizeLow == o.sizeLow && sizeHigh == o.sizeHigh && fatigueAtSizeLow == o.fatigueAtSizeLow &&
               fatigueAtSizeHigh == o.fatigueAtSizeHigh && ribSpacingFactor == o.ribSpacingFactor;
    }
};

// What defines a run. The light, ribbing, scale and origin do not change the
// growth; they travel with it so that the run says what its pictures show.
struct GrowthInputs {
    ParameterProfile gammaProfile, curvatureProfile, torsionProfile, betaProfile;
    double alpha = 1.005;                    // radius ratio per stage up to stage 200
    std::array<double, 2> stageRange{0, 3000};
    std::int16_t stageCount = 1700;          // stages asked for (clamped to 1..3999 and the tables)
    std::array<double, 2> densities{0.6, 1.3};
    Vec3F4 viewVector{0, 1, 0};
    Vec3F4 lightVector{1, 0, 1};
    std::int16_t orientationMode = 2;        // 2 = life orientation on, 0 = off
    std::int16_t ribbingOn = 1;
    Fixed4 drawScale = 2;
    Fixed4 originX = 500, originY = 650;
    RegulationThresholds thresholds;
    bool operator==(const GrowthInputs& o) const;
};

// What one START hands the next: the orientation the shell stood in, the
// ribs still owed and the countdown of the rib under way, and the turn that
// sets the life orientation upright in the picture.
struct GrowthCarry {
    float orientationAngle = 0;
    std::int16_t pendingRibs = 0;
    std::int16_t ribCountdown = 0;
    double orientationSin = 0, orientationCos = 1;
    double orientationShiftX = 0, orientationShiftY = 0;
    bool operator==(const GrowthCarry& o) const {
        return orientationAngle == o.orientationAngle && pendingRibs == o.pendingRibs &&
               ribCountdown == o.ribCountdown && orientationSin == o.orientationSin &&
               orientationCos == o.orientationCos && orientationShiftX == o.orientationShiftX &&
               orientationShiftY == o.orientationShiftY;
    }
};

// How far a run got, and what the model takes on from it. Each value starts
// as the inputs have it and changes where the run changes it, so an outcome
// that stopped on an error holds what was reached before the error.
struct GrowthOutcome {
    bool tablesWritten = false;   // the profiles' filling of the stage tables began
    bool tablesBuilt = false;     // the profiles became per-stage tables
    bool growthBegan = false;     // the first stage was about to be built
    bool stagesGrown = false;     // every stage was built
    bool markersReady = false;    // the tangent point and both centres are known
    bool chartBegan = false;      // the regulation chart's values were being checked
    std::optional<RuntimeError> error;  // where the run stopped, if it did

    std::int16_t shownStage = 0;  // the stage count as the run leaves it
    std::int16_t lastStage = 0;   // the last stage with tables (once tablesBuilt)
    double alpha = 0;             // 1.005 once the regulation has taken over
    // Whether the stage last begun was regulated (none while no stage began).
    std::optional<std::int16_t> regulatedGrowth;
    // The direction the shell is seen from in life (once a stage was oriented).
    std::optional<Vec3F4> lifeViewVector;
    Vec3F4 viewVector;            // the view of the next run
    GrowthCarry next;             // for the next START
    // The orientation at the start of the last stage built or begun, which
    // the label shows until the final report replaces it.
    float lastStageAngle = 0;
};

// The inputs and carry-over a model and a run state hold now.
GrowthInputs GrowthInputsOf(const ModelState& model, const RunState& run);
GrowthCarry GrowthCarryOf(const ModelState& model, const RunState& run);
// Puts a carry-over where a model and its run state keep it (a fresh
// window's is GrowthCarry{}).
void SetGrowthCarry(ModelState& model, RunState& run, const GrowthCarry& carry);

// The first half of a run: the stage count clamped to 1..3999, the profiles
// interpolated into the results' stage tables, the count held to the last
// stage with tables. A profile out of bounds ends it (outcome.error).
GrowthOutcome BeginGrowth(const GrowthInputs& inputs, RunState& results);
// The second half, after BeginGrowth succeeded: the stages, the hydrostatics,
// the final report and the checks of the regulation chart.
void ContinueGrowth(const GrowthInputs& inputs, const GrowthCarry& carry, RunState& results, GrowthOutcome& outcome,
                    GrowthObserver* observer = nullptr);
// Both halves. `results` may hold an earlier run: rows this run does not
// reach keep what that run wrote, as a window's tables do.
GrowthOutcome Grow(const GrowthInputs& inputs, const GrowthCarry& carry, RunState& results,
                   GrowthObserver* observer = nullptr);

// The inputs of the START after the one that gave `outcome`: the stage
// count, α and view the run left.
GrowthInputs NextGrowthInputs(const GrowthInputs& inputs, const GrowthOutcome& outcome);

// The report's texts (orientation, density, stability, P/T) as far as the
// run got; a text the run did not reach keeps what the last run wrote.
void WriteRunReport(RunReport& report, const RunState& results, const GrowthOutcome& outcome);

// What a START changes in the model: the stage count, the last stage and the
// stage tables, α, the life view, the view and turn of the next run.
void ApplyGrowthOutcome(ModelState& model, const RunState& results, const GrowthOutcome& outcome);

}  // namespace ammonite
