// The VIEW window on the real main window: the shell turned with the mouse,
// the stage slider, and live regrowth from a profile edit and a threshold bar.
#include <gtest/gtest.h>

#include "window_grabs.h"

#include <cmath>
#include <filesystem>
#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "ui/main_window.h"
#include "ui/profile_window.h"
#include "ui/view_window.h"
#include "ui/scratch_dir.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

using ui_test::saveGrab;

struct ViewWindows {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    MainWindow main{*model};
    ViewWindow* view = nullptr;

    ViewWindows() { main.show(); }
    void start() { QTest::mouseClick(main.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton); }
    // Opens VIEW with its button and waits for the shell of the last START.
    void openView(bool waitForShell = true) {
        QTest::mouseClick(main.findChild<QPushButton*>("VIEWcmd"), Qt::LeftButton);
        view = main.findChild<ViewWindow*>("VIEW");
        ASSERT_TRUE(view);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
        if (waitForShell) {
            ASSERT_TRUE(QTest::qWaitFor(
                [this] { return view->logic().hasShell() && !view->busy() && !view->logic().shell().fine.empty(); },
                10000));
        }
    }
    QString text(QWidget* w, const char* name) { return w->findChild<QLabel*>(name)->text(); }
};

long differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height();
    long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++n;
    return n;
}

Vec3 unit(const Vec3& v) {
    const double n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / n, v.y / n, v.z / n};
}

}  // namespace

