// The growth run as START drives it: construction of the tube, the
// wireframe, the end of the run, ribs finished past the end, runtime errors.
#include <gtest/gtest.h>

#include <cmath>

#include "support/window_fixture.h"

using namespace ammonite;
using growth_test::Window;
using Op = RecordingSurface::Op;

namespace {
const Rgb kClosing{250, 100, 100};

// First stage ≥ `from` at which a rib begins (mark 5) in the default run.
long ribStartAfter(const Window& w, long from) {
    for (long s = from; s < 1690; ++s)
        if (w.run.ribMark[s] == 5) return s;
    return -1;
}
}  // namespace

TEST(GrowShell, DefaultRunDrawsEveryRingAndEndsOneStageLower) {
    Window w;
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    // No rib was under way at stage 1700: the run built 1700 stages and
    // shows one less.
    EXPECT_EQ(w.run.lastBuiltStage, 1700);
    EXPECT_EQ(w.model->shownStage, 1699);
    EXPECT_EQ(w.logic->NUMtxt.text(), "1699");
    EXPECT_EQ(w.run.segmentsDrawn, 1700 * 36);
    EXPECT_TRUE(w.run.hasRun);

    // 36 segments per ring; only the one closing the ring (350° to 360°) is
    // drawn in the closing colour, and it ends where the ring began.
    std::vector<Op> lines = w.ops(Op::Line);
    ASSERT_GE(lines.size(), 3u + 1700 * 36);
    long closing = 0, cyan = 0;
    for (size_t i = 3; i < 3 + 1700 * 36; ++i) {
        if (lines[i].colour == kClosing) ++closing;
        if (lines[i].colour == paletteColour(3)) ++cyan;
    }
    EXPECT_EQ(closing, 1700);
    EXPECT_EQ(cyan, 1700 * 35);
    for (int stage = 0; stage < 3; ++stage) {
        const size_t first = 3 + static_cast<size_t>(stage) * 36;
        EXPECT_NE(lines[first].colour, kClosing);
        EXPECT_EQ(lines[first + 35].colour, kClosing);
        // Each segment runs from the new ring point back to the previous one.
        EXPECT_DOUBLE_EQ(lines[first + 1].x2, lines[first].x1);
        EXPECT_FLOAT_EQ(lines[first + 35].x1, lines[first].x2);
        EXPECT_FLOAT_EQ(lines[first + 35].y1, lines[first].y2);
    }
    // The first ring lies around the origin with radius 1 (2 pixels at scale 2).
    EXPECT_NEAR(lines[3].x2, 500 - 2, 1e-4);
    EXPECT_NEAR(lines[3].y2, 650, 1e-4);

    // The per-stage values the shaded rendering reads are filled.
    EXPECT_GT(w.run.radiusByStage[1700], 10);
    EXPECT_NE(w.run.viewYByStage[1700].raw(), 0);
    EXPECT_GT(w.run.cumulativeLength[1700], w.run.cumulativeLength[1699]);
}

TEST(GrowShell, SecondRunUsesTheLifeOrientation) {
    Window w;
    w.logic->ClickStart();
    const Vec3F4 life = w.model->lifeViewVector;
    EXPECT_EQ(w.model->viewVector.y.raw(), life.y.raw());
    const double sine = w.model->orientationSin, cosine = w.model->orientationCos;
    EXPECT_NEAR(sine * sine + cosine * cosine, 1, 1e-12);
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_EQ(w.model->shownStage, 1698);
    // The second run projects through the new view.
    EXPECT_DOUBLE_EQ(w.run.view.azimuthCos, -life.y.toDouble());
}

