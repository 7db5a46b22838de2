// What the main window shows after a run: the report's labels and markers,
// the regulation chart, and the threshold bars that redraw it.
#include <gtest/gtest.h>

#include <cmath>

#include "support/window_fixture.h"

using namespace ammonite;
using growth_test::Window;
using Op = RecordingSurface::Op;

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
