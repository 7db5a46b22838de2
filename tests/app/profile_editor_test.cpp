#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "model/profile_file.h"
#include "app/profile_window_logic.h"

using namespace ammonite;
namespace fs = std::filesystem;
using W = ProfileWindowLogic;

namespace {

// The profile window's logic on two plain rasters, loaded inside a scratch
// folder that becomes the current directory for the test.
class Chart : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("ammonite-editor-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
        setenv("AMMONITE_GALLERY", "/nonexistent/ammonite-gallery", 1);
        model = std::make_unique<ModelState>();
        model->setDefaultProfiles();
        model->alpha = 1.005;
        model->stageRange = {0, 3000};
        model->lastStage = 3000;
        model->shownStage = 1700;
        logic = std::make_unique<W>(*model, layers);
        logic->Load();
        logic->TimerTick();
    }
    void TearDown() override {
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void click(double x, double y) {
        logic->PressChart(x, y);
        logic->ReleaseChart(x, y);
    }
    void drag(double x0, double y0, double x1, double y1) {
        logic->PressChart(x0, y0);
        logic->MoveChart(x1, y1);
        logic->ReleaseChart(x1, y1);
    }
    Rgb at(int x, int y) { return shown.rgbAt(x, y); }
    // The points in use are the same (slots above the count may differ).
    static ::testing::AssertionResult samePoints(const ParameterProfile& a, const ParameterProfile& b) {
        if (a.count != b.count) return ::testing::AssertionFailure() << "count " << a.count << " vs " << b.count;
        for (int i = 0; i <= a.count; ++i)
            if (a.stages[i] != b.stages[i] || a.values[i] != b.values[i])
                return ::testing::AssertionFailure() << "point " << i;
        return ::testing::AssertionSuccess();
    }
    static double gammaY(double v) { return 400 - 40 * (v - 1); }

    fs::path old_, dir_;
    std::unique_ptr<ModelState> model;
    RasterSurface background{1001, 665}, shown{1001, 665};
    ChartLayers layers{background, shown};
    std::unique_ptr<W> logic;
};

}  // namespace

// ---- drawing ----

TEST_F(Chart, BackgroundAndProfilesAreDrawnInTheirLayers) {
    // Background: not white, white grid lines, base line and axes in the axis colour.
    EXPECT_EQ(background.rgbAt(35, 35), W::kChartBackColour);
    EXPECT_EQ(background.rgbAt(121, 33), W::kGridColour);
    EXPECT_EQ(background.rgbAt(300, 400), W::kAxisColour);
    EXPECT_EQ(background.rgbAt(621, 100), W::kAxisColour);
    EXPECT_EQ(background.rgbAt(721, 100), W::kAxisColour);
    // Overlay: γ at 4, β at 12, the default C step down at stage 90.
    EXPECT_EQ(at(300, 280), W::kProfileColours[0]);
    EXPECT_EQ(at(300, 160), W::kProfileColours[3]);
    EXPECT_EQ(at(40, 200), W::kProfileColours[1]);
    EXPECT_EQ(background.rgbAt(300, 280), W::kGridColour);  // the overlay leaves the background alone
    EXPECT_FALSE(logic->alphaControlsShown);
}

TEST_F(Chart, EditedProfileIsDrawnTwoPixelsWideAndItsAxisInDarkGrey) {
    logic->ClickProfileButton(W::kGamma);
    EXPECT_EQ(logic->editMode, W::kGamma);
    // Two pixels wide, with the dark 1-pixel highlight on top.
    EXPECT_EQ(at(300, 280), W::kDarkColours[0]);
    EXPECT_EQ(at(300, 281), W::kProfileColours[0]);
    EXPECT_EQ(at(621, 100), W::kEditedAxisColour);
    EXPECT_EQ(at(21, 100), W::kAxisColour);
    // Switching to C brings the γ axis back in the background style.
    logic->ClickProfileButton(W::kCurvature);
    EXPECT_EQ(at(621, 100), W::kAxisColour);
    EXPECT_EQ(at(21, 100), W::kEditedAxisColour);
    EXPECT_EQ(at(300, 280), W::kProfileColours[0]);
    EXPECT_EQ(at(300, 281), W::kChartBackColour);
    EXPECT_EQ(background.rgbAt(21, 100), W::kAxisColour);
}

