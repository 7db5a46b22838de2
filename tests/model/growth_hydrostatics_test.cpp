// Hydrostatics of the shell so far, the orientation angle, the final report
// with its markers and labels, and the regulation chart with its bars.
#include <gtest/gtest.h>

#include <cmath>

#include "growth_test_fixture.h"

using namespace ammonite;
using growth_test::Window;
using Op = RecordingSurface::Op;

namespace {

// A straight tube of radius 1 along z whose stages each add one unit of
// length (step factor 1) and π of volume.
struct StraightTube : Window {
    explicit StraightTube(long stages, int orientationMode = 2) {
        model->orientationMode = static_cast<std::int16_t>(orientationMode);
        run.radiusByStage[0] = 1;
        run.cumulativeLength[0] = 0;
        run.totalVolume = 0;
        run.volumeMomentX = run.volumeMomentY = run.volumeMomentZ = 0;
        run.axisDirection = {0, 0, 1};
        run.stepLength = 1;
        run.rimXByStage[0] = 1;
        grow(*this, stages);
    }
    static void grow(StraightTube& w, long stages) {
        for (long s = 1; s <= stages; ++s) {
            w.run.currentStage = static_cast<float>(s);
            w.run.radiusByStage[s] = 1;
            w.run.centreZByStage[s] = static_cast<double>(s);
            w.run.stageBeta = 2;
            w.steps().HydrostaticStep();
        }
    }
};

}  // namespace

TEST(Hydrostatics, HalfTheVolumeInTheBodyChamberGivesTheMeanDensity) {
    StraightTube w(4);  // length 4, the body chamber is the last 2 radii
    EXPECT_NEAR(w.run.totalVolume, 4 * kPi, 1e-12);
    EXPECT_DOUBLE_EQ(w.run.cumulativeLength[4], 4);
    EXPECT_NEAR(w.run.bodyStart, 2, 1e-6);
    EXPECT_EQ(w.run.bodyStartStage, 1);
    EXPECT_DOUBLE_EQ(w.run.bodyStartFraction, 1);
    EXPECT_NEAR(w.run.airVolume, 2 * kPi, 1e-3);
    EXPECT_NEAR(w.run.bodyVolume, 2 * kPi, 1e-3);
    EXPECT_NEAR(w.run.meanDensity, 0.95, 1e-4);
    EXPECT_DOUBLE_EQ(w.run.ptRatio, 0.5);
    // Segment volumes sit at the centre of the previous stage: 0, 1, 2, 3.
    EXPECT_NEAR(w.run.buoyancyCentre.z, 1.5, 1e-12);
    EXPECT_NEAR(w.run.airCentre.z, 0.5, 1e-3);
    EXPECT_NEAR(w.run.bodyCentre.z, 2.5, 1e-3);
    // The heavy body chamber pulls the centre of mass toward the aperture.
    EXPECT_NEAR(w.run.massCentre.z, (0.6 * 0.5 + 1.3 * 2.5) / 1.9, 1e-3);
}

