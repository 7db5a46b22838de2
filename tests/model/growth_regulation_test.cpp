// The regulation model of stages past 200: clocks, events, ribs, γ by
// orientation and the bend of an overturned shell.
#include <gtest/gtest.h>

#include <cmath>

#include "support/engine_fixture.h"

using namespace ammonite;
using engine_test::Engine;
using GrowthRecorderStep = test_support::GrowthRecorder::Step;

namespace {

// An engine whose per-stage tables are built and whose regulation flags are
// as START leaves them; stage `first` is about to be regulated.
struct Regulation : Engine {
    explicit Regulation(long first, double previousRadius = 3) {
        buildTables();
        run.regulationStarted = 0;
        run.overturned = 0;
        run.turnAngle = 0;
        run.currentStage = static_cast<float>(first);
        run.radiusByStage[first - 1] = previousRadius;
    }
    void regulate() {
        steps().RegulateStage();
        run.currentStage += 1;
    }
};

}  // namespace

TEST(RegulateStage, FirstStageInitialisesAndLogsTheClocks) {
    Regulation w(201);
    w.run.orientationAngle = 30;  // ≤ 40: γ = 4.5
    w.regulate();
    // β × (1.005 − 1) is just below 0.06, so D truncates to 0.0599.
    EXPECT_EQ(w.events.clocks, (std::vector<double>{0, 0.0599, 0.0857}));
    ASSERT_EQ(w.events.steps.size(), 1u);
    EXPECT_EQ(w.events.steps[0].event, 3);  // the step is D
    EXPECT_EQ(w.events.steps[0].ribMark, 0);
    EXPECT_DOUBLE_EQ(w.run.stepLength, 0.0599);
    EXPECT_DOUBLE_EQ(w.run.fatigueClock, -0.0599);
    EXPECT_DOUBLE_EQ(w.run.scheduleClock, 0.0599);  // reached 0 and restarted
    EXPECT_DOUBLE_EQ(w.run.ribClock, 0.0257);        // 0.0857 − 0.0599 truncated
    EXPECT_EQ(w.run.pendingRibs, 0);                 // D < R: no rib yet
    EXPECT_EQ(w.run.regulationStarted, 1);
    EXPECT_DOUBLE_EQ(w.outcome.alpha, 1.005);
    EXPECT_EQ(w.run.gammaByStage[201].raw(), 45000);
    EXPECT_EQ(w.run.gammaBetaByStage[201].raw(), 599);
    EXPECT_EQ(w.run.curvatureByStage[201].raw(), 0);
    EXPECT_EQ(w.run.torsionByStage[201].raw(), 0);
    EXPECT_EQ(w.run.radiusByStage[201], Fixed4(3 * (1 + 0.0599 / 12)));
    EXPECT_FALSE(w.outcome.regulatedGrowth);  // set by the growth run, not here

    // The second stage reports only its event.
    w.regulate();
    EXPECT_EQ(w.events.clocks.size(), 3u);
    EXPECT_EQ(w.events.steps.size(), 2u);
}

TEST(RegulateStage, GammaFollowsTheOrientation) {
    struct Case {
        long stage;
        float angle;
        int gammaRaw;
    };
    // Only a tilt beyond 40° counts, however little beyond, on both sides of
    // stage 1180.
    const float justAbove = std::nextafter(40.0f, 41.0f), justBelow = std::nextafter(40.0f, 39.0f);
    const Case cases[] = {{500, 41, 35000},         {500, 40, 45000},          {500, justAbove, 35000},
                          {500, justBelow, 45000},  {500, 40.05f, 35000},      {500, 39.95f, 45000},
                          {1180, 60, 35000},        {1181, 60, 15000},         {1181, -10, 45000},
                          {1181, justAbove, 15000}, {1181, justBelow, 45000},  {1181, 40, 45000}};
    for (const Case& c : cases) {
        Regulation w(c.stage);
        w.run.orientationAngle = c.angle;
        w.regulate();
        EXPECT_EQ(w.run.gammaByStage[c.stage].raw(), c.gammaRaw) << c.stage << " " << c.angle;
    }
}

