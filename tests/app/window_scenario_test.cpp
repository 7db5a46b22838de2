// A scenario opened in the main window grows the shell every other way of
// growing it gives, whatever the window grew before; the window knows which
// scenario its shell comes from.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "session/log_sink.h"
#include "session/scenario_session.h"
#include "session/session_results.h"
#include "app/window_scenario.h"
#include "model/scenario_file.h"
#include "model/stage_results.h"

using namespace ammonite;

namespace ammonite {
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << "\n" << ScenarioToml(s); }
}  // namespace ammonite

namespace {

struct ScenarioWindow {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RasterSurface surface{1000, 760};
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic = std::make_unique<MainWindowLogic>(*model, surface, log);
    WindowScenario scenario{*logic};
    ScenarioWindow() { logic->Load(); }

    void start() {
        scenario.startPressed();
        logic->ClickStart();
        scenario.startFinished();
    }
    std::string results() const {
        std::ostringstream out;
        WriteRunSummary(out, *model, logic->run);
        WriteStageTables(out, *model, logic->run, logic->run.lastBuiltStage);
        return out.str();
    }
};

std::string sessionResults(const Scenario& s) { return ScenarioResultsText(s); }

Scenario hamitesLike() {
    Scenario s;
    s.name = "paper clip";
    s.finalStage = 300;
    s.gamma = {{0, 4}};
    s.curvature = {{0, 0}, {60, 0}, {61, 0.935}, {74, 0.935}, {75, 0}, {300, 0}};
    s.torsion = {{0, 0}};
    s.beta = {{0, 12}};
    s.stages = 300;
    s.runs = 2;
    s.scale = 10;
    s.origin = {500, 680};
    s.densityBody = 1.4;
    s.st2 = 350;
    s.ft1 = -10;
    return s;
}

}  // namespace

TEST(WindowScenario, OpenedAfterOtherWorkItGrowsWhatEveryOtherWayGrows) {
    ScenarioWindow w;
    w.start();  // the default shell, twice, and a moved bar
    w.start();
    w.logic->MoveBar(w.logic->FT2vsc, -40);
    w.start();
    const Scenario s = hamitesLike();
    w.scenario.open(s);
    EXPECT_EQ(w.logic->statusLine.caption(), "");
    EXPECT_EQ(w.results(), sessionResults(s));
    EXPECT_EQ(w.logic->ST2hsc.value(), 350);

    // The window says which scenario its shell is, and nothing was edited.
    Scenario now;
    std::string error;
    ASSERT_TRUE(w.scenario.current(now, error)) << error;
    EXPECT_EQ(now.runs, 2);
    EXPECT_EQ(now.name, "paper clip");
    EXPECT_EQ(sessionResults(now), sessionResults(s));
    EXPECT_FALSE(w.scenario.edited());

    // One more START on the same inputs: three STARTs of that scenario.
    w.start();
    ASSERT_TRUE(w.scenario.current(now, error)) << error;
    EXPECT_EQ(now.runs, 3);
    EXPECT_EQ(w.results(), sessionResults(now));

    // An edited input starts a scenario of its own.
    w.model->densities[0] = 0.5;
    EXPECT_TRUE(w.scenario.edited());
    ASSERT_TRUE(w.scenario.current(now, error)) << error;
    EXPECT_EQ(now.runs, 1);
    EXPECT_EQ(now.densityAir, 0.5);
    w.scenario.saved(now);
    EXPECT_FALSE(w.scenario.edited());
}

TEST(WindowScenario, AFreshWindowIsTheDefaultScenario) {
    ScenarioWindow w;
    Scenario now;
    std::string error;
    ASSERT_TRUE(w.scenario.current(now, error)) << error;
    EXPECT_EQ(now, Scenario{});
    EXPECT_FALSE(w.scenario.edited());
    w.start();
    EXPECT_EQ(w.results(), sessionResults(Scenario{}));
    ASSERT_TRUE(w.scenario.current(now, error)) << error;
    EXPECT_EQ(now, Scenario{});  // the life view the run left is the model's, not an edit
    EXPECT_FALSE(w.scenario.edited());
}
