// The MORPHO window as a user drives it: boxes typed, RUN and Cancel pressed,
// the map read back pixel by pixel and compared with the batch tool's sweep
// of the same grid, a cell clicked open in the main window, the exports.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <set>
#include <sstream>

#include "support/batch_process.h"
#include "core/numeric.h"
#include "ui/main_window.h"
#include "ui/morpho_window.h"
#include "ui/scenario_files.h"

using namespace ammonite;

namespace {

struct MorphoWindows {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<MainWindow> main = std::make_unique<MainWindow>(*model);
    MorphoWindow* morpho = nullptr;

    MorphoWindows() {
        main->show();
        auto* button = main->findChild<QPushButton*>("MORPHOcmd");
        if (!button) return;
        QTest::mouseClick(button, Qt::LeftButton);
        morpho = main->findChild<MorphoWindow*>("MORPHO");
    }
    template <class T>
    T* find(const char* name) const {
        return morpho->findChild<T*>(QString::fromLatin1(name));
    }
    void type(const char* box, const QString& text) const {
        auto* edit = find<QLineEdit>(box);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    void axes(const QString& x, const QStringList& xRange, const QString& y, const QStringList& yRange) const {
        find<QComboBox>("xName")->setCurrentText(x);
        find<QComboBox>("yName")->setCurrentText(y);
        const char* xs[] = {"xFrom", "xTo", "xSteps"};
        const char* ys[] = {"yFrom", "yTo", "ySteps"};
        for (int k = 0; k < 3; ++k) {
            type(xs[k], xRange[k]);
            type(ys[k], yRange[k]);
        }
    }
    bool runToTheEnd() const {
        QSignalSpy done(morpho, &MorphoWindow::runFinished);
        QTest::mouseClick(find<QPushButton>("RUNcmd"), Qt::LeftButton);
        return morpho->running() && done.wait(120000);
    }
    // Share of a cell's rectangle painted in the cell's own colour.
    double paintedShare(size_t index) const {
        MorphoLogic& m = morpho->logic();
        double l, t, r, b;
        m.MapRect(MorphoWindow::kMapWidth, MorphoWindow::kMapHeight, l, t, r, b);
        const int nx = m.xSteps(), ny = m.ySteps();
        const int ix = static_cast<int>(index) / ny, iy = static_cast<int>(index) % ny;
        const int x0 = int(std::ceil(l + ix * (r - l) / nx)), x1 = int(l + (ix + 1) * (r - l) / nx);
        const int y0 = int(std::ceil(b - (iy + 1) * (b - t) / ny)), y1 = int(b - iy * (b - t) / ny);
        const QImage& img = morpho->surface().image();
        const Rgb want = m.CellColour(index);
        long same = 0, all = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x, ++all)
                same += Rgb::fromArgb(img.pixel(x, y)) == want ? 1 : 0;
        return all ? double(same) / double(all) : 0;
    }
    QPoint centre(size_t index) const {
        double x = 0, y = 0;
        morpho->logic().CellCentre(MorphoWindow::kMapWidth, MorphoWindow::kMapHeight, index, x, y);
        return QPoint(int(x), int(y));
    }
};

// The mouse passing over a widget, without a button down.
void hover(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) out.push_back(line + "\n");
    return out;
}

}  // namespace

