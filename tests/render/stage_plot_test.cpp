// The plot of per-stage results: tick choice and what the three panels draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/grown_shell.h"
#include "render/stage_plot.h"

using namespace ammonite;
using test_support::GrownShell;
using Op = RecordingSurface::Op;

TEST(StagePlot, TicksAreRoundStepsInsideTheRange) {
    EXPECT_EQ(NiceTicks(0, 10, 5), (std::vector<double>{0, 2, 4, 6, 8, 10}));
    EXPECT_EQ(NiceTicks(1, 1699, 10), (std::vector<double>{200, 400, 600, 800, 1000, 1200, 1400, 1600}));
    // The step is the first of 1, 2, 5 × 10^k not below range / target.
    const auto small = NiceTicks(0.93, 1.21, 5);
    ASSERT_EQ(small.size(), 3u);
    EXPECT_NEAR(small.front(), 1.0, 1e-12);
    EXPECT_NEAR(small.back(), 1.2, 1e-12);
    // Negative ranges and a range through zero give an exact 0.
    const auto across = NiceTicks(-95, 40, 5);
    EXPECT_NE(std::find(across.begin(), across.end(), 0.0), across.end());
    EXPECT_TRUE(NiceTicks(1, 1, 5).empty());
    EXPECT_TRUE(NiceTicks(0, NAN, 5).empty());
}

TEST(StagePlot, NothingToPlotBeforeARun) {
    GrownShell w;
    RecordingSurface plot;
    EXPECT_FALSE(DrawStagePlot(plot, w.run));
    EXPECT_TRUE(plot.ops.empty());
}

TEST(StagePlot, ThreeCurvesFollowTheResultsOfEveryStage) {
    GrownShell w;
    ASSERT_NO_THROW(w.start(400));
    RecordingSurface plot;
    ASSERT_TRUE(DrawStagePlot(plot, w.run));
    ASSERT_EQ(plot.ops.front().kind, Op::Clear);

    // About one curve segment per pair of neighbouring stages in each panel, drawn
    // 2 px wide in the panel's colour, inside the surface.
    const Rgb colours[3] = {Rgb(0, 70, 200), Rgb(200, 40, 40), Rgb(0, 130, 60)};
    for (const Rgb& c : colours) {
        long segments = 0;
        for (const Op& op : plot.ops) {
            if (op.kind != Op::Line || op.colour != c) continue;
            ++segments;
            EXPECT_EQ(op.width, 2);
            EXPECT_GE(std::min(op.x1, op.x2), 0);
            EXPECT_LE(std::max(op.x1, op.x2), plot.width());
            EXPECT_GE(std::min(op.y1, op.y2), 0);
            EXPECT_LE(std::max(op.y1, op.y2), plot.height());
        }
        // Stages 1..400; a few of the first may lie wholly beyond the panel.
        EXPECT_LE(segments, 399);
        EXPECT_GE(segments, 390);
    }

    // The density curve ends at the run's final density: the last point of
    // the curve lies on the height of the value the window shows, between
    // the ticks around it.
    std::vector<Op> texts;
    for (const Op& op : plot.ops)
        if (op.kind == Op::Text) texts.push_back(op);
    auto hasText = [&](const std::string& t) {
        return std::any_of(texts.begin(), texts.end(), [&](const Op& op) { return op.text == t; });
    };
    EXPECT_TRUE(hasText("Mean density (g/cm³)"));
    EXPECT_TRUE(hasText("Orientation angle (°)"));
    EXPECT_TRUE(hasText("sea water 1.026"));
    EXPECT_TRUE(hasText("Stage results of the last run (stages 1 to 400)"));
}

TEST(StagePlot, AFlatCurveIsDrawnMidPanelAndGapsBreakTheCurve) {
    // A constant orientation angle has no range of its own; its line must
    // still be drawn, inside the second panel and not on its edge.
    auto run = std::make_unique<RunState>();
    for (long s = 1; s <= 50; ++s) {
        if (s == 20) continue;  // a stage without results
        StageHydrostatics& h = run->hydrostaticsByStage[s];
        h.valid = true;
        h.meanDensity = 0.9 + 0.001 * s;
        h.stabilityIndex = 0.2;
        run->orientationAngleByStage[s] = 12.5f;
    }
    RecordingSurface plot;
    ASSERT_TRUE(DrawStagePlot(plot, *run));
    double lo = 1e9, hi = -1e9;
    long segments = 0;
    for (const Op& op : plot.ops) {
        if (op.kind != Op::Line || op.colour != Rgb(200, 40, 40)) continue;
        ++segments;
        lo = std::min({lo, op.y1, op.y2});
        hi = std::max({hi, op.y1, op.y2});
    }
    EXPECT_EQ(segments, 47);  // 1..19 and 21..50: no segment across the gap
    EXPECT_NEAR(hi - lo, 0, 1e-9);
    EXPECT_NEAR(lo, 280 + 100, 1e-6);  // the middle of the panel 280..480
}

TEST(StagePlot, FarOffFirstStagesAreCutOffAtThePanelEdge) {
    // Two stages far above the rest must not squash the curve: the range is
    // that of the bulk, and the far values end at the panel's top.
    auto run = std::make_unique<RunState>();
    for (long s = 1; s <= 300; ++s) {
        StageHydrostatics& h = run->hydrostaticsByStage[s];
        h.valid = true;
        h.meanDensity = s <= 2 ? 40.0 : 1.0 + 0.0005 * s;
        h.stabilityIndex = 0.1;
    }
    RecordingSurface plot;
    ASSERT_TRUE(DrawStagePlot(plot, *run));
    double top = 1e9, bottom = -1e9;
    bool note = false;
    for (const Op& op : plot.ops) {
        if (op.kind == Op::Text && op.text == "values beyond the panel are cut off") note = true;
        if (op.kind != Op::Line || op.colour != Rgb(0, 70, 200)) continue;
        top = std::min({top, op.y1, op.y2});
        bottom = std::max({bottom, op.y1, op.y2});
    }
    EXPECT_TRUE(note);
    EXPECT_NEAR(top, 40, 1e-9);         // the panel's top edge
    EXPECT_GT(bottom - top, 150);       // the bulk spreads over the panel
    EXPECT_LE(bottom, 240);
}