TEST(ViewWindowGui, MouseTurnsMovesZoomsAndFitsTheShell) {
    ViewWindows w;
    w.start();
    w.openView();
    MeshViewWidget* view = w.view->view();
    EXPECT_EQ(w.view->windowTitle(), "VIEW");
    EXPECT_EQ(w.text(w.view, "ORIlbl"), w.text(&w.main, "ORIlbl"));
    EXPECT_EQ(w.text(w.view, "DNSlbl"), w.text(&w.main, "DNSlbl"));
    EXPECT_EQ(w.text(w.view, "STBlbl"), w.text(&w.main, "STBlbl"));
    saveGrab(*w.view, "view3d.png");

    QTest::qWait(50);
    const QImage before = view->frame().copy();
    const OrbitCamera start = w.view->logic().camera();
    const QPoint c = view->rect().center();
    QTest::mousePress(view, Qt::LeftButton, {}, c);
    QTest::mouseMove(view, c + QPoint(60, 25));
    QTest::mouseRelease(view, Qt::LeftButton, {}, c + QPoint(120, 50));
    const OrbitCamera turned = w.view->logic().camera();
    EXPECT_NE(turned.yaw, start.yaw);
    EXPECT_GT(turned.pitch, start.pitch);  // dragging down looks from higher up
    EXPECT_EQ(turned.distance, start.distance);
    view->repaint();
    EXPECT_GT(differingPixels(before, view->frame()), 2000);

    // The right button moves the shell, the wheel brings it closer.
    QTest::mousePress(view, Qt::RightButton, {}, c);
    QTest::mouseRelease(view, Qt::RightButton, {}, c + QPoint(40, 0));
    const OrbitCamera moved = w.view->logic().camera();
    EXPECT_NE(moved.target.x, turned.target.x);
    EXPECT_EQ(moved.yaw, turned.yaw);
    QWheelEvent wheel(QPointF(c), view->mapToGlobal(QPointF(c)), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_LT(w.view->logic().camera().distance, moved.distance);

    // A double-click fits the shell again: all of it, in the middle, none
    // of it at the edges; key 5 then looks from above.
    QTest::mouseDClick(view, Qt::LeftButton, {}, c);
    view->repaint();
    const QImage fitted = view->frame();
    long shell = 0, atEdges = 0;
    for (int y = 0; y < fitted.height(); ++y)
        for (int x = 0; x < fitted.width(); ++x) {
            const QColor p = fitted.pixelColor(x, y);
            if (p.red() <= 1.1 * p.blue() + 1) continue;  // sky, sea and plane are bluish
            ++shell;
            if (x < 3 || y < 3 || x >= fitted.width() - 3 || y >= fitted.height() - 3) ++atEdges;
        }
    EXPECT_GT(shell, fitted.width() * fitted.height() / 20);
    EXPECT_EQ(atEdges, 0);
    QTest::keyClick(w.view, Qt::Key_5);
    EXPECT_GT(w.view->logic().camera().pitch, 1.5);
}

TEST(ViewWindowGui, StageSliderShowsTheShellAtStage800InItsOrientation) {
    ViewWindows w;
    w.start();
    w.openView();
    QSlider* slider = w.view->stageSlider();
    ASSERT_TRUE(slider->isEnabled());
    EXPECT_EQ(slider->maximum(), 1699);
    EXPECT_EQ(slider->value(), 1699);
    const Vec3 grownUp = w.view->logic().worldUp();
    w.view->view()->repaint();
    const QImage grown = w.view->view()->frame().copy();

    slider->setValue(800);
    const RunState& run = w.main.logic().run;
    EXPECT_EQ(w.text(w.view, "STAGElbl"), "800 of 1699");
    EXPECT_EQ(w.text(w.view, "ORIlbl").toStdString(), OrientationLabel(run.orientationAngleByStage[800]));
    EXPECT_NE(w.text(w.view, "ORIlbl"), w.text(&w.main, "ORIlbl"));
    EXPECT_EQ(w.text(w.view, "DNSlbl").toStdString(),
              formatNumber(std::floor(1000 * run.hydrostaticsByStage[800].meanDensity) / 1000));
    // The world's up is the "up" the shell had at stage 800, not the grown shell's.
    const Vec3 up = w.view->logic().worldUp(), expected = unit(run.hydrostaticsByStage[800].upVector);
    EXPECT_NEAR(up.x, expected.x, 1e-9);
    EXPECT_NEAR(up.y, expected.y, 1e-9);
    EXPECT_NEAR(up.z, expected.z, 1e-9);
    EXPECT_GT(std::abs(up.x - grownUp.x) + std::abs(up.y - grownUp.y) + std::abs(up.z - grownUp.z), 0.1);
    // The light mesh while scrubbing, the full one once the slider rests.
    EXPECT_EQ(w.view->logic().shownMesh().ringPoints, kInteractiveRingPoints);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->logic().interacting(); }, 3000));
    EXPECT_EQ(w.view->logic().shownMesh().ringPoints, kFullRingPoints);
    EXPECT_LT(w.view->logic().shownMesh().triangleCount(), w.view->logic().shell().fine.triangleCount());
    w.view->view()->repaint();
    EXPECT_GT(differingPixels(grown, w.view->view()->frame()), 5000);

    // Pictures of the slider for the documentation: four stages side by side.
    if (!qgetenv("AMMONITE_SCREENSHOT_DIR").isEmpty()) {
        const int stages[] = {300, 800, 1200, 1699};
        const QSize cell(320, 300);
        QImage strip(cell.width() * 4, cell.height(), QImage::Format_ARGB32);
        QPainter painter(&strip);
        for (int k = 0; k < 4; ++k) {
            slider->setValue(stages[k]);
            w.view->logic().settle();
            w.view->view()->repaint();
            const QImage frame = w.view->view()->frame();
            const QRect source((frame.width() - cell.width() * 2) / 2, 0, cell.width() * 2, cell.height() * 2);
            painter.drawImage(QRect(QPoint(k * cell.width(), 0), cell), frame, source);
            painter.drawText(QRect(k * cell.width() + 8, 6, 200, 20), Qt::AlignLeft,
                             QStringLiteral("stage %1   %2°").arg(stages[k]).arg(w.text(w.view, "ORIlbl")));
        }
        painter.end();
        strip.save(QString::fromUtf8(qgetenv("AMMONITE_SCREENSHOT_DIR")) + QStringLiteral("/view3d_stages.png"));
    }

    // Back at the end, the grown shell and the main window's texts.
    slider->setValue(slider->maximum());
    EXPECT_EQ(w.text(w.view, "ORIlbl"), w.text(&w.main, "ORIlbl"));
}

