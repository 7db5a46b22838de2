// What a desktop user takes away and how the program ends: the main
// picture's PNG at 1× (the batch tool's picture) and 2×, save dialogs that
// start in the working folder and write files matching their names, the main
// window after a MORPHO cell that stopped on an error, the pictures of GRAPH,
// SETTING and MORPHO drawn at 1× and 2×, and quitting from any window state.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/batch_process.h"
#include "ui/export_path.h"
#include "ui/main_window.h"
#include "ui/morpho_window.h"
#include "ui/profile_window.h"
#include "ui/scratch_dir.h"
#include "ui/settings_window.h"
#include "ui/surface_view.h"
#include "ui/window_place.h"

using namespace ammonite;

namespace {

struct Shown {
    InScratchDir scratch;
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<MainWindow> main = std::make_unique<MainWindow>(*model);
    Shown() {
        WindowSettings().clear();
        main->show();
        (void)QTest::qWaitForWindowExposed(main.get());
    }
    ~Shown() {
        ExportRenameQuestion() = nullptr;
        WindowSettings().clear();
    }
    template <class T = QWidget>
    T* child(const char* name) const {
        return main->findChild<T*>(QString::fromLatin1(name));
    }
    void start() const { QTest::mouseClick(child<QPushButton>("STARTcmd"), Qt::LeftButton); }
    // Types into a box of the main window as the user does.
    void type(const char* box, const QString& text) const {
        auto* edit = child<QLineEdit>(box);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    MorphoWindow* openMorpho() const {
        QTest::mouseClick(child<QPushButton>("MORPHOcmd"), Qt::LeftButton);
        return main->findChild<MorphoWindow*>("MORPHO");
    }
};

QImage argb(const QString& path) { return QImage(path).convertToFormat(QImage::Format_ARGB32); }

// How far a picture drawn at 2× is from the one drawn at 1×: its 2 × 2
// blocks averaged, the mean difference per colour channel (0..255) and the
// share of pixels that differ by more than half the range.
struct Likeness {
    double mean = 255, farShare = 1;
};
Likeness compareHalved(const QImage& one, const QImage& two) {
    Likeness l;
    const QImage a = one.convertToFormat(QImage::Format_ARGB32), b = two.convertToFormat(QImage::Format_ARGB32);
    if (b.width() != 2 * a.width() || b.height() != 2 * a.height()) return l;
    double sum = 0;
    long far = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            int worst = 0;
            const QRgb p = a.pixel(x, y);
            const QRgb q[4] = {b.pixel(2 * x, 2 * y), b.pixel(2 * x + 1, 2 * y), b.pixel(2 * x, 2 * y + 1),
                               b.pixel(2 * x + 1, 2 * y + 1)};
            for (int shift : {16, 8, 0}) {
                auto channel = [shift](QRgb c) { return static_cast<int>((c >> shift) & 0xff); };
                const double mean = (channel(q[0]) + channel(q[1]) + channel(q[2]) + channel(q[3])) / 4.0;
                const double d = std::fabs(mean - channel(p));
                sum += d;
                worst = std::max(worst, static_cast<int>(d));
            }
            far += worst > 128 ? 1 : 0;
        }
    l.mean = sum / (3.0 * a.width() * a.height());
    l.farShare = double(far) / (double(a.width()) * a.height());
    return l;
}

}  // namespace

TEST(MainPicture, PngAt100PercentIsTheBatchToolsPictureAnd2xDoublesIt) {
    Shown s;
    // At 100 % on a large screen the picture is shown at its own size.
    EXPECT_EQ(s.main->surfaceView()->pictureRect().size(), QSizeF(1000, 760));
    EXPECT_EQ(s.main->surface().image().size(), QSize(1000, 760));
    s.start();
    ASSERT_EQ(s.main->logic().statusLine.caption(), "");
    QTemporaryDir dir;
    ASSERT_TRUE(s.main->savePicturePng(dir.filePath("window.png")));
    const auto batch = batch_test::runBatch({"--png", dir.filePath("batch.png")});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const QImage window = argb(dir.filePath("window.png")), tool = argb(dir.filePath("batch.png"));
    ASSERT_EQ(window.size(), QSize(1000, 760));
    EXPECT_TRUE(window == tool) << "the window's PNG differs from the batch tool's";

    // 2× for print: twice the pixels each way, the same drawing; menu and file name agree.
    QString answer = dir.filePath("print");
    s.main->askSavePath = [&](const QString&, const QString&, const QString&) { return answer; };
    s.main->findChild<QAction*>("savePng2xAction")->trigger();
    const QImage print = argb(dir.filePath("print.png"));
    ASSERT_EQ(print.size(), QSize(2000, 1520));
    const Likeness l = compareHalved(window, print);
    EXPECT_LT(l.mean, 4) << l.mean;
    EXPECT_LT(l.farShare, 0.01) << l.farShare;

    // The 1× PNG is the same whatever resolution the window shows it at.
    s.main->resize(1900, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.main->surface().resolution() > 1; }, 3000));
    ASSERT_TRUE(s.main->savePicturePng(dir.filePath("again.png")));
    const QImage again = argb(dir.filePath("again.png"));
    ASSERT_EQ(again.size(), QSize(1000, 760));
    long differing = 0;
    for (int y = 0; y < 760; ++y)
        for (int x = 0; x < 1000; ++x) differing += again.pixel(x, y) != window.pixel(x, y) ? 1 : 0;
    EXPECT_LT(differing, 1000 * 760 / 1000) << differing;
}