TEST_F(Chart, AlphaBarStepSetsAlphaAndItsCaptionOnly) {
    EXPECT_EQ(logic->DScmd.caption(), "\xCE\xB1 = 1.005");
    EXPECT_EQ(logic->DShsc.value(), 20);
    auto gammaBefore = model->gammaProfile;
    logic->ClickAlpha();
    EXPECT_TRUE(logic->alphaControlsShown);
    logic->MoveAlphaBar(21);
    EXPECT_DOUBLE_EQ(model->alpha, 1.0021);
    EXPECT_EQ(logic->DScmd.caption(), "\xCE\xB1 = 1.0021");
    EXPECT_TRUE(model->gammaProfile == gammaBefore);
    logic->ClickProfileButton(W::kBeta);
    EXPECT_FALSE(logic->alphaControlsShown);
}

// ---- points ----

TEST_F(Chart, PressNearTwoPointsSelectsTheHigherIndex) {
    logic->ClickProfileButton(W::kGamma);
    auto& g = model->gammaProfile;
    g.count = 3;
    g.setPoint(1, 100, 4);
    g.setPoint(2, 106, 4);
    g.setPoint(3, 3000, 4);
    click(21 + 52, gammaY(4));  // 2 px from point 1 (x 71), 1 px from point 2 (x 74)
    EXPECT_EQ(logic->selectedPoint, 2);
    EXPECT_EQ(logic->XCMtxt.text(), "106");
    EXPECT_EQ(logic->YCMtxt.text(), "4");
    EXPECT_EQ(g.count, 3);
    click(21 + 49, gammaY(4));  // 1 px from point 1, 4 px from point 2: still the later one
    EXPECT_EQ(logic->selectedPoint, 2);
}

TEST_F(Chart, PressAwayFromPointsInsertsOneBeforeAnEqualStage) {
    logic->ClickProfileButton(W::kGamma);
    auto& g = model->gammaProfile;
    click(21 + 200, 300);  // stage 400, γ = 1 + 100/40
    ASSERT_EQ(g.count, 2);
    EXPECT_EQ(g.stages[1], 400);
    EXPECT_DOUBLE_EQ(g.values[1], 3.5);
    EXPECT_EQ(logic->selectedPoint, 1);
    EXPECT_EQ(logic->YCMtxt.text(), "3.5");
    // A second press at the same stage, far from the first point, goes before it.
    click(21 + 200, 100);
    ASSERT_EQ(g.count, 3);
    EXPECT_EQ(logic->selectedPoint, 1);
    EXPECT_DOUBLE_EQ(g.values[1], 8.5);
    EXPECT_DOUBLE_EQ(g.values[2], 3.5);
    EXPECT_EQ(g.stages[3], 3000);
}

TEST_F(Chart, DraggingClampsBetweenTheNeighbours) {
    logic->ClickProfileButton(W::kGamma);
    auto& g = model->gammaProfile;
    g.count = 3;
    g.setPoint(1, 200, 4);
    g.setPoint(2, 600, 4);
    g.setPoint(3, 3000, 4);
    drag(121, gammaY(4), 500, 300);  // past the right neighbour at 600
    EXPECT_EQ(g.stages[1], 599);
    EXPECT_DOUBLE_EQ(g.values[1], 3.5);
    EXPECT_EQ(logic->XCMtxt.text(), "599");
    drag(21 + 299.5, gammaY(3.5), 0, 300);  // left of stage 0
    EXPECT_EQ(g.stages[1], 1);
    // Neighbours one stage apart: the point lands on the lower one.
    g.setPoint(1, 600, 4);
    g.setPoint(2, 601, 4);
    logic->selectedPoint = 1;
    logic->dragging = true;
    logic->MoveChart(21 + 300, 300);
    logic->ReleaseChart(0, 0);
    EXPECT_EQ(g.stages[1], 600);
}

