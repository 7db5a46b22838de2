// The main window's SHADE: what it says without a run to shade, what it
// leaves behind (the counted rib marks, the unit light), and that the
// shading itself leaves the run and the model as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/main_window_logic.h"
#include "render/shading.h"
#include "session/log_sink.h"
#include "support/shading_test_shell.h"

using namespace ammonite;

TEST(ShadeCommand, BeforeAnyRunSaysSoAndDrawsNothing) {
    ModelState model;
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic logic(model, surface, log);
    logic.Load();
    logic.ClickShade();
    EXPECT_EQ(logic.statusLine.caption(), "Nothing to shade yet: press START first");
    EXPECT_TRUE(surface.ops.empty());
    EXPECT_EQ(model.lightVector.x.raw(), 10000);  // nothing was changed
}

TEST(ShadeCommand, LeavesGapCountsAndUnitLightBehind) {
    ModelState model;
    RecordingSurface surface(200, 200);
    MemoryLog log;
    MainWindowLogic logic(model, surface, log);
    logic.Load();
    testshell::DefaultSettings(model, logic.run, 4, 100, 100);
    testshell::LayRibs(logic.run, {3});
    testshell::Build(model, logic.run, {12, 1.02, 0.3, 0.4, 0.1});
    logic.ClickShade();
    EXPECT_EQ(logic.statusLine.caption(), "");
    EXPECT_EQ(model.lightVector.x.raw(), 7071);
    EXPECT_EQ(logic.run.ribMark[0], 1);
    EXPECT_EQ(logic.run.ribMark[12], -1);
    ASSERT_FALSE(surface.ops.empty());
    EXPECT_EQ(surface.ops.front().kind, RecordingSurface::Op::Clear);
    EXPECT_EQ(surface.drawWidth(), 1);

    // The shading itself reads the run and the model and leaves them as
    // they were; the command keeps only the counted marks and the unit light.
    auto before = std::make_unique<RunState>(logic.run);
    model.lightVector = {2, 0, 0};
    RecordingSurface again(200, 200);
    const ShadeOutcome outcome = ShadeRun(again, model, logic.run);
    EXPECT_EQ(outcome.unitLight.x.raw(), 10000);
    EXPECT_EQ(model.lightVector.x.raw(), 20000);
    EXPECT_EQ(std::memcmp(before->ribMark.data(), logic.run.ribMark.data(), sizeof(std::int16_t) * kStageRows), 0);
    EXPECT_EQ(std::memcmp(before->paintOrder.data(), logic.run.paintOrder.data(), sizeof(std::int16_t) * kStageRows), 0);
    EXPECT_EQ(before->sectionAngleStep, logic.run.sectionAngleStep);
    for (int i = 1; i <= 12; ++i) {
        StageTable<std::int16_t> order;
        BuildPaintOrder(order, logic.run.viewDepthByStage, 12);
        EXPECT_LE(logic.run.viewDepthByStage[order[i - 1]].raw(), logic.run.viewDepthByStage[order[i]].raw());
    }

    // Too many stages for the tables: an error, and nothing is rewritten.
    logic.TypeStages("4000");
    StageTable<std::int16_t> marks = logic.run.ribMark;
    logic.ClickShade();
    EXPECT_FALSE(logic.statusLine.caption().empty());
    for (int a = 0; a <= 20; ++a) EXPECT_EQ(logic.run.ribMark[a], marks[a]);
}

TEST(ShadedPicture, EmptyTablesDrawNothingWithoutFailing) {
    // A run that filled nothing (every radius 0): every quad has coinciding
    // corners and is skipped.
    ModelState model;
    RecordingSurface recording;
    MemoryLog log;
    MainWindowLogic logic(model, recording, log);
    logic.Load();
    logic.run.hasRun = true;
    logic.ClickShade();
    EXPECT_EQ(logic.statusLine.caption(), "");
    ASSERT_EQ(recording.ops.size(), 1u);
    EXPECT_EQ(recording.ops[0].kind, RecordingSurface::Op::Clear);

    RasterSurface raster(100, 80);
    ASSERT_NO_THROW(ShadeRun(raster, model, logic.run));
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(raster.pixel(x, y), 0xFFFFFFFFu);
}
