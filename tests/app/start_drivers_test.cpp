// The window's START and the headless session are one path: two STARTs in the
// window leave the same tables, summary and log as a session of two runs,
// and as two presses chained by hand through the model and run they carry.
#include <gtest/gtest.h>

#include <sstream>

#include "app/main_window_logic.h"
#include "model/stage_results.h"
#include "session/session.h"
#include "session/start_rules.h"

using namespace ammonite;

namespace {

std::string Results(const ModelState& model, const RunState& run) {
    std::ostringstream out;
    WriteStageTables(out, model, run, run.lastBuiltStage);
    WriteRunSummary(out, model, run);
    return out.str();
}

}  // namespace

TEST(StartDrivers, WindowSessionAndChainedPressesAgree) {
    ModelState model;
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic window(model, surface, log);
    window.Load();
    window.TypeStages("900");
    window.MoveBar(window.FT2vsc, -30);
    window.ClickStart();
    window.ClickStart();
    ASSERT_TRUE(window.statusLine.caption().empty()) << window.statusLine.caption();

    SessionOptions options;
    options.stagesText = "900";
    options.thresholds = std::array<int, 4>{200, 300, 0, -30};
    options.runs = 2;
    Session session;
    std::string error;
    ASSERT_TRUE(PerformSession(options, session, {}, error)) << error;
    EXPECT_TRUE(session.runtimeError.empty()) << session.runtimeError;
    EXPECT_EQ(Results(*session.model, *session.run), Results(model, window.run));
    EXPECT_EQ(session.log, log.lines);

    // The second press starts from what the first one left in the model and run.
    ModelState chained;
    RunState run;
    ThresholdBars bars;
    bars.ft2 = -30;
    LoadWindowModel(chained, run, "2", bars);
    ReadStageBox(chained, "900");
    PressStart(chained, run, "2");
    PressStart(chained, run, "2");
    EXPECT_EQ(Results(chained, run), Results(model, window.run));
}
