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

#include "ui/main_window.h"
#include "ui/profile_window.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

// Runs the test inside a fresh scratch folder (the "ammonite" folder is
// relative to the current directory) and returns to the old one at the end.
class InScratchDir {
public:
    InScratchDir() : old_(fs::current_path()) {
        dir_ = fs::temp_directory_path() / ("ammonite-ui-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(counter_++));
        fs::create_directories(dir_);
        fs::current_path(dir_);
        // No gallery: the scratch folder starts empty.
        setenv("AMMONITE_GALLERY", "/nonexistent/ammonite-gallery", 1);
    }
    ~InScratchDir() {
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const fs::path& path() const { return dir_; }

private:
    fs::path old_, dir_;
    static inline int counter_ = 0;
};

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
    EXPECT_EQ(w->chartView()->size(), QSize(1041, 665));
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
        // γ being edited: a point inserted at stage 800, γ 5, and selected.
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
    QWidget mainStandIn;
    ProfileWindow w{*model, &mainStandIn};
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