// A worked case on a tube that widens: radii 1, 1, 1 and 2 at stages 0..3,
// one radius of length per stage (the segment of stage S has the radius of
// stage S − 1), β = 1. The body chamber is the last radius of the aperture,
// 2 units long: it starts at length 3 − 2 = 1, the end of the first segment,
// so the air chamber is that segment alone.
TEST(Hydrostatics, AWideningTubeMeasuresItsBodyChamberWithTheApertureRadius) {
    Window w;
    w.model->orientationMode = 0;
    RunState& r = w.run;
    r.totalVolume = 0;
    r.volumeMomentX = r.volumeMomentY = r.volumeMomentZ = 0;
    r.cumulativeLength[0] = 0;
    r.volumeByStage[0] = 0;
    r.buoyancyXByStage[0] = r.buoyancyYByStage[0] = r.buoyancyZByStage[0] = 0;
    r.stepLength = 1;
    r.stageBeta = 1;
    r.lengthsAscending = true;
    const double radius[] = {1, 1, 1, 2};
    r.radiusByStage[0] = radius[0];
    r.centreXByStage[0] = r.centreYByStage[0] = r.centreZByStage[0] = 0;
    for (long s = 1; s <= 3; ++s) {
        r.currentStage = static_cast<float>(s);
        r.radiusByStage[s] = radius[s];
        r.centreXByStage[s] = r.centreYByStage[s] = 0;
        r.centreZByStage[s] = static_cast<double>(s);
        w.steps().HydrostaticStep();
    }
    // Three segments of volume π centred at z = 0, 1, 2.
    EXPECT_NEAR(r.totalVolume, 3 * kPi, 1e-12);
    EXPECT_NEAR(r.buoyancyCentre.z, 1, 1e-12);
    EXPECT_FLOAT_EQ(r.bodyStart, 1);  // 3 − 1 × 2, not 3 − 1 × 1
    // The per-stage volumes are kept to four decimals.
    EXPECT_NEAR(r.airVolume, kPi, 1e-4);
    EXPECT_NEAR(r.bodyVolume, 2 * kPi, 1e-4);
    EXPECT_NEAR(r.airCentre.z, 0, 1e-12);
    EXPECT_NEAR(r.bodyCentre.z, 1.5, 1e-4);  // (1 × 3π − 0 × π) / 2π
    // Mass 0.6π + 1.3 × 2π = 3.2π over 3π; G = 1.3 × 2π × 1.5 / 3.2π.
    EXPECT_NEAR(r.meanDensity, 3.2 / 3, 1e-4);
    EXPECT_NEAR(r.massCentre.z, 3.9 / 3.2, 1e-4);
    EXPECT_NEAR(r.ptRatio, 1.0 / 3, 1e-12);
    EXPECT_NEAR(r.stabilityIndex, (3.9 / 3.2 - 1) / std::cbrt(3 * kPi), 1e-4);
    EXPECT_NEAR(r.buoyancyVector.z, 0 - 1.5, 1e-4);  // from the body to the air chamber
}

TEST(Hydrostatics, SimpleUpVectorPointsFromBodyToAirChamber) {
    StraightTube w(4, 0);
    EXPECT_NEAR(w.run.buoyancyVector.x, 0, 1e-9);
    EXPECT_NEAR(w.run.buoyancyVector.z, 0.5 - 2.5, 1e-3);
}

TEST(Hydrostatics, TangentSearchFindsWhereTheShellRests) {
    // A light shell on a straight tube: resting on the aperture already
    // turns it the right way, and "up" is from the body to the air chamber.
    StraightTube light(6);
    EXPECT_EQ(light.run.tangentStage, 6);
    EXPECT_NEAR(light.run.buoyancyVector.z, light.run.airCentre.z - light.run.bodyCentre.z, 1e-12);

    // A heavy shell tips over further back: it rests on the rim of stage 3,
    // and "up" is square to the rim segment there.
    StraightTube heavy(0);
    heavy.model->densities = {2, 3};
    StraightTube::grow(heavy, 6);
    EXPECT_EQ(heavy.run.tangentStage, 3);
    EXPECT_NEAR(heavy.run.buoyancyVector.x, -1, 1e-12);
    EXPECT_NEAR(heavy.run.buoyancyVector.z, 0, 1e-12);
}

TEST(Hydrostatics, AShellOfNoMassIsARuntimeError) {
    Window w;
    w.model->densities = {0, 0};
    w.run.radiusByStage[0] = 1;
    w.run.radiusByStage[1] = 1;
    w.run.currentStage = 1;
    w.run.stepLength = 1;
    w.run.stageBeta = 0.5;
    EXPECT_THROW(w.steps().HydrostaticStep(), RuntimeError);
}

TEST(Orientation, AngleFromTiltAndUpDirection) {
    Window w;
    struct Case {
        Vec3 up, direction;
        float angle;
    };
    const Case cases[] = {
        {{1, 0, 0}, {0, 0, 1}, 90},     // growth perpendicular to "up": c = 0
        {{0, 0, -1}, {0, 0, 1}, -90},   // growing straight down: c = 1
        {{0, 0, 1}, {0, 0, 1}, 90},     // growing straight up: c = −1
        {{1, 0, -1}, {0, 0, 1}, -45},   // c > 0: angle − 90
        {{1, 0, 1}, {0, 0, 1}, 135.01f}, // c < 0: −45.01 (floored), then 90 − angle
        {{0, 0, 0}, {0, 0, 0}, 90},     // zero lengths fall back to (1,0,0) and (0,0,1)
    };
    for (const Case& c : cases) {
        w.run.buoyancyVector = c.up;
        w.steps().OrientStage(c.direction);
        EXPECT_FLOAT_EQ(w.run.orientationAngle, c.angle) << c.up.x << "," << c.up.z;
        const Vec3F4& L = w.model->lifeViewVector;
        const double len = std::sqrt(L.x * L.x + L.y * L.y + L.z * L.z);
        EXPECT_NEAR(len, 1, 1e-4);
        if (w.run.tiltCosine <= 0) {
            EXPECT_LE(L.y, 0);
        }
    }
}