TEST(RegulateStage, FatigueThresholdFollowsTheSize) {
    Regulation w(300, std::exp(2.5));
    w.run.sizeLow = 2;
    w.run.sizeHigh = 3;
    w.run.fatigueAtSizeLow = 0.2;
    w.run.fatigueAtSizeHigh = 0.6;
    w.regulate();
    EXPECT_NEAR(w.run.fatigueThreshold, 0.4, 1e-4);  // halfway in ln(radius)
    w.run.radiusByStage[300] = 2;                    // ln 2 < 2: the low threshold
    w.regulate();
    EXPECT_DOUBLE_EQ(w.run.fatigueThreshold, 0.2);
    w.run.radiusByStage[301] = 100;  // ln 100 > 3: the high one
    w.regulate();
    EXPECT_DOUBLE_EQ(w.run.fatigueThreshold, 0.6);
}

TEST(RegulateStage, ARibTakesFiveStagesWithoutWidening) {
    Regulation w(400);
    w.run.regulationStarted = 1;
    w.run.pendingRibs = 1;
    w.run.ribCountdown = 0;
    w.run.fatigueClock = 0;  // fatigue used up: a rib is laid down
    w.run.scheduleClock = 0.01;
    w.run.ribClock = 0.05;
    w.run.fatigueAtSizeLow = 0.25;  // the threshold of a small shell
    for (long s = 400; s < 405; ++s) {
        w.regulate();
        EXPECT_EQ(w.run.ribMark[s], 405 - s) << s;  // 5, 4, 3, 2, 1
        EXPECT_EQ(w.run.radiusByStage[s], w.run.radiusByStage[s - 1]) << s;
        // The tube still advances by a fifth of the rib spacing.
        EXPECT_EQ(w.run.gammaBetaByStage[s].raw(), 600) << s;
        EXPECT_TRUE(w.events.steps.back() == (GrowthRecorderStep{6, static_cast<int>(405 - s)}));
        EXPECT_EQ(w.run.pendingRibs, s < 404 ? 1 : 0) << s;
        EXPECT_DOUBLE_EQ(w.run.scheduleClock, 0.0599) << s;  // restarted, not advanced
        EXPECT_DOUBLE_EQ(w.run.ribClock, 0.05) << s;
    }
    EXPECT_EQ(w.run.ribCountdown, 0);
    // The fatigue clock restarts from the threshold once no rib is pending.
    EXPECT_DOUBLE_EQ(w.run.fatigueClock, 0.25);
    // Growth resumes.
    w.regulate();
    EXPECT_EQ(w.run.ribMark[405], 0);
    EXPECT_GT(w.run.radiusByStage[405], w.run.radiusByStage[404]);
}

TEST(RegulateStage, EventsWithClocksRunning) {
    // Pending rib and fatigue left: the smaller of F and D is the step.
    Regulation w(600);
    w.run.regulationStarted = 1;
    w.run.pendingRibs = 1;
    w.run.fatigueClock = 0.03;
    w.run.scheduleClock = 0.05;
    w.run.ribClock = 0.02;
    w.regulate();
    EXPECT_TRUE(w.events.steps.back() == (GrowthRecorderStep{4, 0}));
    EXPECT_DOUBLE_EQ(w.run.stepLength, 0.03);
    EXPECT_EQ(w.run.pendingRibs, 2);  // F ≥ R: another rib becomes due
    EXPECT_DOUBLE_EQ(w.run.fatigueClock, 0);
    EXPECT_DOUBLE_EQ(w.run.ribClock, 0.0757);  // ran out and was rewound by 0.3 / 3.5

    Regulation v(600);
    v.run.regulationStarted = 1;
    v.run.pendingRibs = 1;
    v.run.fatigueClock = 0.05;
    v.run.scheduleClock = 0.03;
    v.run.ribClock = 0.04;
    v.regulate();
    EXPECT_TRUE(v.events.steps.back() == (GrowthRecorderStep{5, 0}));
    EXPECT_DOUBLE_EQ(v.run.stepLength, 0.03);
    EXPECT_EQ(v.run.pendingRibs, 1);  // D < R
    EXPECT_DOUBLE_EQ(v.run.scheduleClock, 0.0599);

    // No rib pending and D the largest: the step is the larger of F and R.
    Regulation u(600);
    u.run.regulationStarted = 1;
    u.run.pendingRibs = 0;
    u.run.fatigueClock = 0.04;
    u.run.scheduleClock = 0.05;
    u.run.ribClock = 0.01;
    u.regulate();
    EXPECT_TRUE(u.events.steps.back() == (GrowthRecorderStep{2, 0}));
    EXPECT_DOUBLE_EQ(u.run.stepLength, 0.04);
    EXPECT_EQ(u.run.pendingRibs, 1);
}