TEST(ExportNames, APngDialogNeverWritesPngBytesUnderAnotherKindsName) {
    Shown s;
    s.start();
    QTemporaryDir dir;
    QString answer, suggested;
    s.main->askSavePath = [&](const QString&, const QString& at, const QString&) {
        suggested = at;
        return answer;
    };
    QStringList asked;
    bool agree = false;
    ExportRenameQuestion() = [&](const QString& typed, const QString& corrected) {
        asked << QFileInfo(typed).fileName() + " -> " + QFileInfo(corrected).fileName();
        return agree;
    };
    auto* png = s.main->findChild<QAction*>("savePngAction");
    auto* svg = s.main->findChild<QAction*>("saveSvgAction");
    // The first dialog starts in the working folder.
    answer = dir.filePath("pic.svg");
    png->trigger();
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QDir::currentPath());
    ASSERT_EQ(asked, QStringList{"pic.svg -> pic.png"});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("pic.svg")));  // declined: nothing written
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("pic.png")));
    agree = true;
    png->trigger();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("pic.svg")));
    ASSERT_TRUE(QFileInfo::exists(dir.filePath("pic.png")));
    EXPECT_EQ(QImage(dir.filePath("pic.png")).size(), QSize(1000, 760));
    EXPECT_EQ(s.main->infoText(), "Saved pic.png");
    // The next dialog starts where that file went.
    answer = dir.filePath("drawing");
    svg->trigger();
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    QFile drawing(dir.filePath("drawing.svg"));
    ASSERT_TRUE(drawing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(drawing.readAll().contains("<svg"));
    // A name the extension of no kind of file: the type's is added.
    answer = dir.filePath("shell.v2");
    png->trigger();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("shell.v2.png")));
    // Upper case is the same extension; the SVG dialog corrects a PNG name too.
    answer = dir.filePath("UPPER.PNG");
    png->trigger();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("UPPER.PNG")));
    answer = dir.filePath("vector.png");
    svg->trigger();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("vector.svg")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("vector.png")));
    EXPECT_EQ(asked.size(), 3);
    EXPECT_EQ(FilterExtension("PNG pictures (*.png)"), "png");
}

TEST(ExportNames, MorphoExportsStartInTheWorkingFolderWithTheirExtensions) {
    Shown s;
    MorphoWindow* m = s.openMorpho();
    ASSERT_TRUE(m);
    // Before the first RUN the progress bar counts nothing.
    EXPECT_EQ(m->findChild<QProgressBar*>("progress")->text(), "no shells grown yet");
    s.type("NUMtxt", "120");
    auto set = [&](const char* box, const char* text) { m->findChild<QLineEdit*>(box)->setText(text); };
    set("xSteps", "2");
    set("ySteps", "2");
    QSignalSpy done(m, &MorphoWindow::runFinished);
    ASSERT_TRUE(m->run());
    ASSERT_TRUE(done.wait(120000));
    QString answer, suggested;
    int questions = 0;
    ExportRenameQuestion() = [&](const QString&, const QString&) { return ++questions, false; };
    m->askSavePath = [&](const QString&, const QString& at, const QString&) {
        suggested = at;
        return answer;
    };
    answer = QDir::current().filePath("grid");
    m->findChild<QAction*>("saveCsvAction")->trigger();
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QDir::currentPath());
    EXPECT_TRUE(QFileInfo::exists("grid.csv"));
    answer = QDir::current().filePath("map");
    m->findChild<QAction*>("savePngAction")->trigger();
    EXPECT_EQ(QImage("map.png").size(), QSize(MorphoWindow::kMapWidth, MorphoWindow::kMapHeight));
    m->findChild<QAction*>("saveSvgAction")->trigger();
    QFile svg("map.svg");
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
    EXPECT_EQ(QImage("map.png").size(), QSize(MorphoWindow::kMapWidth, MorphoWindow::kMapHeight));  // untouched
    EXPECT_EQ(questions, 0);
    EXPECT_FALSE(QFileInfo::exists("grid") || QFileInfo::exists("map"));
}

