#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "model/profile_file.h"
#include "ui/main_window.h"
#include "ui/profile_window.h"
#include "ui/scratch_dir.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

QRgb pixelAt(ProfileWindow& w, int x, int y) { return w.chartImage().image().pixel(x, y); }

}  // namespace

TEST(ProfileWindowGui, OpensFromGraphWithTheDefaultProfiles) {
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    QTest::mouseClick(main.findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
    ProfileWindow* w = main.profileWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    // The 1 ms timer draws the profiles once the window is up.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->logic().timerOn; }, 2000));
    EXPECT_EQ(w->windowTitle(), "Form1");
    // The chart is widened to show stages 0..4000; the window fits the screen.
    EXPECT_EQ(w->chartView()->size(), QSize(ProfileWindow::kChartWidth, ProfileWindow::kChartHeight));
    EXPECT_EQ(model->profileWindowOpened, 1);
    EXPECT_TRUE(fs::is_directory(scratch.path() / "ammonite"));
    EXPECT_EQ(model->profileFolderPath, (fs::current_path() / "ammonite").string());
    // γ = 4 is drawn at y = 280 in its colour, β = 12 at y = 160.
    EXPECT_EQ(pixelAt(*w, 300, 280), qRgb(100, 100, 250));
    EXPECT_EQ(pixelAt(*w, 300, 160), qRgb(250, 200, 100));
    // C = 1 up to stage 90 (x 21..66), T = 0 on the baseline.
    EXPECT_EQ(pixelAt(*w, 40, 200), qRgb(250, 100, 100));
    EXPECT_EQ(pixelAt(*w, 300, 400), qRgb(100, 250, 100));
    // The background is not white and the grid lines are.
    EXPECT_NE(pixelAt(*w, 30, 30), qRgb(255, 255, 255));
    EXPECT_EQ(pixelAt(*w, 121, 33), qRgb(255, 255, 255));

    if (const char* dir = std::getenv("AMMONITE_SCREENSHOT_DIR")) {
        // γ being edited: a point inserted at stage 1600, γ 5, and selected.
        QTest::mouseClick(w->findChild<QPushButton*>("Ecmd"), Qt::LeftButton);
        QTest::mousePress(w->chartView(), Qt::LeftButton, {}, QPoint(421, 240));
        QTest::mouseRelease(w->chartView(), Qt::LeftButton, {}, QPoint(421, 240));
        w->grab().save(QString::fromUtf8(dir) + "/profile_window.png");
        QTest::mouseClick(w->findChild<QPushButton*>("Scmd"), Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton*>("LOADcmd"), Qt::LeftButton);
        w->grab().save(QString::fromUtf8(dir) + "/profile_window_alpha.png");
    }
}

namespace {
// A profile window on its own, as MainWindow creates it, shown and drawn.
struct OpenWindow {
    InScratchDir scratch;
    std::unique_ptr<ModelState> model = [] {
        auto m = std::make_unique<ModelState>();
        m->setDefaultProfiles();
        m->alpha = 1.005;
        m->stageRange = {0, 3000};
        m->lastStage = 3000;
        m->shownStage = 1700;
        return m;
    }();
    ModelDocument document{*model};
    QWidget mainStandIn;
    ProfileWindow w{document, &mainStandIn};
    OpenWindow() {
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        // The 1 ms timer draws the profiles once the window is up.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !w.logic().timerOn; }, 2000));
    }
    QPushButton* button(const char* name) { return w.findChild<QPushButton*>(name); }
    QLineEdit* edit(const char* name) { return w.findChild<QLineEdit*>(name); }
};
}  // namespace

TEST(ProfileWindowGui, MouseInsertsAndDragsAPointOnTheChart) {
    OpenWindow o;
    QTest::mouseClick(o.button("Ecmd"), Qt::LeftButton);
    QWidget* chart = o.w.chartView();
    // Four stages a chart unit.
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(221, 300));
    ASSERT_EQ(o.model->gammaProfile.count, 2);
    EXPECT_EQ(o.model->gammaProfile.stages[1], 800);
    EXPECT_DOUBLE_EQ(o.model->gammaProfile.values[1], 3.5);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "800");
    EXPECT_EQ(o.edit("YCMtxt")->text(), "3.5");
    QTest::mouseMove(chart, QPoint(251, 260));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(251, 260));
    EXPECT_EQ(o.model->gammaProfile.stages[1], 920);
    EXPECT_DOUBLE_EQ(o.model->gammaProfile.values[1], 4.5);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "920");
    // The dark edited profile and the selection circle are on the picture.
    EXPECT_EQ(pixelAt(o.w, 251, 260 - 5), qRgb(100, 100, 150));
    // A move after the release changes nothing.
    QTest::mouseMove(chart, QPoint(300, 300));
    EXPECT_EQ(o.model->gammaProfile.stages[1], 920);

    // Typed coordinates move the selected point.
    QLineEdit* x = o.edit("XCMtxt");
    x->selectAll();
    QTest::keyClicks(x, "500");
    EXPECT_EQ(o.model->gammaProfile.stages[1], 500);
    // "Point Del." removes it.
    QTest::mouseClick(o.button("PDLcmd"), Qt::LeftButton);
    EXPECT_EQ(o.model->gammaProfile.count, 1);
}

