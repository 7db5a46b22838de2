#include "model/growth_run.h"

#include "model/growth.h"

namespace ammonite {

namespace {

bool sameVector(const Vec3F4& a, const Vec3F4& b) {
    return a.x.raw() == b.x.raw() && a.y.raw() == b.y.raw() && a.z.raw() == b.z.raw();
}

// The carry-over's fields paired with where a run state and a model keep
// them; `copy(carried, kept)` copies one way or the other.
template <class Carry, class Run, class Copy>
void carryInRun(Carry& c, Run& r, Copy copy) {
    copy(c.orientationAngle, r.orientationAngle);
    copy(c.pendingRibs, r.pendingRibs);
    copy(c.ribCountdown, r.ribCountdown);
}
template <class Carry, class Model, class Copy>
void carryInModel(Carry& c, Model& m, Copy copy) {
    copy(c.orientationSin, m.orientationSin);
    copy(c.orientationCos, m.orientationCos);
    copy(c.orientationShiftX, m.orientationShiftX);
    copy(c.orientationShiftY, m.orientationShiftY);
}

}  // namespace

bool GrowthInputs::operator==(const GrowthInputs& o) const {
    return gammaProfile == o.gammaProfile && curvatureProfile == o.curvatureProfile &&
           torsionProfile == o.torsionProfile && betaProfile == o.betaProfile && alpha == o.alpha &&
           stageRange == o.stageRange && stageCount == o.stageCount && densities == o.densities &&
           sameVector(viewVector, o.viewVector) && sameVector(lightVector, o.lightVector) &&
           orientationMode == o.orientationMode && ribbingOn == o.ribbingOn && drawScale.raw() == o.drawScale.raw() &&
           originX.raw() == o.originX.raw() && originY.raw() == o.originY.raw() && thresholds == o.thresholds;
}

GrowthInputs GrowthInputsOf(const ModelState& m, const RunState& r) {
    GrowthInputs in;
    in.gammaProfile = m.gammaProfile;
    in.curvatureProfile = m.curvatureProfile;
    in.torsionProfile = m.torsionProfile;
    in.betaProfile = m.betaProfile;
    in.alpha = m.alpha;
    in.stageRange = m.stageRange;
    in.stageCount = m.shownStage;
    in.densities = m.densities;
    in.viewVector = m.viewVector;
    in.lightVector = m.lightVector;
    in.orientationMode = m.orientationMode;
    in.ribbingOn = m.ribbingOn;
    in.drawScale = m.drawScale;
    in.originX = m.originX;
    in.originY = m.originY;
    in.thresholds = {r.sizeLow, r.sizeHigh, r.fatigueAtSizeLow, r.fatigueAtSizeHigh, r.ribSpacingFactor};
    return in;
}

GrowthCarry GrowthCarryOf(const ModelState& m, const RunState& r) {
    GrowthCarry c;
    const auto take = [](auto& carried, const auto& kept) { carried = kept; };
    carryInRun(c, r, take);
    carryInModel(c, m, take);
    return c;
}

void SetGrowthCarry(ModelState& m, RunState& r, const GrowthCarry& c) {
    const auto give = [](const auto& carried, auto& kept) { kept = carried; };
    carryInRun(c, r, give);
    carryInModel(c, m, give);
}

GrowthInputs NextGrowthInputs(const GrowthInputs& inputs, const GrowthOutcome& outcome) {
    GrowthInputs next = inputs;
    next.stageCount = outcome.shownStage;
    next.alpha = outcome.alpha;
    next.viewVector = outcome.viewVector;
    return next;
}

void ApplyGrowthOutcome(ModelState& m, const RunState& r, const GrowthOutcome& out) {
    m.shownStage = out.shownStage;
    if (out.tablesBuilt) m.lastStage = out.lastStage;
    if (out.tablesWritten) {
        // The model shows the stage parameters the run grew with.
        m.gammaByStage = r.gammaByStage;
        m.curvatureByStage = r.curvatureByStage;
        m.torsionByStage = r.torsionByStage;
        m.betaByStage = r.betaByStage;
        m.gammaBetaByStage = r.gammaBetaByStage;
    }
    m.alpha = out.alpha;
    if (out.regulatedGrowth) m.regulatedGrowth = *out.regulatedGrowth;
    if (out.lifeViewVector) m.lifeViewVector = *out.lifeViewVector;
    m.viewVector = out.viewVector;
    if (out.growthBegan) carryInModel(out.next, m, [](const auto& carried, auto& kept) { kept = carried; });
}

void Start(ModelState& model, RunState& run, const RunInputs& inputs, GrowthObserver* observer) {
    const GrowthInputs in = GrowthInputsOf(model, run);
    GrowthOutcome out = BeginGrowth(in, run);
    try {
        if (out.error) throw *out.error;
        model.drawScale = parseWholeNumber(inputs.scaleText);
    } catch (...) {
        ApplyGrowthOutcome(model, run, out);
        throw;
    }
    const GrowthCarry carry = GrowthCarryOf(model, run);
    ContinueGrowth(GrowthInputsOf(model, run), carry, run, out, observer);
    WriteRunReport(run.report, run, out);
    ApplyGrowthOutcome(model, run, out);
    if (out.error) throw *out.error;
}

}  // namespace ammonite