TEST(ErrorCell, TheMainWindowShowsWhatTheStoppedGrowthLeft) {
    Shown s;
    MorphoWindow* m = s.openMorpho();
    ASSERT_TRUE(m);
    // γ = 1 over 300 stages stops on a runtime error; γ = 4 grows whole.
    m->findChild<QComboBox*>("xName")->setCurrentText("gamma");
    auto set = [&](const char* box, const char* text) { m->findChild<QLineEdit*>(box)->setText(text); };
    set("xFrom", "1");
    set("xTo", "4");
    set("xSteps", "2");
    set("ySteps", "2");
    s.type("NUMtxt", "300");
    QSignalSpy done(m, &MorphoWindow::runFinished);
    ASSERT_TRUE(m->run());
    ASSERT_TRUE(done.wait(120000));
    MorphoLogic& logic = m->logic();
    const size_t stopped = logic.CellIndex(0, 1), grown = logic.CellIndex(1, 1);
    ASSERT_EQ(logic.cellState(stopped), MorphoLogic::CellState::Error);
    ASSERT_EQ(logic.cellState(grown), MorphoLogic::CellState::Done);

    ASSERT_TRUE(logic.OpenCell(grown));
    const QString grownStages = s.child<QLineEdit>("NUMtxt")->text();
    EXPECT_FALSE(s.child<QLabel>("DNSlbl")->text().isEmpty());
    EXPECT_NE(grownStages, "300");  // a whole run settles the count it built

    logic.OpenCell(stopped);
    EXPECT_FALSE(s.main->logic().statusLine.caption().empty());
    // Grown from the sweep's stage count, not the one the cell before left:
    // the box holds what the stopped growth settled, as the sweep's row does.
    EXPECT_EQ(s.child<QLineEdit>("NUMtxt")->text(), QString::number(logic.row(stopped).shownStage));
    // No density, stability or P/T ratio of the shell before it.
    EXPECT_EQ(s.child<QLabel>("DNSlbl")->text(), "");
    EXPECT_EQ(s.child<QLabel>("STBlbl")->text(), "");
    EXPECT_EQ(s.child<QLineEdit>("PTRtxt")->text(), "");
    // The orientation in the report's form: tenths at most.
    const QString angle = s.child<QLabel>("ORIlbl")->text();
    EXPECT_TRUE(QRegularExpression("^-?\\d*(\\.\\d)?$").match(angle).hasMatch()) << angle.toStdString();
    // A typed scale that is no number stops START before the growth: the
    // last shell's labels stay with its picture.
    logic.OpenCell(grown);
    const QString density = s.child<QLabel>("DNSlbl")->text();
    s.type("SCLtxt", "x");
    s.start();
    EXPECT_FALSE(s.main->logic().statusLine.caption().empty());
    EXPECT_EQ(s.child<QLabel>("DNSlbl")->text(), density);
}

TEST(PictureScale, ChartPreviewAndMapDrawnAt2xAreThe1xDrawingWithTwiceThePixels) {
    Shown s;
    s.start();
    s.main->openProfileWindow();
    ProfileWindow* chart = s.main->profileWindow();
    s.main->openSettingsWindow();
    SettingsWindow* settings = s.main->settingsWindow();
    MorphoWindow* morpho = s.openMorpho();
    ASSERT_TRUE(chart && settings && morpho);
    morpho->findChild<QLineEdit*>("xSteps")->setText("3");
    morpho->findChild<QLineEdit*>("ySteps")->setText("3");
    s.type("NUMtxt", "150");
    QSignalSpy done(morpho, &MorphoWindow::runFinished);
    ASSERT_TRUE(morpho->run());
    ASSERT_TRUE(done.wait(120000));

    struct Picture {
        const char* name;
        std::function<void(double)> paint;
        std::function<QImage()> image;
    };
    const Picture pictures[] = {
        {"chart", [&](double r) { chart->paintChartAt(r); }, [&] { return chart->chartImage().image().copy(); }},
        {"preview", [&](double r) { settings->paintPreviewAt(r); },
         [&] { return settings->previewSurface().image().copy(); }},
        {"map", [&](double r) { morpho->paintMapAt(r); }, [&] { return morpho->surface().image().copy(); }}};
    for (const Picture& p : pictures) {
        p.paint(1);
        const QImage one = p.image();
        p.paint(2);
        const QImage two = p.image();
        ASSERT_EQ(two.size(), one.size() * 2) << p.name;
        const Likeness l = compareHalved(one, two);
        std::printf("%s: mean difference %.2f, far %.4f\n", p.name, l.mean, l.farShare);
        EXPECT_LT(l.mean, 6) << p.name;
        EXPECT_LT(l.farShare, 0.02) << p.name;
    }
}

