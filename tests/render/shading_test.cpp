// Rib profile, light, paint order, colours and quads of the shaded rendering.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include <cmath>
#include <memory>

#include "render/shading.h"
#include "render/shading_passes.h"
#include "support/shading_test_shell.h"

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

namespace {

// What the two passes ask for, in order: a strip (with its line width) or the
// growth lines of a stage.
struct PassEvent {
    bool strip;
    int stage;
    int width;
};
struct PassRecorder {
    std::vector<PassEvent> events;
    void strip(int f, int width) { events.push_back({true, f, width}); }
    void growthLines(int f) { events.push_back({false, f, 0}); }
};

}  // namespace

TEST(ShadePasses, GrowthLinesFollowTenPositionsLaterAndSkipStagesBeforeARib) {
    ModelState model;
    auto run = std::make_unique<RunState>();
    std::vector<double> factor(kStageRows, 1.0);
    model.shownStage = 100;
    for (int i = 0; i <= 100; ++i) run->paintOrder[i] = static_cast<std::int16_t>(100 - i);  // stage 0 last
    for (int i = 101; i <= 1075; ++i) run->paintOrder[i] = 1000;  // left by an earlier, longer command
    testshell::LayRibs(*run, {21});  // stages 20..24 are followed by a rib stage
    PassRecorder rec;
    RunShadePasses(ShadeScene{*run, model, factor}, rec);

    // Each pass: 101 strips (positions 0..100) and the growth lines of
    // positions 66..100 (stages 34..1, then stage 0 painted as 1), less 20..24.
    const size_t perPass = 101 + 30;
    ASSERT_EQ(rec.events.size(), 2 * perPass);
    for (size_t pass = 0; pass < 2; ++pass) {
        const PassEvent* e = &rec.events[pass * perPass];
        for (int i = 0; i < 76; ++i) {  // positions 0..75: strips only
            EXPECT_TRUE(e[i].strip) << pass << " " << i;
            EXPECT_EQ(e[i].stage, 100 - i);
            EXPECT_EQ(e[i].width, 2);
        }
        // Position 76: the strip of stage 24, then the lines of stage 34 (position 66).
        EXPECT_TRUE(e[76].strip);
        EXPECT_EQ(e[76].stage, 24);
        EXPECT_FALSE(e[77].strip);
        EXPECT_EQ(e[77].stage, 34);
    }
    int stageOneStrips = 0, stageOneLines = 0;
    for (const PassEvent& e : rec.events) {
        EXPECT_NE(e.stage, 0);
        EXPECT_NE(e.stage, 1000) << "no lines for rows this command did not order";
        if (!e.strip) {
            EXPECT_FALSE(e.stage >= 20 && e.stage <= 24) << e.stage;
            EXPECT_LE(e.stage, 34);
        }
        if (e.stage == 1) ++(e.strip ? stageOneStrips : stageOneLines);
    }
    EXPECT_EQ(stageOneStrips, 4);  // stage 1 and stage 0, in both passes
    EXPECT_EQ(stageOneLines, 4);
    // The last lines of pass 1 (position 110) are those of position 100.
    EXPECT_FALSE(rec.events[perPass - 1].strip);
    EXPECT_EQ(rec.events[perPass - 1].stage, 1);
}

TEST(ShadePasses, SecondPassRepaintsPositionsUpTo1075TheLastThinly) {
    ModelState model;
    auto run = std::make_unique<RunState>();
    std::vector<double> factor(kStageRows, 1.0);
    model.shownStage = 1100;
    for (int i = 0; i <= 1100; ++i) run->paintOrder[i] = static_cast<std::int16_t>(i);
    PassRecorder rec;
    RunShadePasses(ShadeScene{*run, model, factor}, rec);

    // Pass 1: strips of positions 0..1100, lines of positions 66..1100.
    // Pass 2: strips of positions 0..1075, lines of positions 66..1065.
    const size_t firstPass = 1101 + 1035;
    ASSERT_EQ(rec.events.size(), firstPass + 1076 + 1000);
    int thin = 0;
    for (size_t i = 0; i < rec.events.size(); ++i) {
        const PassEvent& e = rec.events[i];
        if (!e.strip || e.width == 2) continue;
        ++thin;
        EXPECT_EQ(i, rec.events.size() - 2);  // the last strip of pass 2
        EXPECT_EQ(e.stage, 1075);
        EXPECT_EQ(e.width, 1);
    }
    EXPECT_EQ(thin, 1);
    EXPECT_TRUE(rec.events[firstPass].strip);
    EXPECT_EQ(rec.events[firstPass].stage, 1);  // stage 0 is painted as stage 1
    EXPECT_FALSE(rec.events.back().strip);
    EXPECT_EQ(rec.events.back().stage, 1065);
}

TEST(ShadedStrip, FirstFacingQuadIsSixLinesFromRingsOfItsStageAndTheNext) {
    ModelState model;
    auto run = std::make_unique<RunState>();
    testshell::DefaultSettings(model, *run, 6, 300, 200);
    model.ribbingOn = 0;
    testshell::Build(model, *run, {6, 1.05, 0.4, 0.5, 0.2});
    RecordingSurface surface(600, 400);
    const ShadeOutcome shaded = ShadeRun(surface, model, *run);
    model.lightVector = shaded.unitLight;
    StageTable<std::int16_t> order;
    BuildPaintOrder(order, run->viewDepthByStage, model.shownStage);

    const int f = order[0] == 0 ? 1 : order[0];
    std::vector<double> factor(kStageRows, 1.0);
    Ring a, b;
    ComputeRing(ShadeScene{*run, model, factor}, f, a);      // frame row f, radius and centre row f - 1
    ComputeRing(ShadeScene{*run, model, factor}, f + 1, b);  // frame row f + 1, radius and centre row f
    for (RingPoint& p : b) p.z = static_cast<float>(p.z);
    int k = 1;
    QuadShade q;
    for (; k <= kRingSteps; ++k) {
        q = ShadeQuad(a[k], a[k - 1], b[k], model.lightVector.x, model.lightVector.y, model.lightVector.z);
        if (q.valid && q.facing) break;
    }
    ASSERT_LE(k, kRingSteps);
    ASSERT_GE(surface.ops.size(), 7u);
    ASSERT_EQ(surface.ops[0].kind, RecordingSurface::Op::Clear);
    auto at = [&](const RingPoint& p) {
        return std::make_pair(static_cast<double>(static_cast<float>(300 + p.x)),
                              static_cast<double>(static_cast<float>(200 - p.y)));
    };
    // B_k to A_k; A_k to A_(k-1); B_(k-1) to B_k; B_k to A_(k-1); B_(k-1) to A_k; A_(k-1) to B_(k-1).
    const RingPoint* ends[6][2] = {{&b[k], &a[k]},     {&a[k], &a[k - 1]}, {&b[k - 1], &b[k]},
                                   {&b[k], &a[k - 1]}, {&b[k - 1], &a[k]}, {&a[k - 1], &b[k - 1]}};
    for (int i = 0; i < 6; ++i) {
        const RecordingSurface::Op& op = surface.ops[static_cast<size_t>(i) + 1];
        ASSERT_EQ(op.kind, RecordingSurface::Op::Line);
        EXPECT_EQ(std::make_pair(op.x1, op.y1), at(*ends[i][0])) << i;
        EXPECT_EQ(std::make_pair(op.x2, op.y2), at(*ends[i][1])) << i;
        EXPECT_EQ(op.colour, FaceColour(q.s)) << i;
        EXPECT_EQ(op.width, 2) << i;
    }
}
