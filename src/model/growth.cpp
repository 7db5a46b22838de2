// The growth run: the stage parameters (from the tables up to stage 200, from
// the regulation model after it), the construction of the tube stage by stage
// and its cross-section rings. Hydrostatics and the final report live in
// hydrostatics.cpp.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "model/growth.h"
#include "model/growth_steps.h"
#include "model/interpolation.h"

namespace ammonite {

namespace {

// Truncation of a regulation clock to four decimals, toward minus infinity.
double truncateClock(double value) { return truncateDecimals(value, 4); }

Vec3 centreAt(const RunState& r, long stage) {
    return {r.centreXByStage[stage], r.centreYByStage[stage], r.centreZByStage[stage]};
}

}  // namespace

using growth_steps::Grower;

void Grower::LoadStageParameters() {
    RunState& r = run;
    const long S = static_cast<long>(r.currentStage);
    r.stageBeta = r.betaByStage[S];
    r.stageGamma = r.gammaByStage[S];
    r.stepLength = r.gammaBetaByStage[S];
    r.turnRateY = r.curvatureByStage[S];
    r.turnRateZ = r.torsionByStage[S];
    r.radiusByStage[S] = out.alpha * r.radiusByStage[S - 1];
    // No rib is laid before the regulation takes over. Clearing the mark also
    // drops the gap counts a shaded rendering wrote into these rows, so they
    // are neither mistaken for a rib under way at the end of a shorter run nor
    // carried into the next rib profile.
    r.ribMark[S] = 0;
}

void Grower::RegulateStage() {
    RunState& r = run;
    const long S = static_cast<long>(r.currentStage);
    const float s = r.currentStage;

    out.alpha = 1.005;
    const double x = checkedLog(r.radiusByStage[S - 1], "logarithm of a radius of 0 or below");

    // Fatigue threshold from the size of the shell.
    if (x <= r.sizeLow) r.fatigueThreshold = r.fatigueAtSizeLow;
    if (x >= r.sizeHigh) r.fatigueThreshold = r.fatigueAtSizeHigh;
    if (r.sizeLow < x && x < r.sizeHigh)
        r.fatigueThreshold = r.fatigueAtSizeLow + (r.fatigueAtSizeHigh - r.fatigueAtSizeLow) *
                                                      (x - r.sizeLow) / (r.sizeHigh - r.sizeLow);

    r.stageBeta = r.betaByStage[S];
    if (r.orientationAngle < -50) r.overturned = 1;

    // γ by orientation: a shell tilted up more than 40° grows slender.
    if (s <= 1180)
        r.stageGamma = r.orientationAngle > 40 ? 3.5 : 4.5;
    else
        r.stageGamma = r.orientationAngle > 40 ? 1.5 : 4.5;
    r.gammaByStage[S] = r.stageGamma;

    double& F = r.fatigueClock;
    double& D = r.scheduleClock;
    double& R = r.ribClock;
    const double scheduleStart = r.stageBeta * (out.alpha - 1);

    if (r.regulationStarted == 0) {
        F = 0;
        D = scheduleStart;
        R = checkedDivide(r.ribSpacingFactor, r.stageGamma - 1, "rib spacing with γ = 1");
        r.regulationStarted = 1;
        F = truncateClock(F);
        D = truncateClock(D);
        R = truncateClock(R);
        if (observer) observer->regulationBegan(F, D, R);
    }

    // Choose the step and the event; the three cases are exclusive and
    // decided on the pending ribs as they stand now.
    int event = 0;
    bool ribStage = false;
    const int pending = r.pendingRibs;
    RegulationEvent decided;
    if (observer) {
        decided.fatigueClock = F, decided.scheduleClock = D, decided.ribClock = R;
        decided.orientationAngle = r.orientationAngle;
    }
    if (pending < 1) {
        if (D >= F && D >= R) {
            if (R >= F) {
                r.stepLength = R;
                event = 1;
            } else {
                r.stepLength = F;
                event = 2;
            }
            r.pendingRibs = 1;
        } else {
            r.stepLength = D;
            if (D >= R) r.pendingRibs = toInt16(r.pendingRibs + 1.0);
            event = 3;
        }
        r.ribMark[S] = 0;
    } else if (F <= 0) {
        // A rib stage: the aperture does not widen. The countdown rules apply
        // one after another, so a new rib carries the marks 5, 4, 3, 2, 1.
        ribStage = true;
        r.stepLength = 0;
        if (r.ribCountdown == 0) r.ribCountdown = 5;
        if (r.ribCountdown == 1) {
            r.pendingRibs = toInt16(r.pendingRibs - 1.0);
            r.ribCountdown = 0;
        } else if (r.ribCountdown > 1) {
            r.ribCountdown = static_cast<std::int16_t>(r.ribCountdown - 1);
        }
        r.ribMark[S] = static_cast<std::int16_t>(r.ribCountdown + 1);
        event = 6;
        if (r.pendingRibs == 0) F = r.fatigueThreshold;
        D = scheduleStart;
    } else {
        if (D >= F) {
            r.stepLength = F;
            if (F >= R) r.pendingRibs = toInt16(r.pendingRibs + 1.0);
            event = 4;
        } else {
            r.stepLength = D;
            if (D >= R) r.pendingRibs = toInt16(r.pendingRibs + 1.0);
            event = 5;
        }
        r.ribMark[S] = 0;
    }
    if (observer) {
        decided.stage = static_cast<int>(S);
        decided.event = event;
        decided.ribMark = r.ribMark[S];
        decided.gamma = r.stageGamma;
        decided.fatigueThreshold = r.fatigueThreshold;
        decided.step = r.stepLength;
        decided.pendingRibs = r.pendingRibs;
        observer->regulationStep(decided);
    }

    if (!ribStage) {
        F -= r.stepLength;
        D -= r.stepLength;
        R -= r.stepLength;
        if (D == 0) D = scheduleStart;
        if (R <= 0) R += checkedDivide(r.ribSpacingFactor, r.stageGamma - 1, "rib spacing with γ = 1");
    }
    F = truncateClock(F);
    D = truncateClock(D);
    R = truncateClock(R);

    r.radiusByStage[S] =
        r.radiusByStage[S - 1] * (1 + checkedDivide(r.stepLength, r.stageBeta, "step over β = 0"));
    // A rib stage still advances the tube by a fifth of the rib spacing.
    if (r.stepLength == 0) r.stepLength = r.ribSpacingFactor / 5;
    r.gammaBetaByStage[S] = r.stepLength;

    // An overturned shell is bent back through a half turn.
    r.turnRateY = 0;
    if ((s >= 1180 || (s >= 801 && s < 900)) && r.overturned == 1) {
        r.turnRateY = s < 900 ? 0.9 : 0.7;
        r.turnAngle = static_cast<float>(r.turnAngle + r.turnRateY * r.stepLength);
        if (r.turnAngle > kPiSingle) {
            r.turnRateY = r.turnRateY - (static_cast<double>(r.turnAngle) - kPi) / r.stepLength;
            r.overturned = 0;
            r.turnAngle = 0;
        }
    }
    r.curvatureByStage[S] = r.turnRateY;
    r.turnRateZ = 0;
    r.torsionByStage[S] = 0;
}

namespace {

// The stages of one run, from the start of the tube to the final report.
void growStages(Grower& grower) {
    RunState& r = grower.run;
    GrowthOutcome& out = grower.out;
    GrowthObserver* observer = grower.observer;

    // ---- start of the run ----
    r.hasRun = false;
    r.axisDirection = {0, 0, 1};
    r.previousDirection = r.axisDirection;
    r.rimPoint = {1, 0, 0};
    r.segmentVolume = 0;
    r.totalVolume = 0;
    r.volumeMomentX = r.volumeMomentY = r.volumeMomentZ = 0;
    r.radiusByStage[0] = 1;
    r.centreXByStage[0] = 0;
    r.centreYByStage[0] = 0;
    r.centreZByStage[0] = 0;
    r.rimXByStage[0] = 1;
    r.rimYByStage[0] = 0;
    r.rimZByStage[0] = 0;
    r.cumulativeLength[0] = 0;
    r.lengthsAscending = true;
    r.viewXByStage[0] = 0;
    r.viewYByStage[0] = 0;
    r.viewDepthByStage[0] = 0;
    r.orientationAngleByStage[0] = r.orientationAngle;
    // Rows a shorter run does not reach must not show an earlier run's results.
    r.hydrostaticsByStage.fill(StageHydrostatics{});
    r.stabilityIndex = 0;
    r.frame = FramePairs{};
    r.section = SectionPair{};
    r.sectionAngleStep = 10;
    r.buoyancyVector = {0, 0, -999};
    r.currentStage = 1;
    r.segmentsDrawn = 0;
    r.lastBuiltStage = 0;

    // The ring of a stage in its section axes, for a radius of 1: the angle
    // runs 0..360 in sectionAngleStep degrees (single precision, 360 closes
    // the ring at angle 0).
    struct RingPoint {
        double cos, sin;
        bool startsNoLine;
        bool closing;
    };
    std::array<RingPoint, 362> ring{};
    std::array<RingVertex, 362> ringOut{};
    int ringPoints = 0;
    for (int angle = 0; angle <= 360 && ringPoints < 362; angle += r.sectionAngleStep) {
        const float theta = angle == 360 ? 0.0f : static_cast<float>(angle) * kPiSingle / 180.0f;
        const std::int16_t index = toInt16(static_cast<double>(angle) / r.sectionAngleStep);
        ring[static_cast<size_t>(ringPoints++)] = {std::cos(static_cast<double>(theta)),
                                                   std::sin(static_cast<double>(theta)), index == 0,
                                                   angle == 360};
    }

    // The orientation label shows the angle at the start of each stage; only
    // the last value can be seen, so it is set when the loop ends.
    float labelAngle = r.orientationAngle;
    auto moreStages = [&] {
        const long S = static_cast<long>(r.currentStage);
        if (S <= out.shownStage) return true;
        // A rib under way is finished, but never past the last stage with tables.
        return S <= out.lastStage && r.ribMark[S - 1] != 0;
    };

    try {
        while (moreStages()) {
            const long S = static_cast<long>(r.currentStage);
            labelAngle = r.orientationAngle;

            // Stage parameters.
            out.regulatedGrowth = r.currentStage > 200 ? 1 : 0;
            if (out.regulatedGrowth == 0)
                grower.LoadStageParameters();
            else
                grower.RegulateStage();

            // Hydrostatics and orientation of the shell so far; stages of a rib
            // finished past the requested count take no part.
            if (S <= out.shownStage) {
                grower.HydrostaticStep();
                grower.OrientStage(r.axisDirection);
            }
            r.orientationAngleByStage[S] = r.orientationAngle;

            // Stage frame from the growth direction.
            const Vec3& d = r.axisDirection;
            const double h = std::sqrt(d.x * d.x + d.y * d.y);
            const UnitTurn azimuth = UnitTurnOf(d.x, -d.y, h);
            r.frame.cosA = azimuth.cos;
            r.frame.sinA = azimuth.sin;
            const double n = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
            const UnitTurn elevation = UnitTurnOf(d.z, h, n);
            r.frame.cosB = elevation.cos;
            r.frame.sinB = elevation.sin;
            r.frameCosAByStage[S] = r.frame.cosA;
            r.frameSinAByStage[S] = r.frame.sinA;
            r.frameCosBByStage[S] = r.frame.cosB;
            r.frameSinBByStage[S] = r.frame.sinB;

            // Section axis: the rim point as seen in the stage frame.
            const Vec3 centre = centreAt(r, S - 1);
            Vec3 p{r.rimPoint.x - centre.x, r.rimPoint.y - centre.y, r.rimPoint.z - centre.z};
            ToStageFrame(p, r.frame);
            const double g = std::sqrt(p.x * p.x + p.y * p.y);
            const UnitTurn sectionTurn = UnitTurnOf(p.x, -p.y, g);
            r.section.cos = sectionTurn.cos;
            r.section.sin = sectionTurn.sin;
            r.sectionCosByStage[S] = r.section.cos;
            r.sectionSinByStage[S] = r.section.sin;

            // The ring of this stage around the previous centre.
            const double radius = r.radiusByStage[S - 1];
            for (int k = 0; k < ringPoints; ++k) {
                const RingPoint& rp = ring[static_cast<size_t>(k)];
                Vec3 q{radius * rp.cos, radius * rp.sin, 0};
                FromSectionAxis(q, r.section);
                FromStageFrame(q, r.frame);
                q.x += centre.x;
                q.y += centre.y;
                q.z += centre.z;
                if (!rp.startsNoLine) ++r.segmentsDrawn;
                ringOut[static_cast<size_t>(k)] = {q, rp.startsNoLine, rp.closing};
            }
            if (observer) observer->ring(ringOut.data(), ringPoints);

            // Rim point at the end of the stage.
            p = {r.radiusByStage[S], 0, 0};
            TurnAboutZ(p, r.stepLength, r.turnRateZ);
            TurnAboutY(p, r.stepLength, r.turnRateY);
            p.z += r.stepLength * radius;
            FromSectionAxis(p, r.section);
            FromStageFrame(p, r.frame);
            r.rimPoint = {centre.x + p.x, centre.y + p.y, centre.z + p.z};
            r.rimXByStage[S] = r.rimPoint.x;
            r.rimYByStage[S] = r.rimPoint.y;
            r.rimZByStage[S] = r.rimPoint.z;

            // New growth direction.
            p = {0, 0, 1};
            TurnAboutY(p, r.stepLength, r.turnRateY);
            FromSectionAxis(p, r.section);
            FromStageFrame(p, r.frame);
            r.axisDirection = p;
            r.previousDirection = p;

            // New centre, and where it lies in the view.
            p = {0, 0, r.stepLength * radius};
            FromStageFrame(p, r.frame);
            p.x += centre.x;
            p.y += centre.y;
            p.z += centre.z;
            r.centreXByStage[S] = p.x;
            r.centreYByStage[S] = p.y;
            r.centreZByStage[S] = p.z;
            ApplyViewRotation(p, r.view);
            r.viewXByStage[S] = p.x;
            r.viewYByStage[S] = p.y;
            r.viewDepthByStage[S] = p.z;

            r.lastBuiltStage = static_cast<std::int16_t>(S);
            r.currentStage = r.currentStage + 1;
        }
    } catch (...) {
        out.lastStageAngle = labelAngle;
        throw;
    }
    out.lastStageAngle = labelAngle;
    r.hasRun = true;

    out.shownStage = toInt16(r.currentStage - 2.0);
    out.stagesGrown = true;
    grower.FinalReport();
}

}  // namespace

GrowthOutcome BeginGrowth(const GrowthInputs& in, RunState& r) {
    GrowthOutcome out;
    out.alpha = in.alpha;
    out.viewVector = in.viewVector;
    // The stage count: 3999 at most, not 4000.
    out.shownStage = in.stageCount;
    if (out.shownStage < 1) out.shownStage = 1;
    if (out.shownStage > 3999) out.shownStage = 3999;
    // Regulation flags.
    r.regulationStarted = 0;
    r.overturned = 0;
    r.turnAngle = 0;
    // Per-stage tables from the profiles; a value that does not fit stops
    // the filling with the rows before it written.
    try {
        CheckProfileBounds(in);
        out.tablesWritten = true;
        out.lastStage = InterpolateProfiles(in, r);
    } catch (const RuntimeError& e) {
        out.error = e;
        return out;
    }
    out.tablesBuilt = true;
    if (out.shownStage > out.lastStage) out.shownStage = out.lastStage;
    return out;
}

void ContinueGrowth(const GrowthInputs& in, const GrowthCarry& carry, RunState& r, GrowthOutcome& out,
                    GrowthObserver* observer) {
    if (out.error || !out.tablesBuilt) return;
    // The view pairs, the thresholds and what the last START handed on.
    r.view = ViewPairsFromVector(in.viewVector.x, in.viewVector.y, in.viewVector.z);
    r.sizeLow = in.thresholds.sizeLow;
    r.sizeHigh = in.thresholds.sizeHigh;
    r.fatigueAtSizeLow = in.thresholds.fatigueAtSizeLow;
    r.fatigueAtSizeHigh = in.thresholds.fatigueAtSizeHigh;
    r.ribSpacingFactor = in.thresholds.ribSpacingFactor;
    r.orientationAngle = carry.orientationAngle;
    r.pendingRibs = carry.pendingRibs;
    r.ribCountdown = carry.ribCountdown;
    out.next = carry;
    out.growthBegan = true;
    Grower grower{in, r, out, observer};
    try {
        growStages(grower);
    } catch (const RuntimeError& e) {
        out.error = e;
    }
    out.next.orientationAngle = r.orientationAngle;
    out.next.pendingRibs = r.pendingRibs;
    out.next.ribCountdown = r.ribCountdown;
}

GrowthOutcome Grow(const GrowthInputs& inputs, const GrowthCarry& carry, RunState& results,
                   GrowthObserver* observer) {
    GrowthOutcome out = BeginGrowth(inputs, results);
    ContinueGrowth(inputs, carry, results, out, observer);
    return out;
}

void LoadModelDefaults(ModelState& model, RunState& run, const std::string& scaleText) {
    model.shownStage = 1700;
    model.alpha = 1.002;
    model.stageRange[0] = 0;
    model.growthIncrement = 0.05f;
    model.stageRange[1] = 3000;
    model.lastStage = toInt16(model.stageRange[1]);
    model.densities[0] = 0.6;
    model.densities[1] = 1.3;
    model.setDefaultProfiles();
    model.viewVector = {0, 1, 0};
    model.lightVector = {1, 0, 1};
    run.sectionAngleStep = 4;
    model.originX = 500;
    model.originY = 650;
    model.orientationCos = 1;
    model.orientationSin = 0;
    model.orientationShiftX = 0;
    model.orientationShiftY = 0;
    model.ribbingOn = 1;
    model.orientationMode = 2;
    // The scale box's design text gives the drawing scale.
    model.drawScale = parseLeadingNumber(scaleText);
}

void ResetRegulation(ModelState& model, RunState& run, const ThresholdBars& bars) {
    model.alpha = 1 + 5.0 / 1000;
    run.ribSpacingFactor = 0.3;
    run.sizeLow = bars.st1 / 100.0;
    run.fatigueAtSizeLow = bars.ft1 / 100.0;
    run.sizeHigh = bars.st2 / 100.0;
    run.fatigueAtSizeHigh = bars.ft2 / 100.0;
    run.fatigueThreshold = 0;
}

void SetSizeLow(RunState& run, int position) { run.sizeLow = position / 100.0; }
void SetSizeHigh(RunState& run, int position) { run.sizeHigh = position / 100.0; }
// The top of a vertical bar is -80: the threshold grows as it moves up.
void SetFatigueAtSizeLow(RunState& run, int position) { run.fatigueAtSizeLow = -position / 100.0; }
void SetFatigueAtSizeHigh(RunState& run, int position) { run.fatigueAtSizeHigh = -position / 100.0; }

int CountRibs(const RunState& run) {
    int ribs = 0;
    for (long s = 1; s <= run.lastBuiltStage; ++s)
        if (run.ribMark[s] == 5) ++ribs;
    return ribs;
}

}  // namespace ammonite
