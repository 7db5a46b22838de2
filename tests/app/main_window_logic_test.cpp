#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_logic.h"

using namespace ammonite;

namespace {
struct Fixture {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RecordingSurface surface;
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic =
        std::make_unique<MainWindowLogic>(*model, surface, log);
};
}  // namespace

TEST(MainLoad, FillsTheDefaults) {
    Fixture f;
    f.logic->Load();
    ModelState& m = *f.model;
    EXPECT_EQ(m.shownStage, 1700);
    EXPECT_EQ(m.lastStage, 3000);
    EXPECT_DOUBLE_EQ(m.alpha, 1.005);
    EXPECT_FLOAT_EQ(m.growthIncrement, 0.05f);
    EXPECT_DOUBLE_EQ(m.densities[0], 0.6);
    EXPECT_DOUBLE_EQ(m.densities[1], 1.3);
    EXPECT_EQ(m.viewVector.y.raw(), 10000);
    EXPECT_EQ(m.lightVector.x.raw(), 10000);
    EXPECT_EQ(m.lightVector.z.raw(), 10000);
    EXPECT_DOUBLE_EQ(m.originX, 500);
    EXPECT_DOUBLE_EQ(m.originY, 650);
    EXPECT_DOUBLE_EQ(m.drawScale, 2);
    EXPECT_EQ(m.ribbingOn, 1);
    EXPECT_EQ(m.orientationMode, 2);
    EXPECT_DOUBLE_EQ(m.orientationCos, 1);
    EXPECT_EQ(m.curvatureProfile.count, 7);
    EXPECT_DOUBLE_EQ(m.curvatureProfile.values[4], 0.93);
    EXPECT_EQ(f.logic->run.sectionAngleStep, 4);
    EXPECT_DOUBLE_EQ(f.logic->run.sizeLow, 2);
    EXPECT_DOUBLE_EQ(f.logic->run.sizeHigh, 3);
    EXPECT_DOUBLE_EQ(f.logic->run.ribSpacingFactor, 0.3);
    EXPECT_EQ(f.logic->ST1lbl.caption(), "2");
    EXPECT_EQ(f.logic->ST2lbl.caption(), "3");
    EXPECT_EQ(f.logic->FT1lbl.caption(), "0");
    // NUMtxt shows 1700 only after the first run.
    EXPECT_EQ(f.logic->NUMtxt.text(), "0");
}

TEST(MainLoad, KeepsEverythingOnceTheProfileWindowWasOpened) {
    Fixture f;
    f.model->profileWindowOpened = 1;
    f.model->gammaProfile.count = 3;
    f.model->shownStage = 77;
    f.logic->Load();
    EXPECT_EQ(f.model->gammaProfile.count, 3);
    EXPECT_EQ(f.model->shownStage, 77);
    EXPECT_DOUBLE_EQ(f.model->alpha, 0);
}

TEST(StartCommand, ClampsTheStageCount) {
    Fixture f;
    f.logic->Load();
    // 0 or a negative count builds one stage; the run then shows one less.
    f.logic->TypeStages("10");
    f.logic->TypeStages("0");
    f.logic->ClickStart();
    EXPECT_EQ(f.logic->run.segmentsDrawn, 36);
    EXPECT_EQ(f.logic->NUMtxt.text(), "0");
    f.logic->TypeStages("-20");
    f.logic->ClickStart();
    EXPECT_EQ(f.logic->run.segmentsDrawn, 36);
    f.logic->TypeStages("5000");
    f.logic->ClickStart();
    EXPECT_EQ(f.logic->MAXtxt.text(), "3000");
    EXPECT_LE(f.model->shownStage, 3000);
}

TEST(StartCommand, StageTextOverflowKeepsTheOldCount) {
    Fixture f;
    f.logic->Load();
    f.logic->TypeStages("40000");
    EXPECT_EQ(f.model->shownStage, 1700);
    EXPECT_FALSE(f.logic->statusLine.caption().empty());
    // The next successful action replaces the stale message.
    f.logic->TypeStages("400");
    EXPECT_EQ(f.model->shownStage, 400);
    EXPECT_TRUE(f.logic->statusLine.caption().empty());
}

TEST(StartCommand, ValuesBeyondABoxNameTheBoxAndTheRange) {
    Fixture f;
    f.logic->Load();
    const std::pair<const char*, const char*> stages[] = {
        {"1e9", "STAGE: 1e9 is too large (at most 32767)"},
        {"32767.5", "STAGE: 32767.5 is too large (at most 32767)"},  // rounds to 32768
        {" -40000 ", "STAGE: -40000 is too small (at least -32768)"},
        {"1e400", "STAGE: 1e400 is too large (at most 32767)"},
        {"-1e400", "STAGE: -1e400 is too small (at least -32768)"},
    };
    for (const auto& [typed, message] : stages) {
        f.logic->TypeStages(typed);
        EXPECT_EQ(f.logic->statusLine.caption(), message);
        EXPECT_EQ(f.model->shownStage, 1700) << typed;
    }
    f.logic->TypeStages("-32768");
    EXPECT_EQ(f.model->shownStage, -32768);
    EXPECT_EQ(f.logic->statusLine.caption(), "");

    f.logic->TypeScale("1e300");
    EXPECT_EQ(f.logic->statusLine.caption(), "SCALE: 1e300 is too large (at most 922337203685477)");
    EXPECT_DOUBLE_EQ(f.model->drawScale, 2);
    f.logic->TypeScale("-1e15x");
    EXPECT_EQ(f.logic->statusLine.caption(), "SCALE: -1e15x is too small (at least -922337203685477)");
    EXPECT_DOUBLE_EQ(f.model->drawScale, 2);
}