TEST(Orientation, AngleIsTruncatedToTwoDecimals) {
    Window w;
    w.run.buoyancyVector = {std::sin(0.3), 0, std::cos(0.3)};
    w.steps().OrientStage({0, 0, 1});
    // c = −cos 0.3 < 0: arctan gives −0.3 rad, −17.1887...°, floored to
    // −17.19; the angle is then 90 − (−17.19).
    EXPECT_FLOAT_EQ(w.run.orientationAngle, 90.0f + 17.19f);
}

TEST(FinalReport, LabelsAndMarkersAfterTheDefaultRun) {
    Window w;
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    // One decimal for the angle and the P/T ratio, three for the density.
    const std::string ori = w.logic->ORIlbl.caption();
    EXPECT_DOUBLE_EQ(std::stod(ori), std::floor(10 * static_cast<double>(w.run.orientationAngle)) / 10);
    EXPECT_DOUBLE_EQ(std::stod(w.logic->DNSlbl.caption()), std::floor(1000 * w.run.meanDensity) / 1000);
    EXPECT_DOUBLE_EQ(std::stod(w.logic->PTRtxt.text()), std::floor(1000 * w.run.ptRatio) / 10);

    std::vector<Op> texts = w.ops(Op::Text);
    std::vector<Op> circles = w.ops(Op::Circle);
    ASSERT_GE(circles.size(), 3u);
    auto findText = [&](const std::string& t) {
        for (const Op& op : texts)
            if (op.text == t) return true;
        return false;
    };
    // The stage number follows the text directly, with no blank between.
    EXPECT_TRUE(findText(" tangent point " + std::to_string(w.run.tangentStage)));
    EXPECT_TRUE(findText(" Center of air chamber"));
    EXPECT_TRUE(findText(" Center of body chamber"));
    EXPECT_TRUE(circles[0].filled);
    EXPECT_DOUBLE_EQ(circles[0].x2, 2);  // radius
    EXPECT_EQ(circles[0].fill, paletteColour(14));
    EXPECT_EQ(circles[1].fill, paletteColour(11));
    EXPECT_EQ(circles[1].colour, paletteColour(9));
    EXPECT_EQ(circles[2].fill, paletteColour(5));
    EXPECT_DOUBLE_EQ(circles[2].x2, 3);
    EXPECT_EQ(w.surface.fillColour(), paletteColour(0));

    // The tangent marker stands on the rim point of the tangent stage, seen
    // through the view of this run (no orientation turn in the first run).
    Vec3 r{w.run.rimXByStage[w.run.tangentStage], w.run.rimYByStage[w.run.tangentStage],
           w.run.rimZByStage[w.run.tangentStage]};
    ApplyViewRotation(r, w.run.view);
    EXPECT_NEAR(circles[0].x1, 500 + 2 * r.x, 1e-3);
    EXPECT_NEAR(circles[0].y1, 650 - 2 * r.y, 1e-3);
}

TEST(FinalReport, OrientationOffResetsTheTurnAndKeepsTheTangentStage) {
    Window w;
    w.logic->ClickStart();  // life orientation: a search ran
    const std::int16_t tangent = w.run.tangentStage;
    ASSERT_GT(tangent, 0);
    EXPECT_NE(w.model->orientationSin, 0);
    w.model->orientationMode = 0;
    w.surface.ops.clear();
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_DOUBLE_EQ(w.model->orientationSin, 0);
    EXPECT_DOUBLE_EQ(w.model->orientationCos, 1);
    EXPECT_DOUBLE_EQ(w.model->orientationShiftX, 0);
    EXPECT_DOUBLE_EQ(w.model->orientationShiftY, 0);
    // No search ran: the marker stands at the stage of the last one.
    EXPECT_EQ(w.run.tangentStage, tangent);
    bool marker = false;
    for (const Op& op : w.ops(Op::Text)) marker |= op.text == " tangent point " + std::to_string(tangent);
    EXPECT_TRUE(marker);
}

