// The growth call is a function of its inputs: growing the same inputs twice
// leaves the inputs as they were and gives equal results, also for a run that
// stops on an error; and the carry-over is all one run hands the next.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "model/growth.h"
#include "model/growth_run.h"
#include "support/growth_recorder.h"
#include "support/run_results.h"

using namespace ammonite;
using test_support::GrowthRecorder;

namespace {

// The inputs of a fresh main window, changed as `edit` says.
GrowthInputs WindowInputs(const std::function<void(ModelState&, RunState&)>& edit = {}) {
    ModelState model;
    RunState run;
    LoadModelDefaults(model, run);
    ResetRegulation(model, run, ThresholdBars{});
    if (edit) edit(model, run);
    return GrowthInputsOf(model, run);
}

struct Grown {
    RunState run;
    GrowthOutcome outcome;
    GrowthRecorder events;
    std::string text;  // tables, summary and outcome
};

void GrowInto(const GrowthInputs& in, const GrowthCarry& carry, Grown& g) {
    g.outcome = Grow(in, carry, g.run, &g.events);
    WriteRunReport(g.run.report, g.run, g.outcome);
    ModelState shown;
    ApplyGrowthOutcome(shown, g.run, g.outcome);
    g.text = test_support::ResultsText(shown, g.run) + test_support::OutcomeText(g.outcome);
}

void flat(ParameterProfile& p, double v) {
    p.count = 1;
    p.setPoint(0, 0, v);
    p.setPoint(1, 3000, v);
}

}  // namespace

TEST(GrowthCall, SameInputsTwiceGiveEqualResultsAndStayUnchanged) {
    struct Case {
        const char* name;
        std::function<void(ModelState&, RunState&)> edit;
        GrowthCarry carry;
        bool stops;  // the run ends on a runtime error
    };
    GrowthCarry leaning;
    leaning.orientationAngle = 55;  // tilted up: the regulation grows slender
    leaning.pendingRibs = 2;
    leaning.ribCountdown = 3;
    leaning.orientationSin = 0.6;
    leaning.orientationCos = 0.8;
    leaning.orientationShiftX = 4;
    const Case cases[] = {
        {"default shell", {}, {}, false},
        {"carried over", {}, leaning, false},
        {"orientation off, other densities and view",
         [](ModelState& m, RunState&) {
             m.orientationMode = 0;
             m.densities = {0.7, 1.2};
             m.viewVector = {1, 1, 1};
         },
         {},
         false},
        {"thresholds moved, 900 stages",
         [](ModelState& m, RunState& r) {
             m.shownStage = 900;
             SetSizeLow(r, 100);
             SetFatigueAtSizeHigh(r, 40);
         },
         {},
         false},
        {"β drops to 0 at stage 400",
         [](ModelState& m, RunState&) {
             ParameterProfile& beta = m.betaProfile;
             beta.count = 3;
             beta.setPoint(0, 0, 12);
             beta.setPoint(1, 399, 12);
             beta.setPoint(2, 400, 0);
             beta.setPoint(3, 3000, 0);
         },
         {},
         true},
        {"γ = 1 stops the regulation chart",
         [](ModelState& m, RunState&) {
             flat(m.gammaProfile, 1);
             m.shownStage = 150;
         },
         {},
         true},
        {"a profile value too large for its table",
         [](ModelState& m, RunState&) { m.gammaProfile.setPoint(1, 3000, 1e20); },
         {},
         true},
    };
    for (const Case& c : cases) {
        const GrowthInputs inputs = WindowInputs(c.edit);
        const GrowthInputs inputsBefore = inputs;
        const GrowthCarry carryBefore = c.carry;
        auto firstRun = std::make_unique<Grown>(), secondRun = std::make_unique<Grown>();
        Grown &first = *firstRun, &second = *secondRun;
        GrowInto(inputs, c.carry, first);
        GrowInto(inputs, c.carry, second);
        EXPECT_TRUE(inputs == inputsBefore) << c.name;
        EXPECT_TRUE(c.carry == carryBefore) << c.name;
        EXPECT_EQ(first.outcome.error.has_value(), c.stops) << c.name << ": " << test_support::OutcomeText(first.outcome);
        EXPECT_EQ(first.text, second.text) << c.name;
        EXPECT_EQ(first.events.clocks, second.events.clocks) << c.name;
        EXPECT_TRUE(first.events.steps == second.events.steps) << c.name;
        EXPECT_TRUE(test_support::SamePoints(first.events.ringPoints, second.events.ringPoints)) << c.name;
    }
}