TEST(ProfileWindowGui, AlphaButtonShowsTheBarAndItsStepSetsAlpha) {
    OpenWindow o;
    auto* bar = o.w.findChild<QScrollBar*>("DShsc");
    auto* caption = o.button("DScmd");
    ASSERT_TRUE(bar && caption);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(caption->text(), QString::fromUtf8("\xCE\xB1 = 1.005"));
    QTest::mouseClick(o.button("Scmd"), Qt::LeftButton);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(caption->isVisible());
    EXPECT_EQ(bar->value(), 20);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_DOUBLE_EQ(o.model->alpha, 1.0021);
    EXPECT_EQ(caption->text(), QString::fromUtf8("\xCE\xB1 = 1.0021"));
    // The final-stage marker at 3000 lies right of the picture; the labels
    // of the parameter buttons use a serif font.
    EXPECT_EQ(o.button("Ecmd")->text(), QString::fromUtf8("\xCE\xB3"));
    EXPECT_EQ(o.button("Ecmd")->font().styleHint(), QFont::Serif);
    QTest::mouseClick(o.button("Tcmd"), Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
}

TEST(ProfileWindowGui, OkReturnsToTheMainWindowAndReopeningKeepsTheState) {
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    QTest::mouseClick(main.findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
    ProfileWindow* w = main.profileWindow();
    ASSERT_TRUE(w);
    QTest::mouseClick(w->findChild<QPushButton*>("Ccmd"), Qt::LeftButton);
    QTest::mousePress(w->chartView(), Qt::LeftButton, {}, QPoint(300, 300));  // inserts a C point
    QTest::mouseRelease(w->chartView(), Qt::LeftButton, {}, QPoint(300, 300));
    ASSERT_EQ(model->curvatureProfile.count, 8);
    const int tablesBefore = model->curvatureByStage[558].raw();
    QTest::mouseClick(w->findChild<QPushButton*>("OKcom"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(model->curvatureByStage[558].raw(), tablesBefore);  // nothing recomputed

    // The main window's load keeps the edited profiles once this window has loaded.
    main.logic().Load();
    EXPECT_EQ(model->curvatureProfile.count, 8);

    QTest::mouseClick(main.findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
    EXPECT_EQ(main.profileWindow(), w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->logic().editMode, ProfileWindowLogic::kCurvature);
    EXPECT_EQ(model->curvatureProfile.count, 8);
    // The timer armed by the activation draws the profiles once.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->logic().timerOn; }, 2000));
    EXPECT_EQ(pixelAt(*w, 300, 300), qRgb(250, 100, 100));
}

TEST(ProfileWindowGui, ClickOnTheFreeAreaRedrawsEverything) {
    OpenWindow o;
    QTest::mouseClick(o.button("Ecmd"), Qt::LeftButton);
    EXPECT_EQ(pixelAt(o.w, 621, 100), qRgb(50, 50, 50));  // the γ axis, edited style
    QWidget* page = o.w.findChild<QWidget*>("chartPage");
    ASSERT_TRUE(page);
    QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(1052, 300));
    EXPECT_EQ(pixelAt(o.w, 621, 100), qRgb(100, 100, 150));
    EXPECT_EQ(pixelAt(o.w, 300, 280), qRgb(100, 100, 250));
}

TEST(ProfileWindowGui, SaveAndLoadThroughTheFileList) {
    OpenWindow o;
    auto* list = o.w.findChild<QListWidget*>("FILElst");
    ASSERT_TRUE(list);
    EXPECT_FALSE(list->isVisible());
    o.model->betaProfile.values[0] = 6;
    o.model->betaProfile.values[1] = 6;
    QTest::mouseClick(o.button("SAVEcmd"), Qt::LeftButton);
    ASSERT_TRUE(fs::exists("ammonite/SAMPLE.txt"));
    {
        std::ofstream bad("ammonite/bad.txt", std::ios::binary);
        bad << "\"SAMPLE\"\r\n\"a\",1\r\n0,3000\r\n\"g\",77\r\n";
    }
    o.model->betaProfile.values[0] = 12;
    o.model->betaProfile.values[1] = 12;

    QTest::mouseClick(o.button("LOADcmd"), Qt::LeftButton);
    EXPECT_TRUE(list->isVisible());
    // Sorted as a reader sorts names, whatever their case.
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "bad.txt");
    EXPECT_EQ(list->item(1)->text(), "SAMPLE.txt");

    QRect badRect = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, badRect.center());
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(o.model->betaProfile.values[1], 12);
    EXPECT_TRUE(o.w.findChild<QLabel*>("statusLine")->text().contains("bad.txt"));

    QRect goodRect = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, goodRect.center());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(o.model->betaProfile.values[1], 6);
    EXPECT_EQ(pixelAt(o.w, 300, 280), qRgb(250, 200, 100));  // β = 6 lies on γ = 4 and is drawn after it
}

// ---- the editor with real clicks and keys: marker, selection, typed texts, undo ----

namespace {
void clickChart(ProfileWindow& w, QPoint at) {
    QTest::mousePress(w.chartView(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(w.chartView(), Qt::LeftButton, {}, at);
}
void dragChart(ProfileWindow& w, QPoint from, QPoint to) {
    QTest::mousePress(w.chartView(), Qt::LeftButton, {}, from);
    QTest::mouseMove(w.chartView(), to);
    QTest::mouseRelease(w.chartView(), Qt::LeftButton, {}, to);
}
QString statusText(ProfileWindow& w) { return w.findChild<QLabel*>("statusLine")->text(); }
}  // namespace

TEST(ProfileEditorGui, TheMarkerAndTheLastPointsAreReachableOverTheWholeStageRange) {
    OpenWindow o;
    // The last points of the default profiles at stage 3000 lie on the chart
    // (x = 21 + 3000 / 4 = 771): a press on the last γ point selects it.
    QTest::mouseClick(o.button("Ecmd"), Qt::LeftButton);
    clickChart(o.w, QPoint(772, 280));
    EXPECT_EQ(o.w.logic().selectedPoint, 1);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "3000");
    EXPECT_EQ(o.edit("YCMtxt")->text(), "4");
    // The marker is drawn on the chart and a press two units beside it takes it.
    QTest::mouseClick(o.button("Scmd"), Qt::LeftButton);
    EXPECT_EQ(pixelAt(o.w, 771, 300), qRgb(150, 50, 50));
    dragChart(o.w, QPoint(773, 300), QPoint(521, 300));
    EXPECT_EQ(o.model->stageRange[1], 2000);
    EXPECT_EQ(o.model->gammaProfile.stages[1], 2000);
    // At the ends of the range: out to 4000 (x = 1021) and back down to 0.
    dragChart(o.w, QPoint(520, 300), QPoint(1021, 300));
    EXPECT_EQ(o.model->stageRange[1], 4000);
    EXPECT_EQ(pixelAt(o.w, 1021, 300), qRgb(150, 50, 50));
    dragChart(o.w, QPoint(1023, 300), QPoint(21, 300));
    EXPECT_EQ(o.model->stageRange[1], 0);
    dragChart(o.w, QPoint(19, 300), QPoint(771, 300));
    EXPECT_EQ(o.model->stageRange[1], 3000);
}

TEST(ProfileEditorGui, ClicksWithoutADragOfTheMarkerChangeNoProfile) {
    OpenWindow o;
    const ModelState before = *o.model;
    QTest::mouseClick(o.button("Scmd"), Qt::LeftButton);
    for (int i = 0; i < 50; ++i) {
        clickChart(o.w, QPoint(300, 300));  // off the marker
        clickChart(o.w, QPoint(771, 300));  // on it, unmoved
    }
    EXPECT_TRUE(o.model->gammaProfile == before.gammaProfile);
    EXPECT_TRUE(o.model->curvatureProfile == before.curvatureProfile);
    EXPECT_TRUE(o.model->torsionProfile == before.torsionProfile);
    EXPECT_TRUE(o.model->betaProfile == before.betaProfile);
    EXPECT_EQ(o.model->stageRange[1], 3000);
    // The final stage is not stuck.
    dragChart(o.w, QPoint(771, 300), QPoint(646, 300));
    EXPECT_EQ(o.model->stageRange[1], 2500);
}

TEST(ProfileEditorGui, SwitchingProfilesCannotMoveAnotherProfilesPoint) {
    OpenWindow o;
    const ParameterProfile gamma = o.model->gammaProfile;
    // A T point at stage 740 is inserted and selected.
    QTest::mouseClick(o.button("Tcmd"), Qt::LeftButton);
    clickChart(o.w, QPoint(206, 380));
    ASSERT_EQ(o.model->torsionProfile.count, 2);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "740");
    // γ: the selection and the boxes are cleared; typing a value moves nothing.
    QTest::mouseClick(o.button("Ecmd"), Qt::LeftButton);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "");
    EXPECT_EQ(o.edit("YCMtxt")->text(), "");
    QTest::keyClicks(o.edit("YCMtxt"), "5");
    EXPECT_TRUE(o.model->gammaProfile == gamma);
    // A press left of the axis selects point 0 and shows it in the boxes.
    clickChart(o.w, QPoint(15, 280));
    EXPECT_EQ(o.w.logic().selectedPoint, 0);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "0");
    EXPECT_EQ(o.edit("YCMtxt")->text(), "4");
    EXPECT_TRUE(o.model->gammaProfile == gamma);
}