TEST_F(Chart, TheLastPointKeepsItsStageWhenDragged) {
    logic->ClickProfileButton(W::kBeta);
    auto& b = model->betaProfile;
    b.setPoint(1, 1000, 12);  // x = 521, so presses right of it are on the chart
    drag(600, 500, 800, 300);
    EXPECT_EQ(logic->selectedPoint, 1);
    EXPECT_EQ(b.count, 1);
    EXPECT_EQ(b.stages[1], 1000);
    EXPECT_DOUBLE_EQ(b.values[1], 5);
}

TEST_F(Chart, PointDelRemovesOnlyInteriorPoints) {
    logic->ClickProfileButton(W::kCurvature);
    auto& c = model->curvatureProfile;
    logic->selectedPoint = 0;
    logic->ClickPointDel();
    EXPECT_EQ(c.count, 7);
    logic->selectedPoint = 7;
    logic->ClickPointDel();
    EXPECT_EQ(c.count, 7);
    logic->selectedPoint = W::kNoPoint;
    logic->ClickPointDel();
    EXPECT_EQ(c.count, 7);
    logic->selectedPoint = 4;  // (177, .93)
    logic->ClickPointDel();
    EXPECT_EQ(c.count, 6);
    EXPECT_EQ(c.stages[4], 190);
    EXPECT_EQ(c.stages[6], 3000);
    EXPECT_EQ(logic->selectedPoint, W::kNoPoint);
}

TEST_F(Chart, TypedCoordinatesMoveTheSelectedPoint) {
    logic->ClickProfileButton(W::kCurvature);
    auto& c = model->curvatureProfile;
    click(21 + 88.5, 400 - 200 * 0.93);  // selects (177, .93)
    ASSERT_EQ(logic->selectedPoint, 4);
    EXPECT_EQ(logic->YCMtxt.text(), "0.93");
    logic->TypeValue(" .5x");
    EXPECT_DOUBLE_EQ(c.values[4], 0.5);
    logic->TypeStage("");
    EXPECT_EQ(c.stages[4], 177);  // an emptied box waits for the new number
    logic->TypeStage("40");
    EXPECT_EQ(c.stages[4], 40);  // at once, out of order
    logic->TypeStage("4500");
    EXPECT_EQ(c.stages[4], 40);  // refused: outside 0..4000, and the message says where the point is
    EXPECT_EQ(logic->statusLine.caption(), "Stage 4500 is outside 0..4000; the point stays at stage 40, value 0.5.");
    logic->TypeStage("-3");
    EXPECT_EQ(c.stages[4], 40);
    logic->TypeStage("abc");  // no number: not stage 0
    EXPECT_EQ(c.stages[4], 40);
    EXPECT_EQ(logic->statusLine.caption(), "Stage: \"abc\" is not a number; the point stays at stage 40, value 0.5.");
    logic->TypeStage("180");
    EXPECT_EQ(c.stages[4], 180);
    EXPECT_EQ(logic->statusLine.caption(), "");
    // A value no table holds is refused where it is typed, not by the next START.
    for (const char* huge : {"1e308", "9e99", "-2e12"}) {
        logic->TypeValue(huge);
        EXPECT_DOUBLE_EQ(c.values[4], 0.5) << huge;
        EXPECT_NE(logic->statusLine.caption().find("is outside -1e12 to 1e12; the point stays at stage 180"),
                  std::string::npos)
            << logic->statusLine.caption();
    }
    logic->TypeValue("0.7");
    EXPECT_DOUBLE_EQ(c.values[4], 0.7);
    // In final-stage mode typing does nothing.
    logic->ClickAlpha();
    logic->TypeStage("170");
    EXPECT_EQ(c.stages[4], 180);
}

