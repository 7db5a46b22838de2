// Every point of a sweep runs the window's START: a scale text that is not a
// number stops each point with the window's message.
#include <gtest/gtest.h>

#include "session/sweep.h"

using namespace ammonite;

TEST(SweepScaleText, EveryPointGivesTheWindowsMessage) {
    SessionOptions options;
    options.scaleText = "2x";
    SweepAxis axis;
    std::string error;
    ASSERT_TRUE(ParseSweepAxis("alpha=1.002:1.004:2", axis, error)) << error;
    SweepControl control;
    control.jobs = 2;
    SweepTiming timing;
    const std::vector<SweepRow> rows = RunSweep(options, {axis}, control, timing);
    ASSERT_EQ(rows.size(), 2u);
    for (const SweepRow& row : rows)
        EXPECT_EQ(row.error, "SCALE: \"2x\" is not a number (type a number such as 2)");
    EXPECT_NE(SweepCsvRow(rows[0]).find("\"SCALE: \"\"2x\"\" is not a number"), std::string::npos);
}
