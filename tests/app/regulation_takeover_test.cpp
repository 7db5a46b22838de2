// The stage at which the regulation takes over from the profile tables, seen
// in the growth run itself: stages up to 200 take their γ from the tables,
// stage 201 and later from the regulation. Runs ending on either side of the
// hand-over show a takeover moved by one stage either way.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/window_fixture.h"

using namespace ammonite;
using growth_test::Window;

TEST(RegulationTakeover, Stage200ComesFromTheTablesAndStage201FromTheRegulation) {
    // A γ of 7 in the tables; the regulation never chooses 7 (4.5 for an
    // upright shell), so each stage shows where its γ came from.
    constexpr int kTableGamma = 7;
    for (const char* stages : {"199", "200", "201", "202", "203"}) {
        Window w;
        w.flatProfiles(kTableGamma, 0, 0, 12);
        w.model->orientationMode = 0;
        w.logic->TypeStages(stages);
        w.logic->ClickStart();
        ASSERT_EQ(w.logic->statusLine.caption(), "") << stages;
        const long last = w.run.lastBuiltStage;
        ASSERT_GE(last, 199) << stages;
        for (long s = 1; s <= last; ++s) {
            const bool fromTables = w.model->gammaByStage[s].raw() == Fixed4(kTableGamma).raw();
            EXPECT_EQ(fromTables, s <= 200) << "stage " << s << " of a run to " << stages;
        }
        // The regulation's own state starts with its first stage, not before.
        EXPECT_EQ(w.run.regulationStarted, last > 200 ? 1 : 0) << stages;
        EXPECT_EQ(w.model->regulatedGrowth, last > 200 ? 1 : 0) << stages;
        const auto lines = w.logLines();
        const bool clocksLogged = std::find(lines.begin(), lines.end(), "疲労　定刻　肋") != lines.end();
        EXPECT_EQ(clocksLogged, last > 200) << stages;
    }
}