TEST(ViewWindowGui, LiveRegrowsOnAProfileEditWithoutStart) {
    InScratchDir scratch;
    ViewWindows w;
    w.openView(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view->shellsReceived() >= 1 && !w.view->busy(); }, 10000));
    EXPECT_FALSE(w.view->logic().hasShell());
    EXPECT_TRUE(w.text(w.view, "statusLine").contains("START")) << w.text(w.view, "statusLine").toStdString();

    QTest::mouseClick(w.view->liveSwitch(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view->logic().hasShell() && !w.view->busy(); }, 10000));
    const QString before = w.text(w.view, "ORIlbl") + " " + w.text(w.view, "DNSlbl") + " " + w.text(w.view, "STBlbl");
    EXPECT_FALSE(w.text(w.view, "ORIlbl").isEmpty());

    // γ gets a point at stage 400, value 3.5, on GRAPH's chart.
    QTest::mouseClick(w.main.findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
    ProfileWindow* graph = w.main.profileWindow();
    ASSERT_TRUE(graph && QTest::qWaitForWindowExposed(graph));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !graph->logic().timerOn; }, 2000));
    QTest::mouseClick(graph->findChild<QPushButton*>("Ecmd"), Qt::LeftButton);
    QTest::mousePress(graph->chartView(), Qt::LeftButton, {}, QPoint(221, 300));
    QTest::mouseRelease(graph->chartView(), Qt::LeftButton, {}, QPoint(221, 300));
    ASSERT_EQ(w.model->gammaProfile.count, 2);

    auto after = [&] { return w.text(w.view, "ORIlbl") + " " + w.text(w.view, "DNSlbl") + " " + w.text(w.view, "STBlbl"); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return after() != before && !w.view->busy(); }, 10000)) << before.toStdString();
    // The main window ran nothing.
    EXPECT_FALSE(w.main.logic().run.hasRun);
    EXPECT_EQ(w.text(&w.main, "ORIlbl"), "");
}

TEST(ViewWindowGui, LiveWithUpdateMainWindowPressesStartAfterAThresholdBar) {
    ViewWindows w;
    w.start();
    w.openView();
    QTest::mouseClick(w.view->liveSwitch(), Qt::LeftButton);
    QTest::mouseClick(w.view->updateMainSwitch(), Qt::LeftButton);
    ASSERT_TRUE(w.view->updateMainSwitch()->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));

    const int growths = w.view->growthsStarted();
    int mainStarts = 0;
    const auto counting = w.main.document().listen([&](ModelDocument::Change what, const void*) {
        if (what == ModelDocument::Change::Run) ++mainStarts;
    });
    w.main.findChild<QScrollBar*>("ST1hsc")->setValue(150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view->growthsStarted() > growths && !w.view->busy(); }, 10000));
    QTest::qWait(3 * 80);  // a few more looks at the model start nothing new
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));
    EXPECT_LE(w.view->growthsStarted(), growths + 2);
    // The main window shows the regrown shell's texts, as after a START.
    EXPECT_EQ(w.text(&w.main, "ORIlbl"), w.text(w.view, "ORIlbl"));
    EXPECT_EQ(w.text(&w.main, "DNSlbl"), w.text(w.view, "DNSlbl"));
    EXPECT_GT(mainStarts, 0);

    // A growth that stops keeps the last shell and says why.
    const size_t triangles = w.view->logic().shell().coarse.triangleCount();
    {
        ModelDocument::Batch oneEdit(w.main.document());
        w.main.document().setDensity(0, 0);
        w.main.document().setDensity(1, 0);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.text(w.view, "statusLine").isEmpty(); }, 10000));
    EXPECT_TRUE(w.text(w.view, "statusLine").contains("mass")) << w.text(w.view, "statusLine").toStdString();
    EXPECT_TRUE(w.view->logic().hasShell());
    EXPECT_EQ(w.view->logic().shell().coarse.triangleCount(), triangles);
}