TEST(StartCommand, BadScaleStopsAfterStepSix) {
    Fixture f;
    f.logic->Load();
    f.logic->TypeStages("5000");
    f.logic->TypeScale("abc");
    EXPECT_DOUBLE_EQ(f.model->drawScale, 0);  // the change handler reads 0
    f.logic->ClickStart();
    // The message names the box in the user's words.
    EXPECT_EQ(f.logic->statusLine.caption(), "SCALE: \"abc\" is not a number (type a number such as 2)");
    EXPECT_EQ(f.logic->MAXtxt.text(), "3000");  // step 6 took effect
    // The surface was not cleared: the run stopped before step 9.
    for (auto& op : f.surface.ops) EXPECT_NE(op.kind, RecordingSurface::Op::Clear);
    // A later START with a good scale works.
    f.logic->TypeScale("3");
    f.logic->ClickStart();
    EXPECT_TRUE(f.logic->statusLine.caption().empty());
    EXPECT_DOUBLE_EQ(f.model->drawScale, 3);
}

TEST(StartCommand, ViewPairsFromTheViewVector) {
    Fixture f;
    f.logic->Load();
    f.logic->ClickStart();
    const ViewPairs& v = f.logic->run.view;
    EXPECT_DOUBLE_EQ(v.azimuthCos, -1);
    EXPECT_DOUBLE_EQ(v.azimuthSin, 0);
    EXPECT_DOUBLE_EQ(v.elevationCos, 0);
    EXPECT_DOUBLE_EQ(v.elevationSin, -1);
    f.model->viewVector = {0, 0, 0};
    f.logic->ClickStart();
    EXPECT_DOUBLE_EQ(f.logic->run.view.azimuthCos, 1);
    EXPECT_DOUBLE_EQ(f.logic->run.view.elevationCos, 1);
    EXPECT_DOUBLE_EQ(f.logic->run.view.azimuthSin, 0);
    EXPECT_DOUBLE_EQ(f.logic->run.view.elevationSin, 0);
    f.model->viewVector = {0, 0, 1};
    f.logic->ClickStart();
    EXPECT_DOUBLE_EQ(f.logic->run.view.azimuthCos, 1);
    EXPECT_DOUBLE_EQ(f.logic->run.view.elevationCos, 1);
    EXPECT_DOUBLE_EQ(f.logic->run.view.elevationSin, 0);
}

TEST(StartCommand, DrawsTheAxesWithTheDefaultView) {
    Fixture f;
    f.logic->Load();
    f.logic->ClickStart();
    std::vector<RecordingSurface::Op> lines, texts;
    for (auto& op : f.surface.ops) {
        if (op.kind == RecordingSurface::Op::Line) lines.push_back(op);
        if (op.kind == RecordingSurface::Op::Text) texts.push_back(op);
    }
    ASSERT_GE(lines.size(), 3u);
    ASSERT_GE(texts.size(), 3u);
    // x axis runs from right to left: its positive end is at the left.
    EXPECT_DOUBLE_EQ(lines[0].x1, 540);
    EXPECT_DOUBLE_EQ(lines[0].x2, 460);
    EXPECT_DOUBLE_EQ(lines[0].y1, 650);
    EXPECT_EQ(lines[0].colour, Rgb(128, 0, 0));
    EXPECT_EQ(texts[0].text, "X");
    EXPECT_DOUBLE_EQ(texts[0].x1, 460);
    // y axis collapses to the origin.
    EXPECT_DOUBLE_EQ(lines[1].x1, 500);
    EXPECT_DOUBLE_EQ(lines[1].x2, 500);
    EXPECT_DOUBLE_EQ(lines[1].y2, 650);
    EXPECT_EQ(texts[1].text, "Y");
    EXPECT_DOUBLE_EQ(texts[1].x1, 500);
    EXPECT_DOUBLE_EQ(texts[1].y1, 650);
    // z axis points up, 80 units long with scale 2.
    EXPECT_DOUBLE_EQ(lines[2].y1, 690);
    EXPECT_DOUBLE_EQ(lines[2].y2, 610);
    EXPECT_EQ(lines[2].colour, Rgb(128, 128, 0));
    EXPECT_EQ(texts[2].text, "Z");
}
