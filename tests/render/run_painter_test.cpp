// The regulation chart's two end labels as the painter prints them: the rib
// spacing's number keeps clear of the "C" when both curves end close
// together, and stays at its curve's end otherwise.
#include <gtest/gtest.h>

#include <string>

#include "render/run_painter.h"

using namespace ammonite;

namespace {

// Where the label `text` was printed.
const RecordingSurface::Op* printed(const RecordingSurface& s, const std::string& text) {
    for (const auto& op : s.ops)
        if (op.kind == RecordingSurface::Op::Text && op.text == text) return &op;
    return nullptr;
}

// The two labels with the curves ending at heights `curvatureY` and `ribY`.
RecordingSurface chartLabels(double curvatureY, double ribY) {
    RecordingSurface s;  // 13 units a text line
    RunPainter painter(s);
    painter.chartBegin();
    s.setCurrentPosition(820, curvatureY);
    painter.chartLabel(ChartSeries::Curvature, "C");
    s.setCurrentPosition(820, ribY);
    painter.chartLabel(ChartSeries::RibSpacing, " .0857");
    painter.chartEnd();
    return s;
}

}  // namespace

TEST(RegulationChartLabels, RibSpacingMovesOffTheCurvatureLabelOnlyWhenTheyWouldOverlap) {
    struct Case {
        double curvatureY, ribY, expectedRibY;
    };
    const Case cases[] = {
        {492, 491.4, 479},  // just above the "C": a line above it
        {492, 492, 505},    // on it: a line below
        {492, 500, 505},    // within its line, below: under it
        {492, 470, 470},    // a line and more above: where the curve ends
        {492, 505, 505},    // right under it: where the curve ends
    };
    for (const Case& c : cases) {
        const RecordingSurface s = chartLabels(c.curvatureY, c.ribY);
        const auto* curvature = printed(s, "C");
        const auto* rib = printed(s, " .0857");
        ASSERT_TRUE(curvature && rib);
        EXPECT_DOUBLE_EQ(curvature->y1, c.curvatureY);
        EXPECT_DOUBLE_EQ(rib->x1, 820);
        EXPECT_DOUBLE_EQ(rib->y1, c.expectedRibY) << c.ribY;
    }
}

TEST(RegulationChartLabels, WithoutACurvatureLabelTheRibSpacingStaysPut) {
    // A chart stopped before its "C" (or a redraw of a fresh chart) leaves
    // nothing to keep clear of.
    RecordingSurface s;
    RunPainter painter(s);
    painter.chartBegin();
    s.setCurrentPosition(820, 492);
    painter.chartLabel(ChartSeries::RibSpacing, " .0857");
    const auto* rib = printed(s, " .0857");
    ASSERT_TRUE(rib);
    EXPECT_DOUBLE_EQ(rib->y1, 492);
}
