// Rib profile, light, paint order, colours and quads of the shaded rendering.
#include <gtest/gtest.h>

#include <cmath>

#include "model/log_sink.h"
#include "model/main_window_logic.h"
#include "render/shading.h"
#include "render/shading_test_shell.h"

using namespace ammonite;

TEST(RibGaps, ShellWithoutRibsCountsBackFromTheLastStage) {
    StageTable<std::int16_t> mark;
    CountRibGaps(mark, 10);
    EXPECT_EQ(mark[0], 1);  // stage 0 ends a rib
    for (int a = 1; a <= 10; ++a) EXPECT_EQ(mark[a], a - 11) << a;
    EXPECT_EQ(mark[11], 0);
}

TEST(RibGaps, GapStagesCountDownToTheNextRibAndStayPut) {
    RunState run;
    testshell::LayRibs(run, {5, 13});  // ribs 5..9 and 13..17
    CountRibGaps(run.ribMark, 20);
    EXPECT_EQ(run.ribMark[12], 0);   // just before the next rib
    EXPECT_EQ(run.ribMark[11], -1);
    EXPECT_EQ(run.ribMark[10], -2);
    EXPECT_EQ(run.ribMark[9], 1);    // ribs are untouched
    EXPECT_EQ(run.ribMark[13], 5);
    EXPECT_EQ(run.ribMark[4], 0);
    EXPECT_EQ(run.ribMark[3], -1);
    EXPECT_EQ(run.ribMark[1], -3);
    EXPECT_EQ(run.ribMark[20], -1);  // after the last rib, counted back from stage 20
    EXPECT_EQ(run.ribMark[18], -3);
    StageTable<std::int16_t> once = run.ribMark;
    CountRibGaps(run.ribMark, 20);
    for (int a = 0; a <= 21; ++a) EXPECT_EQ(run.ribMark[a], once[a]) << a;
}

TEST(RibProfile, WithoutRibsDecaysTowardTheFixedPointAndThinsLate) {
    StageTable<std::int16_t> mark;
    CountRibGaps(mark, 300);
    std::vector<double> c = RibProfile(mark, 300);
    // Rule 8 fires at stage 1 with m = -300: e = 0.92 + 0.3 / -301.
    EXPECT_DOUBLE_EQ(c[1], std::pow(1.06, 0.92 - 0.3 / 301) - 0.06);
    for (int a = 2; a <= 200; ++a) {
        EXPECT_LT(c[a], c[a - 1]) << a;
        EXPECT_GT(c[a], 0.94) << a;
    }
    EXPECT_NEAR(c[200], 0.94, 1e-6);
    // From stage 201 on the shell is thinned to 0.85 of the profile.
    EXPECT_NEAR(c[201], 0.85 * 0.94, 1e-6);
    EXPECT_NEAR(c[301], 0.85 * 0.94, 1e-6);
    EXPECT_EQ(c[302], 0.0);
}

TEST(RibProfile, RibsSwellTheirFiveStages) {
    RunState run;
    testshell::LayRibs(run, {20, 30, 210});
    CountRibGaps(run.ribMark, 250);
    std::vector<double> c = RibProfile(run.ribMark, 250);
    EXPECT_DOUBLE_EQ(c[20], 1.06);
    EXPECT_DOUBLE_EQ(c[21], 1.095);
    EXPECT_DOUBLE_EQ(c[22], 1.1);
    EXPECT_DOUBLE_EQ(c[23], 1.095);
    EXPECT_DOUBLE_EQ(c[24], 1.085);
    // Gap 25..29: exponent fixed once, e = 0.92 - 0.3 / 5.
    const double e = 0.92 + 0.3 / (-4 - 1);
    EXPECT_DOUBLE_EQ(c[25], std::pow(1.085 + 0.06, e) - 0.06);
    EXPECT_DOUBLE_EQ(c[26], std::pow(c[25] + 0.06, e) - 0.06);
    EXPECT_DOUBLE_EQ(c[29], 1.01);  // just before the next rib
    // Late thinning applies to ribs too.
    EXPECT_DOUBLE_EQ(c[210], 0.85 * 1.06);
    EXPECT_DOUBLE_EQ(c[212], 0.85 * 1.1);
}