TEST(GrowShell, StraightGrowthStaysOnTheAxis) {
    Window w;
    w.flatProfiles(4, 0, 0, 12);
    w.model->orientationMode = 0;
    w.logic->TypeStages("400");
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    // The regulated stages past 200 bend only an overturned shell; this one
    // stands upright.
    for (long s = 1; s <= w.run.lastBuiltStage; ++s) {
        ASSERT_EQ(w.run.centreXByStage[s].raw(), 0) << s;
        ASSERT_EQ(w.run.centreYByStage[s].raw(), 0) << s;
        ASSERT_GT(w.run.centreZByStage[s], w.run.centreZByStage[s - 1]) << s;
        ASSERT_EQ(w.run.rimXByStage[s].raw(), w.run.radiusByStage[s].raw()) << s;
        ASSERT_EQ(w.run.rimYByStage[s].raw(), 0) << s;
        ASSERT_EQ(w.run.frameCosBByStage[s].raw(), 10000) << s;
        ASSERT_EQ(w.run.sectionCosByStage[s].raw(), 10000) << s;
    }
    // The centre advances by the step factor times the previous radius.
    EXPECT_NEAR(w.run.centreZByStage[1], 0.24, 1e-4);
    EXPECT_NEAR(w.run.centreZByStage[2] - w.run.centreZByStage[1], 0.24 * 1.005, 1e-4);
}

TEST(GrowShell, CurvatureTurnsTheTubeInTheXZPlane) {
    Window w;
    w.flatProfiles(4, 1, 0, 12);
    w.model->orientationMode = 0;
    w.logic->TypeStages("20");
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    // Twenty steps of 0.24 at curvature 1 turn the axis by 4.8 radians.
    EXPECT_NEAR(w.run.axisDirection.z, std::cos(4.8), 1e-9);
    EXPECT_NEAR(std::fabs(w.run.axisDirection.x), std::fabs(std::sin(4.8)), 1e-9);
    EXPECT_NEAR(w.run.axisDirection.y, 0, 1e-12);
    for (long s = 1; s <= 20; ++s) EXPECT_EQ(w.run.centreYByStage[s].raw(), 0) << s;
}

TEST(GrowShell, ARibUnderWayIsFinishedButTakesNoPartInTheHydrostatics) {
    for (int mode : {2, 0}) {
        Window reference;
        reference.model->orientationMode = static_cast<std::int16_t>(mode);
        reference.logic->ClickStart();
        const long k = ribStartAfter(reference, 600);
        ASSERT_GT(k, 0);

        Window w;
        w.model->orientationMode = static_cast<std::int16_t>(mode);
        w.logic->TypeStages(std::to_string(k));
        w.logic->ClickStart();
        ASSERT_EQ(w.logic->statusLine.caption(), "") << mode;
        // The rib begun at stage k is finished, and one stage more is built.
        long end = k;
        while (w.run.ribMark[end] != 0) ++end;
        EXPECT_GE(end, k + 5) << mode;
        EXPECT_EQ(w.run.lastBuiltStage, end) << mode;
        EXPECT_EQ(w.model->shownStage, end - 1) << mode;
        // Stages past the requested count add nothing to the hydrostatics.
        for (long s = k + 1; s <= end; ++s) {
            EXPECT_EQ(w.run.cumulativeLength[s], 0) << s;
            EXPECT_EQ(w.run.volumeByStage[s].raw(), 0) << s;
            EXPECT_FLOAT_EQ(w.run.orientationAngleByStage[s], w.run.orientationAngleByStage[k]) << s;
        }
        // Density and P/T ratio are those of stage k.
        const double density = std::stod(w.logic->DNSlbl.caption());
        EXPECT_GT(density, 0.6) << mode;
        EXPECT_LT(density, 1.3) << mode;
        const double pt = std::stod(w.logic->PTRtxt.text());
        EXPECT_GT(pt, 0) << mode;
        EXPECT_LT(pt, 100) << mode;
    }
}

TEST(GrowShell, ARibIsNeverFinishedPastTheLastStage) {
    Window reference;
    reference.logic->ClickStart();
    const long k = ribStartAfter(reference, 600);
    ASSERT_GT(k, 0);
    // Tables end two stages into the rib; beyond them β is 0.
    Window w;
    auto cut = [k](ParameterProfile& p) { p.setPoint(p.count, static_cast<double>(k + 2), p.values[p.count]); };
    cut(w.model->gammaProfile);
    cut(w.model->curvatureProfile);
    cut(w.model->torsionProfile);
    cut(w.model->betaProfile);
    w.model->stageRange[1] = static_cast<double>(k + 2);
    w.logic->TypeStages("5000");
    w.logic->ClickStart();
    EXPECT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_EQ(w.model->lastStage, k + 2);
    EXPECT_EQ(w.run.lastBuiltStage, k + 2);
    EXPECT_NE(w.run.ribMark[k + 2], 0);  // the rib is left under way
}