TEST(ViewWindowGui, TickingLiveAfterStartsAddsNoStartOfItsOwn) {
    ViewWindows w;
    w.start();
    w.start();  // the second START of the default scenario
    w.openView();
    const int growths = w.view->growthsStarted();
    QTest::mouseClick(w.view->liveSwitch(), Qt::LeftButton);
    QTest::qWait(4 * 80);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));
    // The main window's shell is the scenario's: VIEW shows it and grows nothing.
    EXPECT_EQ(w.view->growthsStarted(), growths);
    EXPECT_EQ(w.text(w.view, "DNSlbl"), w.text(&w.main, "DNSlbl"));
    EXPECT_EQ(w.text(w.view, "ORIlbl"), w.text(&w.main, "ORIlbl"));
    // An edited input is grown from a fresh start, never on top of the two STARTs.
    w.main.document().setDensity(1, 1.4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view->growthsStarted() > growths && !w.view->busy(); }, 10000));
    Scenario edited;
    std::string error;
    ASSERT_TRUE(w.main.scenarioFiles().scenario().current(edited, error)) << error;
    EXPECT_EQ(edited.runs, 1);
    // The main window grown from a fresh start on the same inputs shows the same shell.
    ASSERT_TRUE(w.main.scenarioFiles().regrow());
    EXPECT_EQ(w.text(w.view, "DNSlbl"), w.text(&w.main, "DNSlbl"));
    EXPECT_EQ(w.text(w.view, "ORIlbl"), w.text(&w.main, "ORIlbl"));
}

TEST(ViewWindowGui, AnEditReachesLiveRegrowthThroughTheDocumentWithoutATimer) {
    ViewWindows w;
    w.start();
    w.openView();
    QTest::mouseClick(w.view->liveSwitch(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));
    // VIEW keeps no timer of its own running: it waits to be told.
    for (QTimer* timer : w.view->findChildren<QTimer*>()) EXPECT_FALSE(timer->isActive()) << timer->interval();

    // A value set by another window: the growth is under way before any event
    // or timer has had a chance to run.
    const int growths = w.view->growthsStarted();
    w.main.document().setDensity(1, 1.35);
    EXPECT_EQ(w.view->growthsStarted(), growths + 1);
    EXPECT_TRUE(w.view->busy());
    // Two values set in one action make one growth after it, not one each.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));
    {
        ModelDocument::Batch oneAction(w.main.document());
        w.main.document().setDensity(0, 0.8);
        w.main.document().setDensity(1, 1.3);
        EXPECT_EQ(w.view->growthsStarted(), growths + 1);
    }
    EXPECT_EQ(w.view->growthsStarted(), growths + 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));
    // The main window's stage box, typed into: the same at once.
    w.main.logic().TypeStages("900");
    EXPECT_EQ(w.view->growthsStarted(), growths + 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view->busy(); }, 10000));
    // Set to what it already was: announced, but nothing new to grow.
    w.main.document().setDensity(1, 1.3);
    EXPECT_EQ(w.view->growthsStarted(), growths + 3);
}

TEST(ViewWindowGui, ClosedViewLeavesTheMainWindowAlone) {
    ViewWindows w;
    w.openView(false);
    QTest::mouseClick(w.view->liveSwitch(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view->logic().hasShell() && !w.view->busy(); }, 10000));
    w.view->close();
    const int growths = w.view->growthsStarted();
    w.main.document().setDensity(0, 0.7);
    QTest::qWait(300);
    EXPECT_EQ(w.view->growthsStarted(), growths);
    // F3 brings it back, and it catches up with the change.
    w.main.activateWindow();
    (void)QTest::qWaitForWindowActive(&w.main);
    QTest::keyClick(&w.main, Qt::Key_F3);
    EXPECT_TRUE(w.view->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->growthsStarted() > growths; }, 5000));
}