TEST(RibProfile, RibsWithoutGapAndWithAOneStageGap) {
    RunState run;
    testshell::LayRibs(run, {10, 15, 21});  // 10..14, 15..19 back to back; 20 alone; 21..25
    CountRibGaps(run.ribMark, 40);
    std::vector<double> c = RibProfile(run.ribMark, 40);
    EXPECT_DOUBLE_EQ(c[14], 1.085);  // last stage of the first rib
    EXPECT_DOUBLE_EQ(c[15], 1.085);  // first stage of the second rib
    EXPECT_DOUBLE_EQ(c[16], 1.095);
    EXPECT_DOUBLE_EQ(c[19], 1.07);   // one stage before the next rib
    EXPECT_DOUBLE_EQ(c[20], 1.01);
    EXPECT_DOUBLE_EQ(c[21], 1.06);
}

TEST(RibProfile, LastPossibleStageReadsThePastRowAsZero) {
    StageTable<std::int16_t> mark;
    mark[4000] = 1;  // the last stage ends a rib: rule 7 looks one row past the table
    CountRibGaps(mark, 3999);
    std::vector<double> c;
    ASSERT_NO_THROW(c = RibProfile(mark, 3999));
    EXPECT_DOUBLE_EQ(c[4000], 0.85 * 1.07);
}

TEST(UnitLight, ScalesToUnitLengthAndReplacesZero) {
    Vec3F4 light{2, 0, 0};
    MakeUnitLight(light);
    EXPECT_EQ(light.x.raw(), 10000);
    EXPECT_EQ(light.y.raw(), 0);
    EXPECT_EQ(light.z.raw(), 0);
    light = {0, 0, 0};
    MakeUnitLight(light);
    EXPECT_EQ(light.z.raw(), 10000);
    EXPECT_EQ(light.x.raw() | light.y.raw(), 0);
    light = {1, 0, 1};
    MakeUnitLight(light);
    EXPECT_EQ(light.x.raw(), 7071);
    EXPECT_EQ(light.z.raw(), 7071);
    MakeUnitLight(light);  // stays put once unit
    EXPECT_EQ(light.x.raw(), 7071);
    EXPECT_EQ(light.z.raw(), 7071);
}