TEST_F(Chart, TypedTextsReadOnlyTheNumberAtTheirStart) {
    logic->ClickProfileButton(W::kCurvature);
    auto& c = model->curvatureProfile;
    click(21 + 88.5, 400 - 200 * 0.93);  // selects (177, .93)
    ASSERT_EQ(logic->selectedPoint, 4);
    logic->TypeStage("  180");  // leading blanks are skipped
    EXPECT_EQ(c.stages[4], 180);
    logic->TypeStage("18 5");  // a blank ends the number
    EXPECT_EQ(c.stages[4], 18);
    logic->TypeValue("- 5");  // a sign alone is no number: the value stays
    EXPECT_EQ(c.values[4], 0.93);
    EXPECT_NE(logic->statusLine.caption().find("Value: \"- 5\" is not a number"), std::string::npos);
    logic->TypeValue("2d1");  // 'd' is not an exponent
    EXPECT_EQ(c.values[4], 2);
    logic->TypeValue("2.5e-1");
    EXPECT_EQ(c.values[4], 0.25);
}

TEST_F(Chart, PressBeforeAnyProfileButtonChangesNothing) {
    auto before = *model;
    logic->PressChart(300, 300);
    logic->MoveChart(320, 200);
    logic->ReleaseChart(320, 200);
    EXPECT_EQ(logic->selectedPoint, W::kNoPoint);
    EXPECT_TRUE(model->gammaProfile == before.gammaProfile);
    EXPECT_TRUE(model->curvatureProfile == before.curvatureProfile);
}

TEST_F(Chart, FullProfileRefusesAnInsertion) {
    logic->ClickProfileButton(W::kTorsion);
    auto& t = model->torsionProfile;
    t.count = 50;
    for (int i = 0; i <= 50; ++i) t.setPoint(i, i * 60, 0);
    auto before = t;
    drag(21 + 15, 300, 21 + 16, 250);  // stage 30: between points 0 and 1
    EXPECT_TRUE(t == before);
    EXPECT_NE(logic->statusLine.caption().find("51 points"), std::string::npos);
}

// ---- final stage ----

TEST_F(Chart, MarkerReleaseCutsTo2000AndPointDelUndoesIt) {
    const ModelState before = *model;
    logic->ClickAlpha();
    ASSERT_EQ(logic->editMode, W::kFinalStage);
    // Press on the marker (x = 21 + 1500 lies outside the picture, but the
    // mouse may be held there), drag to stage 2000.
    logic->PressChart(1521, 300);
    EXPECT_TRUE(logic->dragging);
    logic->MoveChart(1021, 300);
    EXPECT_EQ(logic->markerStage, 2000);
    logic->ReleaseChart(1021, 300);
    EXPECT_EQ(model->gammaProfile.count, 1);
    EXPECT_EQ(model->curvatureProfile.count, 7);
    EXPECT_EQ(model->torsionProfile.count, 1);
    EXPECT_EQ(model->betaProfile.count, 1);
    EXPECT_EQ(model->gammaProfile.stages[1], 2000);
    EXPECT_EQ(model->gammaProfile.values[1], 4);
    EXPECT_EQ(model->betaProfile.values[1], 12);
    EXPECT_EQ(model->curvatureProfile.stages[7], 2000);
    EXPECT_EQ(model->curvatureProfile.values[7], 0);
    EXPECT_EQ(model->stageRange[1], 2000);
    EXPECT_EQ(model->shownStage, 2000);
    EXPECT_EQ(model->lastStage, 2000);
    EXPECT_EQ(logic->markerStage, 3000);

    logic->ClickPointDel();
    EXPECT_TRUE(samePoints(model->gammaProfile, before.gammaProfile));
    EXPECT_TRUE(samePoints(model->curvatureProfile, before.curvatureProfile));
    EXPECT_TRUE(samePoints(model->torsionProfile, before.torsionProfile));
    EXPECT_TRUE(samePoints(model->betaProfile, before.betaProfile));
    EXPECT_EQ(model->stageRange[1], 3000);
    EXPECT_EQ(model->lastStage, 3000);
    EXPECT_EQ(model->shownStage, 3000);

    // A second undo is refused and changes nothing.
    const ModelState afterUndo = *model;
    logic->ClickPointDel();
    EXPECT_TRUE(model->curvatureProfile == afterUndo.curvatureProfile);
    EXPECT_EQ(model->stageRange[1], 3000);
    EXPECT_NE(logic->statusLine.caption(), "");
}