TEST(RegulationChart, DrawnAtTheEndOfTheRun) {
    Window w;
    w.logic->ClickStart();
    const long n = w.model->shownStage;
    std::vector<Op> points = w.ops(Op::Point);
    ASSERT_EQ(points.size(), static_cast<size_t>(2 * n));
    // Curvature against ln(radius), then the rib spacing.
    EXPECT_NEAR(points[0].x1, 300 * std::log(1.005), 1e-9);
    EXPECT_NEAR(points[0].y1, 500 - 200 * 1, 1e-9);
    EXPECT_EQ(points[0].colour, Rgb(200, 100, 100));
    EXPECT_EQ(points[0].width, 2);
    EXPECT_NEAR(points[n].y1, 500 - 100 * 0.1, 1e-9);  // 0.3 / (4 − 1)
    EXPECT_EQ(points[n].colour, Rgb(100, 200, 200));
    // The threshold curve: three black lines ending at the size reached.
    std::vector<Op> lines = w.ops(Op::Line);
    const Op& last = lines.back();
    EXPECT_EQ(last.colour, Rgb(0, 0, 0));
    EXPECT_NEAR(last.x2, 300 * std::log(static_cast<double>(w.run.radiusByStage[n + 1])), 1e-9);
    EXPECT_DOUBLE_EQ(lines[lines.size() - 3].x2, 600);  // 300 × sizeLow 2
    EXPECT_DOUBLE_EQ(lines[lines.size() - 2].x2, 900);  // 300 × sizeHigh 3
    // Its two knots: circles of radius 3 in the foreground colour START set.
    std::vector<Op> circles = w.ops(Op::Circle);
    ASSERT_GE(circles.size(), 2u);
    const Op& knotLow = circles[circles.size() - 2];
    const Op& knotHigh = circles.back();
    EXPECT_DOUBLE_EQ(knotLow.x1, 600);
    EXPECT_DOUBLE_EQ(knotLow.y1, 500);
    EXPECT_DOUBLE_EQ(knotHigh.x1, 900);
    EXPECT_DOUBLE_EQ(knotLow.x2, 3);  // radius
    EXPECT_EQ(knotLow.colour, Rgb(100, 100, 100));
    EXPECT_EQ(knotHigh.colour, Rgb(100, 100, 100));
    // "C" at the curvature's end, then the last rib spacing, in three
    // significant digits without the leading zero and clear of the "C" (13
    // units a text line).
    std::vector<Op> texts = w.ops(Op::Text);
    size_t at = 0;
    while (at < texts.size() && texts[at].text != "C") ++at;
    ASSERT_LT(at + 1, texts.size());
    const Op& c = texts[at];
    const Op& spacing = texts[at + 1];
    ASSERT_EQ(spacing.text.rfind(" .", 0), 0u) << spacing.text;
    const std::string digits = spacing.text.substr(2);
    EXPECT_LE(digits.size() - digits.find_first_not_of('0'), 3u) << spacing.text;
    EXPECT_NEAR(std::stod("0" + spacing.text.substr(1)), w.run.ribSpacing, 0.005 * w.run.ribSpacing) << spacing.text;
    EXPECT_DOUBLE_EQ(spacing.x1, c.x1);
    EXPECT_GE(std::fabs(spacing.y1 - c.y1), 13) << c.y1 << " " << spacing.y1;
    EXPECT_EQ(w.surface.drawWidth(), 1);
}

TEST(ThresholdBars, MovingABarBeforeTheFirstRunAsksForStartAndTheLabelFollows) {
    Window w;
    w.logic->MoveBar(w.logic->FT1vsc, -30);
    EXPECT_EQ(w.logic->statusLine.caption(),
              "The fatigue threshold at the smaller size is 0.3; press START first to see the chart");
    EXPECT_EQ(w.logic->FT1lbl.caption(), "0.3");
    // The value is stored; no chart is drawn.
    EXPECT_DOUBLE_EQ(w.run.fatigueAtSizeLow, 0.3);
    EXPECT_EQ(w.logic->FT1vsc.value(), -30);
    // The next wireframe is not drawn with the chart's wide pen.
    EXPECT_EQ(w.surface.drawWidth(), 1);
}

