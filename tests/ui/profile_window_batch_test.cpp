// A profile edited in the profile window's logic and saved with "D-save"
// gives the batch tool (run as a user would) the run the main window gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/main_window_logic.h"
#include "app/profile_window_logic.h"
#include "session/log_sink.h"
#include "support/batch_process.h"
#include "ui/scratch_dir.h"

using namespace ammonite;
namespace fs = std::filesystem;

TEST(ProfileWindowAndBatch, ProfileEditedInTheWindowGivesTheBatchTheSameRun) {
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    RasterSurface mainSurface(1000, 760);
    MemoryLog log;
    MainWindowLogic mainWindow(*model, mainSurface, log);
    mainWindow.Load();

    // The profile window: α one step up, a γ point inserted, a C point
    // dragged, and the set saved with "D-save".
    RasterSurface background(1001, 665), shown(1001, 665);
    ChartLayers layers(background, shown);
    ProfileWindowLogic chart(*model, layers);
    chart.Load();
    chart.TimerTick();
    chart.ClickAlpha();
    chart.MoveAlphaBar(22);
    chart.ClickProfileButton(ProfileWindowLogic::kGamma);
    chart.PressChart(21 + 60, 300);  // stage 120, γ 3.5
    chart.ReleaseChart(21 + 60, 300);
    chart.ClickProfileButton(ProfileWindowLogic::kCurvature);
    chart.PressChart(21 + 88.5, 400 - 186);  // the point (177, .93)
    chart.MoveChart(21 + 92, 400 - 150);     // to (184, .75)
    chart.ReleaseChart(21 + 92, 400 - 150);
    ASSERT_EQ(model->gammaProfile.count, 2);
    ASSERT_EQ(model->curvatureProfile.stages[4], 184);
    ASSERT_EQ(model->curvatureProfile.values[4], 0.75);
    chart.ClickSave();
    ASSERT_TRUE(fs::exists("ammonite/SAMPLE.txt")) << chart.statusLine.caption();

    // "OK", then START in the main window for 400 stages.
    mainWindow.TypeStages("400");
    mainWindow.ClickStart();
    ASSERT_EQ(mainWindow.statusLine.caption(), "");

    const batch_test::Result r = batch_test::runBatch({"--profiles", "ammonite/SAMPLE.txt", "--stages", "400"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto kv = batch_test::parseSummary(r.out);
    EXPECT_EQ(kv["shown_stage"], std::to_string(model->shownStage));
    EXPECT_EQ(kv["last_stage"], std::to_string(model->lastStage));
    EXPECT_EQ(kv["orientation_label"], mainWindow.ORIlbl.caption());
    EXPECT_EQ(kv["density_label"], mainWindow.DNSlbl.caption());
    EXPECT_EQ(kv["pt_ratio_text"], mainWindow.PTRtxt.text());
    EXPECT_EQ(kv["tangent_stage"], std::to_string(mainWindow.run.tangentStage));
    EXPECT_EQ(kv["segments"], std::to_string(mainWindow.run.segmentsDrawn));
    EXPECT_FALSE(mainWindow.ORIlbl.caption().empty());
}
