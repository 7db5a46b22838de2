// The values of sweep axes and of grid points, checked in the sweep's own
// terms: ends included, even spacing, whole-number inputs rounded to the
// nearest, the first axis outermost; and a point runs with its own values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "session/sweep.h"

using namespace ammonite;

namespace {

SweepAxis axis(const std::string& text) {
    SweepAxis a;
    std::string error;
    EXPECT_TRUE(ParseSweepAxis(text, a, error)) << text << ": " << error;
    return a;
}

std::vector<double> valuesOf(const SweepAxis& a) {
    std::vector<double> out;
    for (int i = 0; i < a.steps; ++i) out.push_back(a.valueAt(i));
    return out;
}

}  // namespace

TEST(SweepAxisValues, EndsAreIncludedAndTheStepsEven) {
    const SweepAxis alpha = axis("alpha=1.001:1.01:4");
    EXPECT_EQ(alpha.from, 1.001);
    EXPECT_EQ(alpha.to, 1.01);
    ASSERT_EQ(alpha.steps, 4);
    const std::vector<double> v = valuesOf(alpha);
    EXPECT_EQ(v.front(), 1.001);
    EXPECT_EQ(v.back(), 1.01);
    for (size_t i = 1; i < v.size(); ++i) EXPECT_NEAR(v[i] - v[i - 1], 0.003, 1e-12) << i;

    // Downwards, and through zero.
    EXPECT_EQ(valuesOf(axis("ft1=0:-80:5")), (std::vector<double>{0, -20, -40, -60, -80}));
    EXPECT_EQ(valuesOf(axis("gamma=-2:2:5")), (std::vector<double>{-2, -1, 0, 1, 2}));
    // One step is the starting value alone.
    EXPECT_EQ(valuesOf(axis("density_body=1.3:2:1")), (std::vector<double>{1.3}));
}

TEST(SweepAxisValues, WholeNumberInputsRoundToTheNearest) {
    // 10, 13.33, 16.67, 20: rounding down would give 16, rounding up 14.
    EXPECT_EQ(valuesOf(axis("stages=10:20:4")), (std::vector<double>{10, 13, 17, 20}));
    EXPECT_EQ(valuesOf(axis("st1=0:1000:7")), (std::vector<double>{0, 167, 333, 500, 667, 833, 1000}));
    // A number input is not rounded.
    EXPECT_EQ(valuesOf(axis("beta=10:11:3"))[1], 10.5);
}

TEST(SweepAxisValues, GridPointsRunTheFirstAxisOutermostAndTheLastFastest) {
    const std::vector<SweepAxis> axes = {axis("stages=10:30:3"), axis("density_body=1:2:2")};
    EXPECT_EQ(SweepPointCount(axes), 6);
    const std::vector<std::vector<double>> expected = {{10, 1}, {10, 2}, {20, 1}, {20, 2}, {30, 1}, {30, 2}};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(SweepPointValues(axes, i), expected[i]) << i;

    // A point runs with its own values: its stage count is the one it names.
    SessionOptions options;
    for (size_t i : {size_t(0), size_t(3), size_t(4)}) {
        const SweepRow row = RunSweepPoint(options, axes, i);
        EXPECT_EQ(row.values, expected[i]) << i;
        ASSERT_TRUE(row.error.empty()) << row.error;
        EXPECT_EQ(row.shownStage, static_cast<int>(expected[i][0]) - 1) << i;
    }
}