TEST(ThresholdBars, EachBarSetsItsValueRedrawsTheChartAndItsLabel) {
    Window w;
    w.logic->ClickStart();
    w.surface.ops.clear();
    w.logic->MoveBar(w.logic->FT1vsc, -80);
    EXPECT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_DOUBLE_EQ(w.run.fatigueAtSizeLow, 0.8);
    EXPECT_EQ(w.logic->FT1lbl.caption(), "0.8");
    // The wireframe is erased: a clear, then only the chart.
    ASSERT_FALSE(w.surface.ops.empty());
    EXPECT_EQ(w.surface.ops.front().kind, Op::Clear);
    std::vector<Op> lines = w.ops(Op::Line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_DOUBLE_EQ(lines[0].y1, 500 - 80);

    w.logic->MoveBar(w.logic->FT2vsc, -45);
    EXPECT_DOUBLE_EQ(w.run.fatigueAtSizeHigh, 0.45);
    EXPECT_EQ(w.logic->FT2lbl.caption(), "0.45");
    w.logic->MoveBar(w.logic->ST1hsc, 150);
    EXPECT_DOUBLE_EQ(w.run.sizeLow, 1.5);
    EXPECT_EQ(w.logic->ST1lbl.caption(), "1.5");
    w.logic->MoveBar(w.logic->ST2hsc, 420);
    EXPECT_DOUBLE_EQ(w.run.sizeHigh, 4.2);
    EXPECT_EQ(w.logic->ST2lbl.caption(), "4.2");

    // The next run regulates with the new thresholds.
    MemoryLog before;
    before.lines = w.log.lines;
    w.logic->ClickStart();
    EXPECT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_NE(w.log.lines, before.lines);
}

TEST(FinalReport, OrientationLabelTruncatesToTenths) {
    EXPECT_EQ(OrientationLabel(73.64f), "73.6");
    EXPECT_EQ(OrientationLabel(-179.8f), "-179.8");
    EXPECT_EQ(OrientationLabel(-12.34f), "-12.4");
    EXPECT_EQ(OrientationLabel(90.0f), "90");
    EXPECT_EQ(OrientationLabel(0.25f), "0.2");
}

TEST(Stability, StraightTubeByHand) {
    // Radius 1, length 4, body chamber the last 2 units: B sits at z = 1.5
    // (the mean of the segment positions 0..3), the air chamber's centre at
    // 0.5, the body chamber's at 2.5, so G = (0.6·0.5 + 1.3·2.5) / 1.9.
    StraightTube w(4);
    const double G = (0.6 * 0.5 + 1.3 * 2.5) / 1.9;
    const double expected = (G - 1.5) / std::cbrt(4 * kPi);
    EXPECT_NEAR(w.run.stabilityIndex, expected, 1e-3);
    EXPECT_NEAR(w.run.stabilityIndex, 0.1585, 1e-3);
    const StageHydrostatics& row = w.run.hydrostaticsByStage[4];
    EXPECT_TRUE(row.valid);
    EXPECT_EQ(row.stabilityIndex, w.run.stabilityIndex);
    EXPECT_NEAR(row.massCentre.z, G, 1e-3);
    EXPECT_DOUBLE_EQ(row.ptRatio, 0.5);
    // Earlier stages keep their own values.
    EXPECT_TRUE(w.run.hydrostaticsByStage[3].valid);
    EXPECT_NE(w.run.hydrostaticsByStage[3].stabilityIndex, row.stabilityIndex);
}

TEST(Stability, IndexIsFreeOfSizeAndZeroWhenTheCentresMeet) {
    const Vec3 B{1, 2, 3}, G{1.5, 2, 2};
    const double k = 7.5;
    EXPECT_NEAR(StabilityIndex({k * B.x, k * B.y, k * B.z}, {k * G.x, k * G.y, k * G.z}, k * k * k * 10),
                StabilityIndex(B, G, 10), 1e-12);
    EXPECT_NEAR(StabilityIndex(B, G, 8), std::sqrt(1.25) / 2, 1e-12);
    EXPECT_EQ(StabilityIndex(B, B, 5), 0);
}

TEST(Stability, DefaultRunShowsItWithThreeDecimalsAndAShorterRunClearsOldRows) {
    Window w;
    w.logic->ClickStart();
    ASSERT_EQ(w.logic->statusLine.caption(), "");
    const double st = w.run.stabilityIndex;
    EXPECT_GT(st, 0);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.3f", st);
    EXPECT_EQ(w.logic->STBlbl.caption(), expected);
    EXPECT_TRUE(w.run.hydrostaticsByStage[1700].valid);

    w.logic->TypeStages("300");
    w.logic->ClickStart();
    EXPECT_TRUE(w.run.hydrostaticsByStage[300].valid);
    EXPECT_FALSE(w.run.hydrostaticsByStage[301].valid);
    EXPECT_FALSE(w.run.hydrostaticsByStage[1700].valid);
    EXPECT_FALSE(w.run.hydrostaticsByStage[0].valid);
}