TEST(ProfileEditorGui, TypedTextThatCannotBeAppliedSaysWhereThePointIs) {
    OpenWindow o;
    QTest::mouseClick(o.button("Ccmd"), Qt::LeftButton);
    clickChart(o.w, QPoint(63, 214));  // C point 4 at (177, .93)
    ASSERT_EQ(o.w.logic().selectedPoint, 4);
    QLineEdit* x = o.edit("XCMtxt");
    x->selectAll();
    QTest::keyClicks(x, "5000");  // "5", "50" and "500" apply on the way
    EXPECT_EQ(o.model->curvatureProfile.stages[4], 500);
    EXPECT_EQ(statusText(o.w), "Stage 5000 is outside 0..4000; the point stays at stage 500, value 0.93.");
    EXPECT_TRUE(o.w.findChild<QLabel*>("statusLine")->styleSheet().contains("160, 0, 0"));
    x->selectAll();
    QTest::keyClicks(x, "abc");
    EXPECT_EQ(o.model->curvatureProfile.stages[4], 500);
    EXPECT_EQ(statusText(o.w), "Stage: \"abc\" is not a number; the point stays at stage 500, value 0.93.");
}

TEST(ProfileEditorGui, UndoDeleteAndEscapeFromTheKeyboard) {
    OpenWindow o;
    o.w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&o.w));
    QTest::mouseClick(o.button("Ecmd"), Qt::LeftButton);
    const ParameterProfile gamma = o.model->gammaProfile;
    dragChart(o.w, QPoint(221, 300), QPoint(251, 260));  // inserts and drags a point
    ASSERT_EQ(o.model->gammaProfile.count, 2);
    QTest::keyClick(&o.w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(o.model->gammaProfile == gamma);

    QTest::mouseClick(o.button("Ccmd"), Qt::LeftButton);
    const ParameterProfile c = o.model->curvatureProfile;
    clickChart(o.w, QPoint(63, 214));  // selects C point 4
    QTest::keyClick(o.w.chartView(), Qt::Key_Delete);
    EXPECT_EQ(o.model->curvatureProfile.count, 6);
    QTest::keyClick(o.w.chartView(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(o.model->curvatureProfile == c);
    // "Point Del." keeps its meaning: the first point cannot go.
    clickChart(o.w, QPoint(15, 200));
    QTest::mouseClick(o.button("PDLcmd"), Qt::LeftButton);
    EXPECT_EQ(o.model->curvatureProfile.count, 7);
    // Escape clears the selection and the boxes; typing then moves nothing.
    clickChart(o.w, QPoint(63, 214));
    QTest::keyClick(o.w.chartView(), Qt::Key_Escape);
    EXPECT_EQ(o.w.logic().selectedPoint, ProfileWindowLogic::kNoPoint);
    EXPECT_EQ(o.edit("XCMtxt")->text(), "");
    QTest::keyClicks(o.edit("XCMtxt"), "9");
    EXPECT_TRUE(o.model->curvatureProfile == c);
}

TEST(ProfileEditorGui, FileListIsReadableAndDSaveAsksBeforeReplacing) {
    OpenWindow o;
    QTest::mouseClick(o.button("SAVEcmd"), Qt::LeftButton);
    ASSERT_TRUE(fs::exists("ammonite/SAMPLE.txt"));
    fs::copy_file("ammonite/SAMPLE.txt", "ammonite/Long Heteromorph Form.TXT");
    std::ofstream("ammonite/notes.md") << "not a profile";
    QTest::mouseClick(o.button("LOADcmd"), Qt::LeftButton);
    auto* list = o.w.findChild<QListWidget*>("FILElst");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Long Heteromorph Form.TXT");
    EXPECT_GE(list->viewport()->width(), list->fontMetrics().horizontalAdvance(list->item(0)->text()));

    // D-save over the existing file asks; "no" keeps the file as it was.
    const auto sizeBefore = fs::file_size("ammonite/SAMPLE.txt");
    int asked = 0;
    bool replace = false;
    o.w.confirmOverwrite = [&](const QString& path) {
        ++asked;
        EXPECT_TRUE(path.endsWith("SAMPLE.txt"));
        return replace;
    };
    o.model->gammaProfile.setPoint(1, 3000, 4.25);
    QTest::mouseClick(o.button("SAVEcmd"), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(fs::file_size("ammonite/SAMPLE.txt"), sizeBefore);
    EXPECT_TRUE(statusText(o.w).startsWith("Kept ")) << statusText(o.w).toStdString();
    replace = true;
    QTest::mouseClick(o.button("SAVEcmd"), Qt::LeftButton);
    EXPECT_EQ(asked, 2);
    EXPECT_NE(fs::file_size("ammonite/SAMPLE.txt"), sizeBefore);
    EXPECT_FALSE(o.w.findChild<QLabel*>("statusLine")->styleSheet().contains("160, 0, 0"));
}

TEST(ProfileEditorGui, MainWindowBoxesFollowALoadedFile) {
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    QTest::mouseClick(main.findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
    ProfileWindow* w = main.profileWindow();
    ASSERT_TRUE(w);
    // A profile file whose final stage is 1500.
    {
        ModelState shorter = *model;
        shorter.stageRange = {0, 1500};
        std::string error;
        ASSERT_TRUE(WriteProfileFile("ammonite/short.txt", shorter, error)) << error;
    }
    QTest::mouseClick(w->findChild<QPushButton*>("LOADcmd"), Qt::LeftButton);
    auto* list = w->findChild<QListWidget*>("FILElst");
    const auto found = list->findItems("short.txt", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.front()).center());
    auto* num = main.findChild<QLineEdit*>("NUMtxt");
    auto* max = main.findChild<QLineEdit*>("MAXtxt");
    EXPECT_EQ(num->text(), "1500");
    EXPECT_EQ(max->text(), "1500");
    // START does what the boxes say.
    QTest::mouseClick(w->findChild<QPushButton*>("OKcom"), Qt::LeftButton);
    QTest::mouseClick(main.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    EXPECT_EQ(main.logic().run.lastBuiltStage, 1500);
    EXPECT_EQ(max->text(), "1500");
}

// A chart left at another pixel ratio (the window was on another screen) is
// painted again at this screen's ratio when the window shows, with what it
// showed before.
TEST(ProfileWindowGui, ChartFollowsTheScreensPixelRatio) {
    OpenWindow o;
    const QImage before = o.w.chartImage().image().copy();

    o.w.hide();
    o.w.chartBackground().setResolution(2);
    o.w.chartImage().setResolution(2);
    ASSERT_EQ(o.w.chartImage().image().width(), 2 * before.width());
    o.w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&o.w));
    EXPECT_EQ(o.w.chartImage().resolution(), o.w.devicePixelRatioF());
    EXPECT_EQ(o.w.chartImage().image(), before);
}
