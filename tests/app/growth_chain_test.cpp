// Two STARTs in the main window are two growth calls chained by their
// carry-over: the second call grows from the stage count, α and view the
// first left and from what it handed on, and nothing else.
#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_logic.h"
#include "model/growth_run.h"
#include "session/regulation_log.h"
#include "support/run_results.h"

using namespace ammonite;

TEST(GrowthChain, TwoStartsInTheWindowAreTwoChainedGrowthCalls) {
    struct Case {
        const char* name;
        const char* stages;
        bool lifeOrientation;
    };
    const Case cases[] = {{"default", "1700", true}, {"orientation off, 700 stages", "700", false}};
    for (const Case& c : cases) {
        auto model = std::make_unique<ModelState>();
        RecordingSurface surface;
        MemoryLog log;
        auto window = std::make_unique<MainWindowLogic>(*model, surface, log);
        window->Load();
        model->orientationMode = c.lifeOrientation ? 2 : 0;
        window->TypeStages(c.stages);
        window->MoveBar(window->FT2vsc, -30);
        const GrowthInputs first = GrowthInputsOf(*model, window->run);
        const GrowthCarry carry = GrowthCarryOf(*model, window->run);
        window->ClickStart();
        window->ClickStart();
        ASSERT_EQ(window->statusLine.caption(), "") << c.name;

        auto results = std::make_unique<RunState>();
        MemoryLog chainedLog;
        RegulationLogWriter writer(chainedLog);
        const GrowthOutcome one = Grow(first, carry, *results, &writer);
        ASSERT_FALSE(one.error) << c.name;
        WriteRunReport(results->report, *results, one);
        chainedLog.clear();  // START clears the log
        const GrowthInputs second = NextGrowthInputs(first, one);
        const GrowthOutcome two = Grow(second, one.next, *results, &writer);
        ASSERT_FALSE(two.error) << c.name;
        WriteRunReport(results->report, *results, two);
        auto chained = std::make_unique<ModelState>(*model);
        ApplyGrowthOutcome(*chained, *results, one);
        ApplyGrowthOutcome(*chained, *results, two);

        EXPECT_EQ(test_support::ResultsText(*chained, *results), test_support::ResultsText(*model, window->run))
            << c.name;
        EXPECT_EQ(chainedLog.lines, log.lines) << c.name;
        EXPECT_EQ(window->ORIlbl.caption(), results->report.orientationLabel) << c.name;
        EXPECT_EQ(window->PTRtxt.text(), results->report.ptRatioText) << c.name;
        // The window's model is where the carry-over put it.
        EXPECT_EQ(model->alpha, two.alpha) << c.name;
        EXPECT_EQ(model->shownStage, two.shownStage) << c.name;
        EXPECT_EQ(model->orientationSin, two.next.orientationSin) << c.name;
        EXPECT_EQ(model->viewVector.x.raw(), two.viewVector.x.raw()) << c.name;
        EXPECT_EQ(window->run.pendingRibs, two.next.pendingRibs) << c.name;
    }
}