TEST(GrowShell, FiveThousandTypedRunsToStage3000) {
    Window w;
    w.logic->TypeStages("5000");
    w.logic->ClickStart();
    EXPECT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_EQ(w.logic->MAXtxt.text(), "3000");
    EXPECT_GE(w.run.lastBuiltStage, 2999);
    EXPECT_LE(w.run.lastBuiltStage, 3000);
    // A second START from the shown count works as well.
    w.logic->TypeStages("5000");
    w.logic->ClickStart();
    EXPECT_EQ(w.logic->statusLine.caption(), "");
}

TEST(GrowShell, ARuntimeErrorKeepsTheDrawingAndALaterRunWorks) {
    Window w;
    // β drops to 0 at stage 250: the regulated step divides by it.
    w.betaDropsToZeroAt(250);
    w.logic->ClickStart();
    EXPECT_NE(w.logic->statusLine.caption().find("Division by zero"), std::string::npos);
    EXPECT_EQ(w.run.lastBuiltStage, 249);
    EXPECT_EQ(w.run.segmentsDrawn, 249 * 36);
    EXPECT_FALSE(w.run.hasRun);
    EXPECT_EQ(w.logic->NUMtxt.text(), "1700");  // written by START before the run
    EXPECT_FALSE(w.logic->ORIlbl.caption().empty());
    // The rings drawn so far stay: nothing cleared the surface after them.
    EXPECT_NE(w.surface.ops.back().kind, Op::Clear);
    EXPECT_EQ(w.ops(Op::Line).size(), 3u + 249 * 36);
    // SHADE does not paint the half-written tables, and says why.
    w.logic->ClickShade();
    EXPECT_NE(w.logic->statusLine.caption().find("did not finish"), std::string::npos);
    EXPECT_EQ(w.ops(Op::Line).size(), 3u + 249 * 36);

    w.model->setDefaultProfiles();
    w.surface.ops.clear();
    w.logic->ClickStart();
    EXPECT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_EQ(w.run.lastBuiltStage, 1700);
    EXPECT_EQ(w.run.segmentsDrawn, 1700 * 36);
    EXPECT_TRUE(w.run.hasRun);
}

TEST(GrowShell, PendingRibsCarryOverBetweenRuns) {
    Window w;
    w.run.pendingRibs = 3;
    w.run.ribCountdown = 2;
    w.logic->TypeStages("150");  // no regulated stage: nothing touches them
    w.logic->ClickStart();
    EXPECT_EQ(w.run.pendingRibs, 3);
    EXPECT_EQ(w.run.ribCountdown, 2);
    // START resets the flags of the regulation, not the ribs.
    w.run.regulationStarted = 1;
    w.run.overturned = 1;
    w.run.turnAngle = 2;
    w.logic->ClickStart();
    EXPECT_EQ(w.run.regulationStarted, 0);
    EXPECT_EQ(w.run.overturned, 0);
    EXPECT_FLOAT_EQ(w.run.turnAngle, 0);
}

TEST(GrowShell, AShortRunAfterShadeStopsWhereAsked) {
    Window w;
    w.logic->ClickStart();
    w.logic->ClickShade();
    // The shaded rendering rewrote the rows before the first rib as gap counts.
    ASSERT_LT(w.run.ribMark[100], 0);
    w.logic->TypeStages("100");
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_EQ(w.run.lastBuiltStage, 100);
    EXPECT_EQ(w.logic->NUMtxt.text(), "99");
    for (long s = 1; s <= 100; ++s) ASSERT_EQ(w.run.ribMark[s], 0) << s;
}
