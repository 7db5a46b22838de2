// The windows on a scaled screen: a 1920 × 1080 screen at 150 % and 200 %
// (the toolkit's scale factor on the offscreen platform). The scale is fixed
// when the toolkit starts, so each scale runs this program again with the
// factor set; the child runs the ScreenScaleAt tests below.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ui/main_window.h"
#include "ui/profile_window.h"
#include "ui/scratch_dir.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

double childScale() {
    const QByteArray v = qgetenv("AMMONITE_SCALE_CHILD");
    return v.isEmpty() ? 0 : v.toDouble();
}

// The child's result for one scale factor, with its output for the report.
void runAtScale(const char* factor) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString config = dir.filePath("screen.json");
    {
        std::ofstream out(config.toStdString());
        out << R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
            << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    env.insert("QT_SCALE_FACTOR", factor);
    env.insert("AMMONITE_SCALE_CHILD", factor);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ScreenScaleAt.*"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 2 tests")) << out.toStdString();
}

// Whether the widget lies whole inside its window's visible area.
bool inside(QWidget* widget, QWidget* window) {
    const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
    return widget->isVisible() && window->rect().contains(r);
}

void pressAt(QWidget* w, QPointF at, QEvent::Type type = QEvent::MouseButtonPress) {
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

}  // namespace

TEST(ScreenScale, MainWindowFitsAndDrawsSharplyAt150And200Percent) {
    runAtScale("1.5");
    runAtScale("2");
}

TEST(ScreenScaleAt, MainWindowFitsTheScreenWithFullResolutionPicture) {
    const double scale = childScale();
    if (scale == 0) GTEST_SKIP() << "runs in a child with the screen scaled";
    ASSERT_DOUBLE_EQ(qApp->devicePixelRatio(), scale);
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QRect screen = main.screen()->availableGeometry();
    EXPECT_EQ(screen.size(), QSize(std::lround(1920 / scale), std::lround(1080 / scale)));
    EXPECT_TRUE(screen.contains(main.frameGeometry())) << main.frameGeometry().width() << "x"
                                                        << main.frameGeometry().height();
    // The control column, the SETTING button and the status line are on screen.
    for (const char* name : {"STARTcmd", "GRAPHcmd", "SETcmd", "SHADINGcmd", "EXPORTcmd", "PLOTcmd"})
        EXPECT_TRUE(inside(main.findChild<QPushButton*>(name), &main)) << name;
    EXPECT_TRUE(inside(main.findChild<QLabel*>("statusLine"), &main));
    EXPECT_TRUE(inside(main.findChild<QWidget*>("PBX"), &main));
    // The picture keeps its 1000 × 760 units and has a pixel per device pixel.
    EXPECT_EQ(main.surface().width(), 1000);
    EXPECT_EQ(main.surface().image().width(), std::lround(1000 * scale));
    EXPECT_EQ(main.surface().image().height(), std::lround(760 * scale));
    EXPECT_DOUBLE_EQ(main.surface().image().devicePixelRatio(), scale);

    // A run draws at full resolution: the axes are lines a device pixel or
    // two wide, not blown-up unit pixels.
    QTest::mouseClick(main.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    EXPECT_EQ(main.logic().statusLine.caption(), "");

    // A press at a fractional position reaches the logic in whole units.
    SurfaceView* view = main.surfaceView();
    QSignalSpy spy(view, &SurfaceView::pressed);
    const QRectF picture = view->pictureRect();
    const double k = picture.width() / 1000;  // logical pixels per unit
    pressAt(view, QPointF(400.6667 * k, 200.3333 * k));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toDouble(), 401);
    EXPECT_EQ(spy.at(0).at(1).toDouble(), 200);
    pressAt(view, QPointF(400.6667 * k, 200.3333 * k), QEvent::MouseButtonRelease);

    // The shaded shell is painted at full resolution too: shapes, not unit
    // pixels blown up, so neighbouring device pixels differ inside a unit.
    QTest::mouseClick(main.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(main.findChild<QPushButton*>("SHADINGcmd"), Qt::LeftButton);
    std::printf("shading at %.1f x: %lld ms\n", scale, static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(main.logic().statusLine.caption(), "");
    const QImage& image = main.surface().image();
    int coloured = 0, split = 0;
    const int step = static_cast<int>(std::ceil(scale));
    for (int y = 0; y + step < image.height(); y += step)
        for (int x = 0; x + step < image.width(); x += step) {
            const QRgb p = image.pixel(x, y);
            if (p == qRgb(255, 255, 255)) continue;
            ++coloured;
            if (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p) ++split;
        }
    EXPECT_GT(coloured, 10000);
    EXPECT_GT(split, coloured / 20);
    if (const QByteArray dir = qgetenv("AMMONITE_SCREENSHOT_DIR"); !dir.isEmpty() && scale == 2) {
        main.resize(main.screen()->availableGeometry().size() - QSize(16, 48));
        QApplication::processEvents();
        main.grab().save(QString::fromUtf8(dir) + "/main_window_2x.png");
    }
}

TEST(ScreenScaleAt, ChartTakesWholeUnitsAndTheMarkerWithinReach) {
    const double scale = childScale();
    if (scale == 0) GTEST_SKIP() << "runs in a child with the screen scaled";
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    main.openProfileWindow();
    ProfileWindow* w = main.profileWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_TRUE(w->screen()->availableGeometry().contains(w->frameGeometry()))
        << w->frameGeometry().x() << "," << w->frameGeometry().y() << " " << w->frameGeometry().width() << "x"
        << w->frameGeometry().height();
    EXPECT_EQ(w->chartImage().image().width(), std::lround(1041 * scale));
    QTest::mouseClick(w->findChild<QPushButton*>("Ecmd"), Qt::LeftButton);
    // A press at x 200.6667 inserts a point at a whole stage, 4 × (201 − 21).
    SurfaceView* chart = w->chartView();
    pressAt(chart, QPointF(200.6667, 300.3333));
    pressAt(chart, QPointF(200.6667, 300.3333), QEvent::MouseButtonRelease);
    ASSERT_EQ(model->gammaProfile.count, 2);
    EXPECT_EQ(model->gammaProfile.stages[1], 720);
    // The final-stage marker at 3000 (x = 771, as after a run) is taken a
    // little beside it.
    model->lastStage = 3000;
    QTest::mouseClick(w->findChild<QPushButton*>("Scmd"), Qt::LeftButton);
    pressAt(chart, QPointF(773.4, 300));
    EXPECT_TRUE(w->logic().dragging);

    // The settings window opens within the screen too.
    main.openSettingsWindow();
    QWidget* settings = main.settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_TRUE(settings->screen()->availableGeometry().contains(settings->frameGeometry()));
}
