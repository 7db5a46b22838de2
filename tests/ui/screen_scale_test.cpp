// The windows on the screens users have: 1920 × 1080 at 100 %, 150 % and
// 200 % (the toolkit's scale factor on the offscreen platform) and 1366 × 768
// at 100 %. The scale is fixed when the toolkit starts, so each screen runs
// this program again with the factor and the screen set; the child runs the
// ScreenScaleAt tests below.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "ui/main_window.h"
#include "ui/morpho_window.h"
#include "ui/profile_window.h"
#include "ui/scratch_dir.h"
#include "ui/view_window.h"
#include "ui/window_place.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

double childScale() {
    const QByteArray v = qgetenv("AMMONITE_SCALE_CHILD");
    return v.isEmpty() ? 0 : v.toDouble();
}

QSize childScreen() {
    const QList<QByteArray> v = qgetenv("AMMONITE_SCALE_SCREEN").split('x');
    return v.size() == 2 ? QSize(v[0].toInt(), v[1].toInt()) : QSize(1920, 1080);
}

// The child's result for one screen and scale factor, with its output for the report.
void runAtScale(const char* factor, int width = 1920, int height = 1080) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString config = dir.filePath("screen.json");
    {
        std::ofstream out(config.toStdString());
        out << R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": )" << width << R"(, "height": )" << height
            << R"(, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    env.insert("QT_SCALE_FACTOR", factor);
    env.insert("AMMONITE_SCALE_CHILD", factor);
    env.insert("AMMONITE_SCALE_SCREEN", QString("%1x%2").arg(width).arg(height));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ScreenScaleAt.*"});
    ASSERT_TRUE(child.waitForFinished(240000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << factor << " on " << width << "x" << height << "\n" << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 3 tests")) << out.toStdString();
}

// Whether the widget lies whole inside its window's visible area: inside
// every widget around it, so not cut off nor scrolled away.
bool inside(QWidget* widget, QWidget* window) {
    if (!widget || !widget->isVisible()) return false;
    for (QWidget* w = widget; w != window && w->parentWidget(); w = w->parentWidget()) {
        QWidget* p = w->parentWidget();
        const QRect r(widget->mapTo(p, QPoint(0, 0)), widget->size());
        if (!p->rect().contains(r)) return false;
    }
    return true;
}

// Whether the shown window lies whole, frame included, on its screen.
bool wholeOnScreen(QWidget* window) {
    return window->screen()->availableGeometry().contains(window->frameGeometry());
}

std::string where(QWidget* window) {
    const QRect f = window->frameGeometry();
    return window->objectName().toStdString() + " at " + std::to_string(f.x()) + "," + std::to_string(f.y()) + " " +
           std::to_string(f.width()) + "x" + std::to_string(f.height());
}

void pressAt(QWidget* w, QPointF at, QEvent::Type type = QEvent::MouseButtonPress) {
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// The picture of a view has a pixel per device pixel it covers (or, shown
// below a device pixel per unit, one pixel per unit).
bool pixelForPixel(SurfaceView* view, ImageSurface& surface) {
    const double covered = view->pictureRect().width() * view->devicePixelRatioF();
    const double want = std::max(covered, double(surface.width()));
    return QTest::qWaitFor([&] { return std::abs(surface.image().width() - want) < 1; }, 3000);
}

}  // namespace

TEST(ScreenScale, EveryWindowFitsAt100150And200PercentAndOnASmallScreen) {
    runAtScale("1");
    runAtScale("1.5");
    runAtScale("2");
    runAtScale("1", 1366, 768);
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
    const QSize device = childScreen();
    EXPECT_EQ(screen.size(), QSize(std::lround(device.width() / scale), std::lround(device.height() / scale)));
    EXPECT_TRUE(wholeOnScreen(&main)) << where(&main);
    // The control column, the SETTING button and the status line are on screen.
    for (const char* name : {"STARTcmd", "GRAPHcmd", "SETcmd", "SHADINGcmd", "EXPORTcmd", "PLOTcmd", "VIEWcmd",
                             "MORPHOcmd", "NUMtxt", "SCLtxt", "ST2hsc", "statusLine", "PBX"})
        EXPECT_TRUE(inside(main.findChild<QWidget*>(name), &main)) << name;
    // The picture keeps its 1000 × 760 units and has a pixel per device pixel
    // it covers; at 100 % on a large screen it is shown at its own size.
    EXPECT_EQ(main.surface().width(), 1000);
    EXPECT_TRUE(pixelForPixel(main.surfaceView(), main.surface())) << main.surface().image().width();
    EXPECT_DOUBLE_EQ(main.surface().image().devicePixelRatio(), main.surface().resolution());
    if (scale == 1 && device.width() == 1920) {
        EXPECT_EQ(main.surfaceView()->pictureRect().size(), QSizeF(1000, 760));
        EXPECT_EQ(main.surface().image().size(), QSize(1000, 760));
    }

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
    if (scale > 1) {
        EXPECT_GT(split, coloured / 20);
    }
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
    EXPECT_TRUE(wholeOnScreen(w)) << where(w);
    SurfaceView* chart = w->chartView();
    EXPECT_TRUE(pixelForPixel(chart, w->chartImage())) << w->chartImage().image().width();
    QTest::mouseClick(w->findChild<QPushButton*>("Ecmd"), Qt::LeftButton);
    // A press at x 200.6667 units inserts a point at a whole stage, 4 × (201 − 21).
    const double k = chart->shownScale();
    pressAt(chart, QPointF(200.6667 * k, 300.3333 * k));
    pressAt(chart, QPointF(200.6667 * k, 300.3333 * k), QEvent::MouseButtonRelease);
    ASSERT_EQ(model->gammaProfile.count, 2);
    EXPECT_EQ(model->gammaProfile.stages[1], 720);
    // The final-stage marker at 3000 (x = 771, as after a run) is taken a
    // little beside it.
    model->lastStage = 3000;
    QTest::mouseClick(w->findChild<QPushButton*>("Scmd"), Qt::LeftButton);
    pressAt(chart, QPointF(773.4 * k, 300 * k));
    EXPECT_TRUE(w->logic().dragging);
    pressAt(chart, QPointF(773.4 * k, 300 * k), QEvent::MouseButtonRelease);

    // The settings window opens within the screen too.
    main.openSettingsWindow();
    QWidget* settings = main.settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_TRUE(wholeOnScreen(settings)) << where(settings);
}

// Every window opens whole on the screen, frame included, with the controls
// it is used by in view: none cut off by the screen or scrolled away.
TEST(ScreenScaleAt, EveryWindowOpensWholeWithItsControlsInView) {
    const double scale = childScale();
    if (scale == 0) GTEST_SKIP() << "runs in a child with the screen scaled";
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QTest::mouseClick(main.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    const std::vector<std::pair<const char*, std::vector<const char*>>> windows = {
        {"GRAPHcmd", {"GRAPHpct", "XCMtxt", "YCMtxt", "Scmd", "Bcmd", "Ecmd", "Ccmd", "Tcmd", "PDLcmd", "OKcom",
                      "LOADcmd", "SAVEcmd", "statusLine"}},
        {"SETcmd", {"FRpct", "GItxt", "SCLtxt", "VXtxt", "LZtxt", "DAtxt", "DBtxt", "Conf", "statusLine"}},
        {"VIEWcmd", {"VIEWpct", "STAGEsld", "STAGElbl", "ORIlbl", "DNSlbl", "PTRlbl", "STBlbl", "LIVEchk", "MAINchk",
                     "FITcmd", "statusLine"}},
        {"MORPHOcmd", {"xName", "xFrom", "xTo", "xSteps", "yName", "ySteps", "resultBox", "RUNcmd", "CANCELcmd",
                       "EXPORTcmd", "progress", "map", "hoverLine", "statusLine", "infoLine"}}};
    for (const auto& [button, controls] : windows) {
        QTest::mouseClick(main.findChild<QPushButton*>(button), Qt::LeftButton);
        QWidget* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != &main && w->findChild<QWidget*>(QString::fromLatin1(controls.front())))
                window = w;
        ASSERT_TRUE(window) << button;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << button;
        QTest::qWait(50);
        EXPECT_TRUE(wholeOnScreen(window)) << where(window);
        for (const char* name : controls)
            EXPECT_TRUE(inside(window->findChild<QWidget*>(QString::fromLatin1(name)), window))
                << window->objectName().toStdString() << " " << name;
    }
    // The README's pictures of VIEW and MORPHO at 200 % on a 1920 × 1080 screen.
    if (const QByteArray dir = qgetenv("AMMONITE_SCREENSHOT_DIR");
        !dir.isEmpty() && scale == 2 && childScreen().width() == 1920) {
        auto* view = main.findChild<ViewWindow*>("VIEW");
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->shellsReceived() > 0 && !view->busy(); }, 60000));
        QTest::qWait(400);
        view->grab().save(QString::fromUtf8(dir) + "/view3d_2x.png");
        auto* morpho = main.findChild<MorphoWindow*>("MORPHO");
        morpho->findChild<QLineEdit*>("xSteps")->setText("16");
        morpho->findChild<QLineEdit*>("ySteps")->setText("16");
        QSignalSpy done(morpho, &MorphoWindow::runFinished);
        ASSERT_TRUE(morpho->run());
        ASSERT_TRUE(done.wait(240000));
        QTest::qWait(300);
        morpho->grab().save(QString::fromUtf8(dir) + "/morpho_2x.png");
    }
    // The About box and a message box too.
    main.showAbout();
    ASSERT_TRUE(main.aboutBox());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.aboutBox()));
    EXPECT_TRUE(wholeOnScreen(main.aboutBox())) << where(main.aboutBox());
    main.aboutBox()->close();

    // A place remembered where no screen is now is not taken again.
    QWidget far;
    far.setGeometry(3000, 2000, 900, 700);
    RememberWindowPlace(&far, QStringLiteral("view"));
    OpenViewWindow(main)->close();
    delete main.findChild<ViewWindow*>();
    ViewWindow* view = OpenViewWindow(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    EXPECT_TRUE(wholeOnScreen(view)) << where(view);
    WindowSettings().clear();
}