// A run's carry-over differs from a fresh start's, and growing from it gives
// what growing with the state the run left gives: nothing else is carried.
TEST(GrowthCall, TheCarryOverIsWhatTheNextRunDependsOn) {
    const GrowthInputs first = WindowInputs();
    auto aRun = std::make_unique<Grown>();
    Grown& a = *aRun;
    GrowInto(first, GrowthCarry{}, a);
    ASSERT_FALSE(a.outcome.error) << a.outcome.error->what();
    EXPECT_FALSE(a.outcome.next == GrowthCarry{});
    EXPECT_EQ(a.outcome.alpha, 1.005);            // the regulation's own α
    EXPECT_EQ(a.outcome.shownStage, 1699);        // START shows one stage fewer

    // The second run, in a results buffer that held the first run and in a
    // fresh one: the same shell.
    const GrowthInputs second = NextGrowthInputs(first, a.outcome);
    auto againRun = std::make_unique<Grown>(a), freshRun = std::make_unique<Grown>();
    Grown &again = *againRun, &fresh = *freshRun;
    GrowInto(second, a.outcome.next, again);
    GrowInto(second, a.outcome.next, fresh);
    EXPECT_EQ(again.text, fresh.text);
    // ... and not the first run's shell.
    EXPECT_NE(fresh.text, a.text);
}

// A run that stops part-way says how far it got, and its carry-over holds
// what was reached before the error.
TEST(GrowthCall, AStoppedRunSaysHowFarItGot) {
    const GrowthInputs inputs = WindowInputs([](ModelState& m, RunState&) {
        ParameterProfile& beta = m.betaProfile;
        beta.count = 3;
        beta.setPoint(0, 0, 12);
        beta.setPoint(1, 299, 12);
        beta.setPoint(2, 300, 0);
        beta.setPoint(3, 3000, 0);
    });
    auto grown = std::make_unique<Grown>();
    Grown& g = *grown;
    GrowInto(inputs, GrowthCarry{}, g);
    ASSERT_TRUE(g.outcome.error);
    EXPECT_TRUE(g.outcome.tablesBuilt);
    EXPECT_TRUE(g.outcome.growthBegan);
    EXPECT_FALSE(g.outcome.stagesGrown);
    EXPECT_FALSE(g.outcome.markersReady);
    EXPECT_EQ(g.run.lastBuiltStage, 299);
    EXPECT_FALSE(g.run.hasRun);
    EXPECT_EQ(g.outcome.alpha, 1.005);  // the regulation took over before the error
    EXPECT_EQ(g.outcome.shownStage, 1700);
    EXPECT_EQ(g.outcome.next.orientationAngle, g.run.orientationAngle);
}

// The report's texts come from the numbers a run leaves, as far as it got: a
// run stopped in its stages shows only the orientation, and the texts it did
// not reach keep the last run's.
TEST(GrowthCall, TheReportIsWrittenAsFarAsTheRunGot) {
    auto grown = std::make_unique<Grown>();
    GrowInto(WindowInputs(), GrowthCarry{}, *grown);
    const RunReport full = grown->run.report;
    EXPECT_EQ(full.orientationLabel, OrientationLabel(grown->run.orientationAngle));
    EXPECT_EQ(full.densityLabel, formatNumber(std::floor(1000 * grown->run.meanDensity) / 1000));
    EXPECT_EQ(full.stabilityLabel, formatDecimals(grown->run.stabilityIndex, 3));
    EXPECT_EQ(full.ptRatioText, formatNumber(std::floor(1000 * grown->run.ptRatio) / 10));

    GrowthOutcome stopped = grown->outcome;
    stopped.stagesGrown = stopped.markersReady = false;
    stopped.lastStageAngle = 12.34f;
    RunReport report = full;
    WriteRunReport(report, grown->run, stopped);
    EXPECT_EQ(report.orientationLabel, formatSingle(12.34f));
    EXPECT_EQ(report.densityLabel, full.densityLabel);
    EXPECT_EQ(report.ptRatioText, full.ptRatioText);

    stopped.growthBegan = false;  // stopped before its first stage: nothing changes
    RunReport untouched;
    WriteRunReport(untouched, grown->run, stopped);
    EXPECT_EQ(untouched.orientationLabel, "");
    EXPECT_EQ(untouched.ptRatioText, "60");
}