TEST(MorphoWindow, FiveByFiveMapMatchesTheBatchToolAndOpensACell) {
    MorphoWindows w;
    ASSERT_TRUE(w.morpho);
    w.axes("alpha", {"1.002", "1.008", "5"}, "density_body", {"1", "1.6", "5"});
    ASSERT_TRUE(w.runToTheEnd());
    MorphoLogic& m = w.morpho->logic();
    ASSERT_EQ(m.cellCount(), 25u);
    EXPECT_EQ(w.find<QProgressBar>("progress")->value(), 25);

    // Every row as the batch tool writes it for the same grid.
    const batch_test::Result batch =
        batch_test::runBatch({"--sweep", "alpha=1.002:1.008:5", "--sweep", "density_body=1:1.6:5"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const std::vector<std::string> expected = lines(batch.out);
    ASSERT_EQ(expected.size(), 26u);
    EXPECT_EQ(expected[0], SweepCsvHeader(m.axes()));
    std::set<std::uint32_t> colours;
    for (size_t p = 0; p < 25; ++p) {
        EXPECT_EQ(m.cellState(p), MorphoLogic::CellState::Done) << p;
        EXPECT_EQ(SweepCsvRow(m.row(p)), expected[p + 1]) << p;
        // The cell is painted on the map, in its result's colour.
        EXPECT_GT(w.paintedShare(p), 0.8) << p;
        colours.insert(m.CellColour(p).argb());
    }
    EXPECT_GT(colours.size(), 10u);  // a scale, not one colour

    // Hovering a cell names its inputs and results.
    const size_t cell = m.CellIndex(3, 1);  // α 1.0065, body chamber 1.15
    hover(w.morpho->mapView(), w.centre(cell));
    const QString hover = w.find<QLabel>("hoverLine")->text();
    EXPECT_TRUE(hover.startsWith("alpha = 1.0065, density_body = 1.15")) << hover.toStdString();
    EXPECT_TRUE(hover.contains("mean density " + QString::fromStdString(formatDecimals(m.row(cell).meanDensity, 4))));

    // A click grows the window's scenario with the cell's α and density from
    // a fresh start: the main window shows that cell's density.
    QTest::mouseClick(w.morpho->mapView(), Qt::LeftButton, {}, w.centre(cell));
    Scenario opened;
    std::string why;
    ASSERT_TRUE(w.main->scenarioFiles().scenario().current(opened, why)) << why;
    EXPECT_DOUBLE_EQ(opened.alpha, 1.0065);
    EXPECT_DOUBLE_EQ(opened.densityBody, 1.15);
    EXPECT_DOUBLE_EQ(w.model->densities[1], 1.15);
    auto* dns = w.main->findChild<QLabel*>("DNSlbl");
    EXPECT_EQ(dns->text().toStdString(), formatNumber(std::floor(1000 * m.row(cell).meanDensity) / 1000));
    EXPECT_EQ(w.main->findChild<QLabel*>("statusLine")->text(), "");
    // The current model's point is that cell.
    double fx = 0, fy = 0;
    ASSERT_TRUE(m.CurrentPoint(fx, fy));
    EXPECT_NEAR(fx, 3, 1e-9);
    EXPECT_NEAR(fy, 1, 1e-9);

    // The MORPHO button brings back the same window.
    QTest::mouseClick(w.main->findChild<QPushButton*>("MORPHOcmd"), Qt::LeftButton);
    EXPECT_EQ(w.main->findChildren<MorphoWindow*>().size(), 1);
}

TEST(MorphoWindow, CancelStopsQuicklyAndKeepsTheFinishedCells) {
    MorphoWindows w;
    ASSERT_TRUE(w.morpho);
    w.axes("alpha", {"1.002", "1.008", "60"}, "density_body", {"1", "1.6", "60"});
    QSignalSpy done(w.morpho, &MorphoWindow::runFinished);
    QTest::mouseClick(w.find<QPushButton>("RUNcmd"), Qt::LeftButton);
    ASSERT_TRUE(w.morpho->running());
    MorphoLogic& m = w.morpho->logic();
    // The window keeps working while the shells grow: the map fills in.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.finishedCount() >= 20; }, 60000));
    EXPECT_TRUE(w.morpho->running());
    EXPECT_FALSE(w.find<QPushButton>("RUNcmd")->isEnabled());
    QTest::qWait(100);  // at least one redraw of the partial map
    const size_t before = m.finishedCount();

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.find<QPushButton>("CANCELcmd"), Qt::LeftButton);
    ASSERT_TRUE(done.count() == 1 || done.wait(5000));
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_FALSE(w.morpho->running());
    EXPECT_TRUE(w.find<QPushButton>("RUNcmd")->isEnabled());

    size_t grown = 0, skipped = 0;
    for (size_t p = 0; p < m.cellCount(); ++p) {
        if (m.cellState(p) == MorphoLogic::CellState::Done) {
            ++grown;
            EXPECT_GT(w.paintedShare(p), 0.5) << p;
        }
        skipped += m.cellState(p) == MorphoLogic::CellState::NotRun ? 1 : 0;
    }
    EXPECT_GE(grown, before);
    EXPECT_EQ(grown, m.finishedCount());
    EXPECT_EQ(grown + skipped, 3600u);
    EXPECT_GT(skipped, 0u);
    EXPECT_EQ(w.find<QProgressBar>("progress")->value(), static_cast<int>(grown));
    EXPECT_TRUE(w.find<QLabel>("infoLine")->text().startsWith("Cancelled: "));
}

TEST(MorphoWindow, BadBoxesErrorCellsAndExports) {
    MorphoWindows w;
    ASSERT_TRUE(w.morpho);
    QTemporaryDir dir;
    QString answer;
    w.morpho->askSavePath = [&](const QString&, const QString&, const QString&) { return answer; };
    auto exportAs = [&](const char* action, const QString& path) {
        answer = path;
        w.find<QAction>(action)->trigger();
    };
    auto* status = w.find<QLabel>("statusLine");

    exportAs("saveCsvAction", dir.filePath("early.csv"));
    EXPECT_EQ(status->text(), "Nothing to export yet: press RUN first");

    // A box that is not a number: named, its text kept, nothing runs.
    w.axes("gamma", {"1", "4", "2"}, "density_body", {"1", "1.3", "2"});
    w.type("yFrom", "1,3");
    QTest::mouseClick(w.find<QPushButton>("RUNcmd"), Qt::LeftButton);
    EXPECT_FALSE(w.morpho->running());
    EXPECT_EQ(status->text(), "Y FROM: '1,3' is not a number");
    EXPECT_EQ(w.find<QLineEdit>("yFrom")->text(), "1,3");

    // γ = 1 over 300 stages stops on a runtime error: the cell says so.
    auto* num = w.main->findChild<QLineEdit*>("NUMtxt");
    num->clear();
    QTest::keyClicks(num, "300");
    w.type("yFrom", "1");
    ASSERT_TRUE(w.runToTheEnd());
    MorphoLogic& m = w.morpho->logic();
    const size_t stopped = m.CellIndex(0, 1), grown = m.CellIndex(1, 1);
    ASSERT_EQ(m.cellState(stopped), MorphoLogic::CellState::Error);
    ASSERT_EQ(m.cellState(grown), MorphoLogic::CellState::Done);
    EXPECT_NEAR(m.row(grown).shownStage, 300, 10);  // the stage count the main window holds
    EXPECT_GT(w.paintedShare(stopped), 0.5);
    hover(w.morpho->mapView(), w.centre(stopped) + QPoint(30, 0));
    EXPECT_EQ(w.find<QLabel>("hoverLine")->text().toStdString(),
              "gamma = 1, density_body = 1.3   stopped: " + m.row(stopped).error);
    EXPECT_TRUE(w.find<QLabel>("infoLine")->text().contains("2 stopped with a runtime error"));

    // The grid as the batch tool's table, the map as PNG and SVG.
    exportAs("saveCsvAction", dir.filePath("grid.csv"));
    QFile csv(dir.filePath("grid.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    std::ostringstream want;
    std::vector<SweepRow> rows;
    for (size_t p = 0; p < m.cellCount(); ++p) rows.push_back(m.row(p));
    WriteSweepCsv(want, m.axes(), rows);
    EXPECT_EQ(csv.readAll().toStdString(), want.str());
    exportAs("savePngAction", dir.filePath("map.png"));
    QImage png(dir.filePath("map.png"));
    EXPECT_EQ(png.size(), QSize(MorphoWindow::kMapWidth, MorphoWindow::kMapHeight));
    EXPECT_EQ(png.pixel(w.centre(grown)), w.morpho->surface().image().pixel(w.centre(grown)));
    exportAs("saveSvgAction", dir.filePath("map.svg"));
    QFile svg(dir.filePath("map.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("Final mean density"));
    EXPECT_TRUE(w.find<QLabel>("infoLine")->text().endsWith("map.svg"));

    // A folder that does not exist: the status line names the file.
    exportAs("saveSvgAction", dir.filePath("missing/map.svg"));
    EXPECT_TRUE(status->text().contains("missing/map.svg")) << status->text().toStdString();
}

// The map the README shows: α against the body chamber's density, coloured by
// the final mean density, with the float line where the density crosses 1.026.
TEST(MorphoWindow, DensityMapOfAlphaAndBodyDensityHasItsFloatLine) {
    MorphoWindows w;
    ASSERT_TRUE(w.morpho);
    w.axes("alpha", {"1.002", "1.008", "24"}, "density_body", {"0.9", "1.6", "24"});
    ASSERT_TRUE(w.runToTheEnd());
    MorphoLogic& m = w.morpho->logic();
    const auto contour = m.NeutralBuoyancyContour();
    // Wherever two cells one above the other straddle 1.026, the line passes between them.
    size_t crossings = 0;
    for (int ix = 0; ix < m.xSteps(); ++ix) {
        for (int iy = 0; iy + 1 < m.ySteps(); ++iy) {
            const double a = m.row(m.CellIndex(ix, iy)).meanDensity, b = m.row(m.CellIndex(ix, iy + 1)).meanDensity;
            if ((a >= kSeaWaterDensity) == (b >= kSeaWaterDensity)) continue;
            ++crossings;
            const double at = iy + (kSeaWaterDensity - a) / (b - a);
            bool found = false;
            for (const ContourSegment& s : contour)
                found = found || (s.x1 == ix && std::fabs(s.y1 - at) < 1e-9) || (s.x2 == ix && std::fabs(s.y2 - at) < 1e-9);
            EXPECT_TRUE(found) << ix << "," << iy;
        }
    }
    EXPECT_GE(crossings, 24u);

    const QByteArray shots = qgetenv("AMMONITE_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        hover(w.morpho->mapView(), w.centre(m.CellIndex(8, 6)));
        w.morpho->grab().save(QString::fromUtf8(shots) + QStringLiteral("/morpho.png"));
    }
}