// SETTING's preview takes the room of a larger window, drawn for the pixels
// it then covers, and gives it back down to the design's box.
TEST(PictureScale, EnlargingSettingEnlargesItsPreviewAndShrinkingStopsAtTheDesignBox) {
    Shown s;
    s.main->openSettingsWindow();
    SettingsWindow* settings = s.main->settingsWindow();
    ASSERT_TRUE(settings);
    (void)QTest::qWaitForWindowExposed(settings);
    // The origin where the whole sketch lies inside the box.
    s.model->originX = 400;
    s.model->originY = 300;
    settings->paintPreviewAt(1);
    SurfaceView* view = settings->previewView();
    auto* frame = settings->findChild<QWidget*>("FRfra");
    auto* page = settings->findChild<QWidget*>("settingsPage");
    ASSERT_TRUE(view && frame && page);
    const QSize designView = view->size();
    const QSize designImage = settings->previewSurface().image().size();
    const QImage one = settings->previewSurface().image().copy();
    const QSize window = settings->size();
    const QRect conf = settings->findChild<QWidget*>("Conf")->geometry();
    const QRect status = settings->findChild<QWidget*>("statusLine")->geometry();

    // Twice the design's box each way: the preview is drawn at 2×, the
    // same sketch with twice the pixels.
    settings->resize(window + frame->size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings->previewSurface().resolution() > 1.5; }, 3000));
    EXPECT_EQ(view->width(), 2 * designView.width() + 4);
    EXPECT_EQ(view->height(), 2 * designView.height() + 4);
    EXPECT_DOUBLE_EQ(settings->previewSurface().resolution(), 2);
    const QImage two = settings->previewSurface().image().copy();
    ASSERT_EQ(two.size(), designImage * 2);
    const Likeness l = compareHalved(one, two);
    EXPECT_LT(l.mean, 6) << l.mean;
    EXPECT_LT(l.farShare, 0.02) << l.farShare;
    // The controls right of it and below it moved along, none over it, and
    // the status line is still on the page.
    EXPECT_EQ(settings->findChild<QWidget*>("Conf")->geometry(), conf.translated(frame->width() / 2, 0));
    for (const char* name : {"ORIGINvsc", "ORIGINhsc", "OXtxt", "OYtxt", "LXtxt", "LIGHTvsc", "VIEWvsc", "REFfra"}) {
        auto* w = settings->findChild<QWidget*>(name);
        ASSERT_TRUE(w) << name;
        EXPECT_FALSE(w->geometry().intersects(frame->geometry())) << name;
    }
    const QRect statusNow = settings->findChild<QWidget*>("statusLine")->geometry();
    EXPECT_GT(statusNow.top(), status.top());
    EXPECT_LE(statusNow.bottom(), page->height());

    // Larger still: finer again, within what a raster takes.
    settings->resize(window + frame->size() * 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings->previewSurface().resolution() > 4.5; }, 3000));
    EXPECT_GE(view->width(), 5 * designView.width());

    // Back to the design size, and below it: the design's box, drawn at 1×;
    // the page scrolls instead.
    for (const QSize size : {window, window - QSize(200, 150)}) {
        settings->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return settings->previewSurface().resolution() < 1.5; }, 3000));
        EXPECT_EQ(view->size(), designView);
        EXPECT_EQ(settings->previewSurface().image().size(), designImage);
        EXPECT_EQ(settings->findChild<QWidget*>("Conf")->geometry(), conf);
    }
    EXPECT_GE(page->width(), SettingsWindow::kWidth);
}

// ---- quitting ----