TEST_F(Chart, CutInterpolatesTheValueAtTheNewFinalStage) {
    model->gammaProfile.setPoint(1, 3000, 10);  // γ 4 → 10 over 0..3000
    logic->ClickAlpha();
    logic->PressChart(1521, 300);
    logic->MoveChart(21 + 500, 300);  // stage 1000
    logic->ReleaseChart(21 + 500, 300);
    EXPECT_EQ(model->gammaProfile.count, 1);
    EXPECT_EQ(model->gammaProfile.stages[1], 1000);
    EXPECT_DOUBLE_EQ(model->gammaProfile.values[1], 6);
    // The default C profile: the cut lands on the point (3000, 0).
    EXPECT_EQ(model->curvatureProfile.count, 7);
    // The marker is drawn at the new final stage.
    EXPECT_EQ(at(521, 300), W::kMarkerColour);
}

TEST_F(Chart, UndoIsRefusedBeforeAnyCutAndAfterAnExtension) {
    logic->ClickAlpha();
    const ModelState before = *model;
    logic->ClickPointDel();
    EXPECT_TRUE(model->gammaProfile == before.gammaProfile);
    EXPECT_EQ(model->gammaProfile.count, 1);
    EXPECT_EQ(model->stageRange[1], 3000);

    // Extend to 3500: every profile gains a flat last segment.
    logic->PressChart(1521, 300);
    logic->MoveChart(21 + 1750, 300);
    logic->ReleaseChart(21 + 1750, 300);
    EXPECT_EQ(model->gammaProfile.count, 2);
    EXPECT_EQ(model->gammaProfile.stages[2], 3500);
    EXPECT_EQ(model->gammaProfile.values[2], 4);
    EXPECT_EQ(model->curvatureProfile.count, 8);
    EXPECT_EQ(model->lastStage, 3500);
    const ModelState extended = *model;
    logic->ClickPointDel();
    EXPECT_TRUE(model->gammaProfile == extended.gammaProfile);
    EXPECT_EQ(model->stageRange[1], 3500);
}

TEST_F(Chart, UndoIsRefusedAfterThePointsChanged) {
    logic->ClickAlpha();
    logic->PressChart(1521, 300);
    logic->MoveChart(1021, 300);
    logic->ReleaseChart(1021, 300);
    logic->ClickProfileButton(W::kGamma);
    click(21 + 300, 300);  // inserts a γ point
    logic->ClickAlpha();
    const ModelState edited = *model;
    logic->ClickPointDel();
    EXPECT_TRUE(model->gammaProfile == edited.gammaProfile);
    EXPECT_EQ(model->stageRange[1], 2000);
}

TEST_F(Chart, ReleaseOffTheMarkerOrUnmovedChangesNothing) {
    const ModelState before = *model;
    logic->ClickAlpha();
    // Clicks that miss the marker, and clicks on it without a drag, as many
    // as would fill a profile if each added a final point.
    for (int i = 0; i < 60; ++i) {
        click(300, 300);
        click(1521, 300);
    }
    EXPECT_TRUE(samePoints(model->gammaProfile, before.gammaProfile));
    EXPECT_TRUE(samePoints(model->curvatureProfile, before.curvatureProfile));
    EXPECT_EQ(model->stageRange[1], 3000);
    EXPECT_EQ(model->lastStage, 3000);
    // A drag that comes back to where it started changes nothing either.
    drag(1521, 300, 1521, 250);
    EXPECT_TRUE(samePoints(model->curvatureProfile, before.curvatureProfile));
    // The final stage is not stuck: a real drag still cuts.
    drag(1521, 300, 1021, 300);
    EXPECT_EQ(model->stageRange[1], 2000);
}

TEST_F(Chart, MarkerStaysWithinTheStageRows) {
    logic->ClickAlpha();
    logic->PressChart(1521, 300);
    logic->MoveChart(5000, 300);
    EXPECT_EQ(logic->markerStage, 4000);
    logic->MoveChart(-50, 300);
    EXPECT_EQ(logic->markerStage, 0);
    logic->MoveChart(21 + 2100, 300);
    logic->ReleaseChart(21 + 2100, 300);
    EXPECT_EQ(model->stageRange[1], 4000);
    EXPECT_EQ(model->gammaProfile.stages[2], 4000);
}