TEST(PaintOrder, FarthestFirstAndEarliestPositionWinsAmongEqualDepths) {
    StageTable<Fixed4> depth;
    StageTable<std::int16_t> order;
    depth[0] = 1;
    depth[1] = 1;
    depth[2] = 0;
    BuildPaintOrder(order, depth, 2);
    // Selection swaps stage 0 to the end; a stable sort would give 2, 0, 1.
    EXPECT_EQ(order[0], 2);
    EXPECT_EQ(order[1], 1);
    EXPECT_EQ(order[2], 0);

    depth[0] = 3, depth[1] = -1.5, depth[2] = 2, depth[3] = -1.5, depth[4] = 0.0001;
    order[5] = 77;  // rows past shownStage are left alone
    BuildPaintOrder(order, depth, 4);
    const int expected[] = {1, 3, 4, 2, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(order[i], expected[i]) << i;
    EXPECT_EQ(order[5], 77);
}

TEST(Colours, BrightestDarkestAndSquaredBrightness) {
    EXPECT_EQ(FaceColour(1), Rgb(255, 185, 95));
    EXPECT_EQ(FaceColour(-1), Rgb(255, 185, 95));  // lit from behind counts the same
    EXPECT_EQ(FaceColour(0), Rgb(65, 35, 25));
    EXPECT_EQ(GrowthLineColour(1), Rgb(235, 165, 75));
    EXPECT_EQ(GrowthLineColour(0), Rgb(45, 15, 5));
    EXPECT_EQ(FaceColour(std::sqrt(0.5)), Rgb(160, 110, 60));
    // s² = 0.25 puts every component on a half: halves go to the even number.
    EXPECT_EQ(FaceColour(0.5), Rgb(112, 72, 42));
    EXPECT_EQ(GrowthLineColour(-0.5), Rgb(92, 52, 22));
    EXPECT_EQ(FaceColour(0.9), Rgb(219, 156, 82));  // 218.9, 156.5, 81.7
    // A light a hair longer than unit (four-decimal components) stays in range.
    EXPECT_EQ(FaceColour(1.0004), Rgb(255, 185, 95));
}

TEST(Quads, NormalAgainstTheLightAndDegenerateEdges) {
    // u along +x, v along +y: n = +z.
    RingPoint a{0, 0, 0}, prev{0, 3, 0}, b{2, 0, 0};
    QuadShade q = ShadeQuad(a, prev, b, 0, 0, 1);
    EXPECT_TRUE(q.valid);
    EXPECT_TRUE(q.facing);
    EXPECT_DOUBLE_EQ(q.s, 1.0);
    q = ShadeQuad(a, prev, b, 0.7071, 0, 0.7071);
    EXPECT_DOUBLE_EQ(q.s, 0.7071);
    q = ShadeQuad(a, prev, b, 1, 0, 0);  // normal perpendicular to the light
    EXPECT_EQ(FaceColour(q.s), Rgb(65, 35, 25));
    // Swapped edges face away.
    q = ShadeQuad(a, b, prev, 0, 0, 1);
    EXPECT_FALSE(q.facing);
    EXPECT_DOUBLE_EQ(q.s, -1.0);
    // Coinciding points give no normal.
    EXPECT_FALSE(ShadeQuad(a, a, b, 0, 0, 1).valid);
    EXPECT_FALSE(ShadeQuad(a, prev, a, 0, 0, 1).valid);
}

TEST(Rings, StraightTubeRingIsTheThreeLobedSection) {
    ModelState model;
    RunState run;
    testshell::DefaultSettings(model, run, 1, 0, 0);
    model.ribbingOn = 0;
    run.radiusByStage[0] = 2;  // identity frame and section at row 1
    run.frameCosAByStage[1] = 1;
    run.frameCosBByStage[1] = 1;
    run.sectionCosByStage[1] = 1;
    std::vector<double> factor(kStageRows, 1.0);
    Ring ring;
    ComputeRing(ShadeScene{run, model, factor}, 1, ring);
    ASSERT_EQ(ring.size(), 361u);
    // Default view: x' = -X, y' = Z, depth Y.
    EXPECT_NEAR(ring[0].x, -2, 1e-12);
    EXPECT_NEAR(ring[0].y, 0.04, 1e-12);
    EXPECT_NEAR(ring[90].z, 2, 1e-5);
    EXPECT_NEAR(ring[60].y, 0.02 * 2 * std::cos(3 * 60 * kPi / 180), 1e-6);
    EXPECT_DOUBLE_EQ(ring[360].x, ring[0].x);  // the ring closes exactly
    EXPECT_DOUBLE_EQ(ring[360].z, ring[0].z);

    // A swelling of 1.1 moves the +x side out by 0.21 R and the -x side in by 0.01 R.
    model.ribbingOn = 1;
    factor[1] = 1.1;
    model.drawScale = 3;
    ComputeRing(ShadeScene{run, model, factor}, 1, ring);
    EXPECT_NEAR(ring[0].x, -3 * 2 * 1.21, 1e-9);
    EXPECT_NEAR(ring[180].x, 3 * 2 * 0.99, 1e-5);
}

TEST(ShadeCommand, BeforeAnyRunSaysSoAndDrawsNothing) {
    ModelState model;
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic logic(model, surface, log);
    logic.Load();
    logic.ClickShade();
    EXPECT_EQ(logic.statusLine.caption(), "Nothing to shade yet: press START first");
    EXPECT_TRUE(surface.ops.empty());
    EXPECT_EQ(model.lightVector.x.raw(), 10000);  // nothing was changed
}

TEST(ShadeCommand, LeavesGapCountsUnitLightAndOrderBehind) {
    ModelState model;
    RecordingSurface surface(200, 200);
    MemoryLog log;
    MainWindowLogic logic(model, surface, log);
    logic.Load();
    testshell::DefaultSettings(model, logic.run, 4, 100, 100);
    testshell::LayRibs(logic.run, {3});
    testshell::Build(model, logic.run, {12, 1.02, 0.3, 0.4, 0.1});
    logic.ClickShade();
    EXPECT_EQ(logic.statusLine.caption(), "");
    EXPECT_EQ(model.lightVector.x.raw(), 7071);
    EXPECT_EQ(logic.run.ribMark[0], 1);
    EXPECT_EQ(logic.run.ribMark[12], -1);
    for (int i = 1; i <= 12; ++i)
        EXPECT_LE(logic.run.viewDepthByStage[logic.run.paintOrder[i - 1]].raw(),
                  logic.run.viewDepthByStage[logic.run.paintOrder[i]].raw());
    ASSERT_FALSE(surface.ops.empty());
    EXPECT_EQ(surface.ops.front().kind, RecordingSurface::Op::Clear);
    EXPECT_EQ(surface.drawWidth(), 1);
    EXPECT_EQ(logic.run.sectionAngleStep, 1);

    // Too many stages for the tables: an error, and nothing is rewritten.
    logic.TypeStages("4000");
    StageTable<std::int16_t> marks = logic.run.ribMark;
    logic.ClickShade();
    EXPECT_FALSE(logic.statusLine.caption().empty());
    for (int a = 0; a <= 20; ++a) EXPECT_EQ(logic.run.ribMark[a], marks[a]);
}

TEST(Rings, AgreeExactlyWithTheRotationsOfTheWireframe) {
    ModelState model;
    RunState run;
    testshell::DefaultSettings(model, run, 2.5, 0, 0);
    run.view = ViewPairsFromVector(0.3, -1, 0.6);
    model.orientationSin = 0.28, model.orientationCos = 0.96;
    model.orientationShiftX = 3.25, model.orientationShiftY = -1.5;
    run.frameCosAByStage[7] = 0.6, run.frameSinAByStage[7] = -0.8;
    run.frameCosBByStage[7] = 0.28, run.frameSinBByStage[7] = 0.96;
    run.sectionCosByStage[7] = 0.8, run.sectionSinByStage[7] = 0.6;
    run.radiusByStage[6] = 3.5;
    run.centreXByStage[6] = 10, run.centreYByStage[6] = -4.25, run.centreZByStage[6] = 7;
    std::vector<double> factor(kStageRows, 1.0);
    factor[7] = 1.095;
    Ring ring;
    ComputeRing(ShadeScene{run, model, factor}, 7, ring);
    const FramePairs frame{0.6, -0.8, 0.28, 0.96};
    const SectionPair section{0.8, 0.6};
    const OrientationTurn turn{0.28, 0.96, 3.25, -1.5};
    for (int k : {0, 1, 45, 90, 179, 240, 359, 360}) {
        float theta = k == 360 ? 0.0f : static_cast<float>(k) * kPiSingle / 180.0f;
        double c = 1.095, r = 3.5;
        Vec3 p{c * (c + std::cos(double(theta)) - 1) * r, c * r * std::sin(double(theta)),
               0.02 * r * std::cos(double(3.0f * theta))};
        FromSectionAxis(p, section);
        FromStageFrame(p, frame);
        p.x += 10, p.y += -4.25, p.z += 7;
        p = ProjectShellPoint(p, run.view, turn);
        EXPECT_EQ(ring[k].x, p.x * 2.5) << k;
        EXPECT_EQ(ring[k].y, p.y * 2.5) << k;
        EXPECT_EQ(ring[k].z, p.z * 2.5) << k;
    }
}