TEST(Quitting, TheQuestionBeforeQuittingMayKeepTheWindow) {
    Shown s;
    int asked = 0;
    s.main->askBeforeQuit = [&] { return ++asked, false; };
    s.main->openProfileWindow();
    EXPECT_FALSE(s.main->close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(s.main->isVisible());
    EXPECT_TRUE(s.main->profileWindow()->isVisible());
    s.main->askBeforeQuit = nullptr;
}

TEST(Quitting, ClosingTheMainWindowQuitsWhateverElseIsOpen) {
    if (qEnvironmentVariableIsSet("AMMONITE_QUIT_CHILD")) GTEST_SKIP() << "the child runs QuitChild only";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("AMMONITE_QUIT_CHILD", "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=QuitChild.*"});
    ASSERT_TRUE(child.waitForFinished(60000)) << "the program ran on after its main window closed";
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    std::printf("quit with GRAPH, SETTING, VIEW and a running sweep open: %lld ms\n",
                static_cast<long long>(clock.elapsed()));
}

TEST(QuitChild, MainWindowClosedWithGraphSettingViewAndASweepRunning) {
    if (!qEnvironmentVariableIsSet("AMMONITE_QUIT_CHILD")) GTEST_SKIP() << "runs in a child that quits";
    Shown s;
    s.start();
    QTest::mouseClick(s.child<QPushButton>("GRAPHcmd"), Qt::LeftButton);
    QTest::mouseClick(s.child<QPushButton>("SETcmd"), Qt::LeftButton);
    QTest::mouseClick(s.child<QPushButton>("VIEWcmd"), Qt::LeftButton);
    MorphoWindow* morpho = s.openMorpho();
    ASSERT_TRUE(morpho);
    morpho->findChild<QLineEdit*>("xSteps")->setText("40");
    morpho->findChild<QLineEdit*>("ySteps")->setText("40");
    ASSERT_TRUE(morpho->run());
    bool cancelled = false;
    QTimer::singleShot(300, s.main.get(), [&] {
        s.main->close();
        cancelled = !morpho->findChild<QPushButton*>("CANCELcmd")->isEnabled();
    });
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(3); });  // no quit: fail
    EXPECT_EQ(qApp->exec(), 0);
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(s.main->profileWindow()->isVisible());
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

// ---- GRAPH ----

TEST(GraphWindow, LastLabelsWholeMarkerAfterLoadAndUndoFromTheBoxes) {
    Shown s;
    s.start();
    s.main->openProfileWindow();
    ProfileWindow* w = s.main->profileWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->logic().timerOn; }, 2000));
    w->paintChartAt(1);
    // The labels right of the last grid line ("α^ 2000", "[log(R)]") are
    // drawn whole: ink beyond the grid, none in the chart's last columns.
    const QImage& chart = w->chartImage().image();
    const QRgb back = chart.pixel(chart.width() - 1, chart.height() - 1);
    auto inkIn = [&](int x0, int x1) {
        int n = 0;
        for (int y = 403; y < 440; ++y)  // below the axis line
            for (int x = x0; x < x1; ++x) n += chart.pixel(x, y) != back && chart.pixel(x, y) != qRgb(255, 255, 255);
        return n;
    };
    EXPECT_GT(inkIn(1060, 1120), 20);
    EXPECT_EQ(inkIn(chart.width() - 6, chart.width()), 0);

    // α mode: the final-stage marker is there after D-Load as after α.
    QTest::mouseClick(w->findChild<QPushButton*>("SAVEcmd"), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QPushButton*>("Scmd"), Qt::LeftButton);
    const int x = static_cast<int>(w->logic().stageToX(s.model->lastStage));
    auto markerShown = [&] {
        const QImage& image = w->chartImage().image();
        return image.pixel(x, 300) != image.pixel(x + 3, 300);
    };
    ASSERT_TRUE(markerShown());
    QTest::mouseClick(w->findChild<QPushButton*>("LOADcmd"), Qt::LeftButton);
    auto* list = w->findChild<QListWidget*>("FILElst");
    ASSERT_TRUE(list && list->count() > 0);
    emit list->itemClicked(list->item(0));
    EXPECT_TRUE(markerShown());

    // Ctrl+Z in the stage box undoes the last profile edit, not the typing.
    QTest::mouseClick(w->findChild<QPushButton*>("Ecmd"), Qt::LeftButton);
    const int before = s.model->gammaProfile.count;
    const double k = w->chartView()->shownScale();
    QTest::mousePress(w->chartView(), Qt::LeftButton, {}, QPoint(int(300 * k), int(300 * k)));
    QTest::mouseRelease(w->chartView(), Qt::LeftButton, {}, QPoint(int(300 * k), int(300 * k)));
    ASSERT_EQ(s.model->gammaProfile.count, before + 1);
    auto* box = w->findChild<QLineEdit*>("XCMtxt");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(s.model->gammaProfile.count, before);
}
