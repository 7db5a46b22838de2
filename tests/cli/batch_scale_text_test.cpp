// The batch tool refuses a scale text that is not a number at START with the
// main window's message, and still writes what it was asked for.
#include <gtest/gtest.h>

#include "support/batch_process.h"

TEST(BatchScaleText, StartGivesTheWindowsMessage) {
    const batch_test::Result r = batch_test::runBatch({"--scale", "2x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ammonite-batch: SCALE: \"2x\" is not a number (type a number such as 2)\n");
    EXPECT_NE(r.out.find("shown_stage="), std::string::npos);
}
