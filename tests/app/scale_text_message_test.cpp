// The window's START refuses a scale text that is not a number with the
// message every other driver gives for it.
#include <gtest/gtest.h>

#include "app/main_window_logic.h"

using namespace ammonite;

TEST(ScaleText, StartNamesTheBoxAndGivesAnExample) {
    ModelState model;
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic logic(model, surface, log);
    logic.Load();
    logic.TypeScale("2x");
    EXPECT_TRUE(logic.statusLine.caption().empty());  // the box itself reads the leading 2
    logic.ClickStart();
    EXPECT_EQ(logic.statusLine.caption(), "SCALE: \"2x\" is not a number (type a number such as 2)");
    // The run stopped before its first stage and the window stays usable.
    EXPECT_FALSE(logic.run.hasRun);
    logic.TypeScale("2");
    logic.ClickStart();
    EXPECT_TRUE(logic.statusLine.caption().empty());
    EXPECT_TRUE(logic.run.hasRun);
}
