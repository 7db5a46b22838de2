// The regulation chart's two end labels: the rib spacing's number keeps
// clear of the "C" when both curves end close together, and stays at its
// curve's end otherwise; its number has three significant digits.
#include <gtest/gtest.h>

#include <string>

#include "render/regulation_chart.h"

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
    ChartEndLabels labels(s);
    s.setCurrentPosition(820, curvatureY);
    labels.curvature("C");
    s.setCurrentPosition(820, ribY);
    labels.ribSpacing(" .0857");
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
    // A chart stopped before its "C" leaves nothing to keep clear of.
    RecordingSurface s;
    ChartEndLabels labels(s);
    s.setCurrentPosition(820, 492);
    labels.ribSpacing(" .0857");
    const auto* rib = printed(s, " .0857");
    ASSERT_TRUE(rib);
    EXPECT_DOUBLE_EQ(rib->y1, 492);
}

TEST(RegulationChartLabels, TheRibSpacingHasThreeSignificantDigits) {
    EXPECT_EQ(RibSpacingLabel(0.0857142857142857), " .0857");
    EXPECT_EQ(ChartNumber(12.345), "12.3");
    EXPECT_EQ(ChartNumber(0.6), ".6");
}