TEST(RegulateStage, AnOverturnedShellBendsBackThroughHalfATurn) {
    // Steps of about 0.06 turn 0.054 per stage: the half turn fits between
    // stage 810 and stage 900.
    Regulation w(810);
    w.run.regulationStarted = 1;
    w.run.orientationAngle = -60;  // overturned
    double turned = 0;
    long s = 810;
    for (; s < 900; ++s) {
        w.regulate();
        if (s == 810) w.run.orientationAngle = 0;
        const double curvature = w.run.turnRateY;
        turned += curvature * w.run.stepLength;
        if (w.run.overturned == 0) break;
        EXPECT_DOUBLE_EQ(curvature, 0.9) << s;
        EXPECT_DOUBLE_EQ(w.run.curvatureByStage[s], 0.9) << s;
    }
    ASSERT_LT(s, 900) << "the bend never ended";
    // The last stage of the bend gets a reduced curvature so that the total
    // turn is exactly π.
    EXPECT_LT(w.run.turnRateY, 0.9);
    EXPECT_GT(w.run.turnRateY, 0);
    EXPECT_NEAR(turned, kPi, 1e-5);
    EXPECT_FLOAT_EQ(w.run.turnAngle, 0);
    w.regulate();
    EXPECT_EQ(w.run.curvatureByStage[s + 1].raw(), 0);
}

TEST(RegulateStage, NoBendOutsideTheBendingStages) {
    for (long stage : {700L, 900L, 1100L}) {
        Regulation w(stage);
        w.run.regulationStarted = 1;
        w.run.orientationAngle = -60;
        w.regulate();
        EXPECT_EQ(w.run.overturned, 1);
        EXPECT_EQ(w.run.curvatureByStage[stage].raw(), 0) << stage;
        EXPECT_FLOAT_EQ(w.run.turnAngle, 0) << stage;
    }
    // From stage 1180 on the bend is gentler.
    Regulation w(1180);
    w.run.regulationStarted = 1;
    w.run.orientationAngle = -60;
    w.regulate();
    EXPECT_DOUBLE_EQ(w.run.turnRateY, 0.7);
}

TEST(RegulateStage, RadiusOfZeroIsARuntimeError) {
    Regulation w(300, 0);
    EXPECT_THROW(w.steps().RegulateStage(), RuntimeError);
}

TEST(LoadStageParameters, ReadsTheTablesAndGrowsByAlpha) {
    Engine w;
    w.buildTables();
    w.run.currentStage = 100;
    w.run.radiusByStage[99] = 2;
    w.steps().LoadStageParameters();
    EXPECT_DOUBLE_EQ(w.run.stageBeta, 12);
    EXPECT_DOUBLE_EQ(w.run.stageGamma, 4);
    EXPECT_DOUBLE_EQ(w.run.stepLength, 0.24);
    EXPECT_DOUBLE_EQ(w.run.turnRateY, 0);
    EXPECT_EQ(w.run.radiusByStage[100].raw(), 20100);
}