TEST_F(Chart, FullProfileRefusesAnExtensionButCanBeCut) {
    auto& t = model->torsionProfile;
    t.count = 50;
    for (int i = 0; i <= 50; ++i) t.setPoint(i, i * 60, 0);
    logic->ClickAlpha();
    const ModelState before = *model;
    drag(1521, 300, 1521 + 100, 300);  // extending would add a 52nd point
    EXPECT_EQ(t.count, 50);
    EXPECT_TRUE(model->gammaProfile == before.gammaProfile);
    EXPECT_EQ(model->stageRange[1], 3000);
    EXPECT_NE(logic->statusLine.caption().find("51 points"), std::string::npos);
    // A cut is still possible, so the profile can be shortened; it cannot be undone.
    logic->PressChart(1521, 300);
    logic->MoveChart(21 + 600, 300);  // stage 1200
    logic->ReleaseChart(21 + 600, 300);
    EXPECT_EQ(t.count, 20);
    EXPECT_EQ(model->gammaProfile.count, 1);
    EXPECT_EQ(model->stageRange[1], 1200);
    logic->ClickPointDel();
    EXPECT_EQ(model->stageRange[1], 1200);
    EXPECT_EQ(t.count, 20);
}

// ---- data file ----

TEST_F(Chart, SaveCreatesTheFolderAndLoadRefreshesTheWindow) {
    fs::remove_all("ammonite");
    model->alpha = 1.0033;
    model->gammaProfile.setPoint(1, 2500, 4);
    model->curvatureProfile.setPoint(7, 2500, 0);
    model->torsionProfile.setPoint(1, 2500, 0);
    model->betaProfile.setPoint(1, 2500, 12);
    model->stageRange[1] = 2500;
    logic->ClickSave();
    EXPECT_TRUE(fs::exists("ammonite/SAMPLE.txt"));
    EXPECT_NE(logic->statusLine.caption().find("Created the folder"), std::string::npos);

    model->setDefaultProfiles();
    model->stageRange[1] = 3000;
    model->alpha = 1.005;
    logic->MoveAlphaBar(25);
    logic->ClickLoad();
    EXPECT_TRUE(logic->fileListShown);
    ASSERT_EQ(logic->fileNames, std::vector<std::string>{"SAMPLE.txt"});
    logic->ClickFile("SAMPLE.txt");
    EXPECT_FALSE(logic->fileListShown);
    EXPECT_DOUBLE_EQ(model->alpha, 1.0033);
    EXPECT_EQ(logic->DScmd.caption(), "\xCE\xB1 = 1.0033");
    EXPECT_EQ(logic->DShsc.value(), 25);  // the bar keeps its position
    EXPECT_EQ(model->lastStage, 2500);
    EXPECT_EQ(model->shownStage, 2500);
    EXPECT_EQ(logic->markerStage, 2500);
    EXPECT_EQ(model->gammaProfile.stages[1], 2500);
    EXPECT_EQ(model->profileFileName, (fs::current_path() / "ammonite" / "SAMPLE.txt").string());

    // Undo takes the load back: profiles, α and the stage range.
    int stagesNotified = 0;
    logic->stagesChanged = [&] { ++stagesNotified; };
    logic->UndoEdit();
    EXPECT_EQ(model->gammaProfile.stages[1], 3000);
    EXPECT_EQ(model->stageRange[1], 3000);
    EXPECT_DOUBLE_EQ(model->alpha, 1.0025);
    EXPECT_EQ(logic->DScmd.caption(), "\xCE\xB1 = 1.0025");
    EXPECT_EQ(stagesNotified, 1);
    logic->UndoEdit();
    EXPECT_EQ(logic->statusLine.caption(), "Nothing to undo.");
}

