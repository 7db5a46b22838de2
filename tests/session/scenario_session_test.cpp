// Growing a scenario: a fresh start every time, so what was grown before in
// the same process never changes the result.
#include <gtest/gtest.h>

#include <sstream>

#include "session/scenario_session.h"
#include "session/sweep.h"
#include "model/scenario_file.h"
#include "model/stage_results.h"
#include "session_results.h"

using namespace ammonite;

namespace ammonite {
// A scenario in a failure message: its file text.
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << "\n" << ScenarioToml(s); }
}  // namespace ammonite

namespace {


Scenario other() {
    Scenario s;
    s.alpha = 1.01;
    s.finalStage = 400;
    s.gamma = {{0, 6}};
    s.curvature = {{0, 0.3}};
    s.torsion = {{0, 0.1}};
    s.beta = {{0, 10}};
    s.stages = 400;
    s.runs = 3;
    s.densityBody = 1.5;
    s.orientation = false;
    return s;
}

}  // namespace

TEST(ScenarioSession, WhatRanBeforeNeverChangesTheResult) {
    Session fresh;
    GrowScenario(Scenario{}, fresh);
    ASSERT_EQ(fresh.runtimeError, "");
    const std::string expected = SessionResultsText(fresh);

    // The same session after another form and after many STARTs of the default.
    Session used;
    GrowScenario(other(), used);
    Scenario tenStarts;
    tenStarts.runs = 10;
    GrowScenario(tenStarts, used);
    EXPECT_NE(SessionResultsText(used), expected);  // ten STARTs carry over, as the model does
    GrowScenario(Scenario{}, used);
    EXPECT_EQ(SessionResultsText(used), expected);

    // The default scenario is what a session with no options grows.
    Session plain;
    std::string error;
    ASSERT_TRUE(PerformSession(SessionOptions{}, plain, {}, error));
    EXPECT_EQ(SessionResultsText(plain), expected);
}

TEST(ScenarioSession, OptionsAndScenariosDescribeEachOther) {
    Scenario back;
    std::string error;
    ASSERT_TRUE(ScenarioOfOptions(SessionOptionsFor(Scenario{}), back, error)) << error;
    EXPECT_EQ(back, Scenario{});
    // A one-point profile comes back as the constant it stands for.
    ASSERT_TRUE(ScenarioOfOptions(SessionOptionsFor(other()), back, error)) << error;
    EXPECT_EQ(back.curvature, (std::vector<ScenarioPoint>{{0, 0.3}, {400, 0.3}}));
    Scenario again;
    ASSERT_TRUE(ScenarioOfOptions(SessionOptionsFor(back), again, error)) << error;
    EXPECT_EQ(again, back);
    back.curvature = other().curvature;
    back.gamma = other().gamma;
    back.torsion = other().torsion;
    back.beta = other().beta;
    EXPECT_EQ(back, other());
    // Typed texts are read as the boxes read them; START's clamp is kept.
    SessionOptions typed;
    typed.stagesText = "12abc";
    typed.scaleText = "2.5x";
    Scenario s;
    ASSERT_TRUE(ScenarioOfOptions(typed, s, error)) << error;
    EXPECT_EQ(s.stages, 12);
    EXPECT_EQ(s.scale, 2.5);
    typed.stagesText = "-7";
    ASSERT_TRUE(ScenarioOfOptions(typed, s, error)) << error;
    EXPECT_EQ(s.stages, 1);
}

TEST(ScenarioSession, ASweepPointIsTheScenarioWithTheRowsValues) {
    // A swept α is set again before every START; with one START that is the scenario's α.
    Scenario base = other();
    base.runs = 1;
    SweepAxis alpha, st1;
    std::string error;
    ASSERT_TRUE(SweepAxisNamed("alpha", alpha, error));
    ASSERT_TRUE(SweepAxisNamed("st1", st1, error));
    const SweepRow row = RunSweepValues(SessionOptionsFor(base), {alpha, st1}, {1.004, 250});
    Scenario point = base;
    point.alpha = 1.004;
    point.st1 = 250;
    Session session;
    GrowScenario(point, session);
    EXPECT_EQ(row.shownStage, session.model->shownStage);
    EXPECT_EQ(row.meanDensity, session.run->meanDensity);
    EXPECT_EQ(row.stabilityIndex, session.run->stabilityIndex);
}