TEST_F(Chart, SaveOverAProtectedFileKeepsItAndSaysWhy) {
    logic->ClickSave();  // creates the folder and the file
    const std::string path = "ammonite/SAMPLE.txt";
    std::ofstream(path, std::ios::binary) << "kept";
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    model->alpha = 1.0033;
    logic->ClickSave();
    EXPECT_EQ(logic->statusLine.caption(), "Not saved: cannot write " + path + ": Permission denied");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::group_read);

    // Through a link, the file linked to is saved and the link stays.
    fs::remove(path);
    std::ofstream("ammonite/elsewhere.txt") << "old";
    fs::create_symlink("elsewhere.txt", path);
    logic->ClickSave();
    EXPECT_TRUE(fs::is_symlink(path));
    std::ifstream saved("ammonite/elsewhere.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), FormatProfileFile(*model));
}

TEST_F(Chart, BadFileLeavesModelAndListAsTheyWere) {
    std::ofstream("ammonite/broken.txt", std::ios::binary) << "\"SAMPLE\"\r\n\"a\",1.002\r\n0,3000\r\n\"g\",60\r\n";
    std::ofstream("ammonite/notes.dat") << "x";
    logic->ClickLoad();
    ASSERT_EQ(logic->fileNames, std::vector<std::string>{"broken.txt"});
    const ModelState before = *model;
    logic->ClickFile("broken.txt");
    EXPECT_TRUE(logic->fileListShown);
    EXPECT_EQ(model->alpha, before.alpha);
    EXPECT_TRUE(model->gammaProfile == before.gammaProfile);
    EXPECT_EQ(model->profileFileName, before.profileFileName);
    const std::string& msg = logic->statusLine.caption();
    EXPECT_NE(msg.find("broken.txt"), std::string::npos) << msg;
    EXPECT_NE(msg.find("line 4"), std::string::npos) << msg;
}

// Bounded inputs: a pipe listed among the profile files is refused at once
// (the window must not wait for a writer), and so is an oversized file.
TEST_F(Chart, PipeOrHugeFileInTheListIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo("ammonite/pipe.txt", 0600), 0);
    std::ofstream("ammonite/huge.txt", std::ios::binary) << std::string(kMaxProfileFileBytes + 1, '\n');
    logic->ClickLoad();
    ASSERT_EQ(logic->fileNames, (std::vector<std::string>{"huge.txt", "pipe.txt"}));
    const ModelState before = *model;
    logic->ClickFile("pipe.txt");
    EXPECT_EQ(logic->statusLine.caption(), "Not loaded: pipe.txt is not a regular file; nothing was loaded");
    logic->ClickFile("huge.txt");
    EXPECT_EQ(logic->statusLine.caption(), "Not loaded: huge.txt is larger than 1 MiB; nothing was loaded");
    EXPECT_TRUE(model->gammaProfile == before.gammaProfile);
    EXPECT_EQ(model->profileFileName, before.profileFileName);
}

// The first opening in a folder without profile files offers the gallery's
// forms there; a folder the user has filled is left alone.
TEST(ChartGallery, FirstOpeningInAnEmptyFolderBringsTheGallery) {
    const fs::path old = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("ammonite-gallery-open-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "gallery");
    std::ofstream(dir / "gallery" / "hook.txt", std::ios::binary) << "x";
    fs::current_path(dir);
    setenv("AMMONITE_GALLERY", (dir / "gallery").c_str(), 1);
    // Opens the window's logic on the default profiles; returns its status line.
    auto open = [] {
        ModelState model;
        model.setDefaultProfiles();
        RasterSurface background{1001, 665}, shown{1001, 665};
        ChartLayers layers{background, shown};
        ProfileWindowLogic logic(model, layers);
        logic.Load();
        return logic.statusLine.caption();
    };
    const std::string said = open();
    EXPECT_TRUE(fs::exists("ammonite/hook.txt"));
    EXPECT_NE(said.find("1 example form"), std::string::npos) << said;

    fs::remove("ammonite/hook.txt");
    std::ofstream("ammonite/mine.txt") << "y";
    open();
    EXPECT_FALSE(fs::exists("ammonite/hook.txt"));
    setenv("AMMONITE_GALLERY", "/nonexistent/ammonite-gallery", 1);
    fs::current_path(old);
    fs::remove_all(dir);
}
