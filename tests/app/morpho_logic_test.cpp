// The morphospace map without a window: the contour over the density grid,
// the axes read from their boxes, the cells as the sweep fills them, and a
// cell opened in the main window growing the very shell the sweep grew.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

#include "app/morpho_logic.h"
#include "core/numeric.h"

using namespace ammonite;

namespace {

struct MorphoFixture {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    NullSurface surface;
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> main = std::make_unique<MainWindowLogic>(*model, surface, log);
    MorphoLogic morpho{*main};
    MorphoFixture() { main->Load(); }
};

MorphoAxisTexts axis(const char* name, const char* from, const char* to, const char* steps) {
    return {name, from, to, steps};
}

SweepRow finishedRow(const MorphoLogic& m, size_t index, double density, std::string error = {}) {
    SweepRow row = m.row(index);
    row.computed = true;
    row.meanDensity = density;
    row.orientationAngle = 10;
    row.error = std::move(error);
    return row;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(MorphoContour, FollowsTheLevelBetweenCellCentres) {
    // 3 × 2 grid, x outermost; the value rises along x only: 1.0, 1.02, 1.04.
    const std::vector<double> ramp = {1.0, 1.0, 1.02, 1.02, 1.04, 1.04};
    auto segments = TraceContour(ramp, 3, 2, 1.026);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_NEAR(segments[0].x1, 1.3, 1e-9);
    EXPECT_NEAR(segments[0].x2, 1.3, 1e-9);
    EXPECT_NEAR(std::fabs(segments[0].y2 - segments[0].y1), 1.0, 1e-9);

    // A square with a missing corner draws nothing; one wholly above neither.
    std::vector<double> gap = ramp;
    gap[3] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(TraceContour(gap, 3, 2, 1.026).empty());
    EXPECT_TRUE(TraceContour(ramp, 3, 2, 0.5).empty());

    // A saddle: two opposite corners high. The mean decides the pairing, and
    // either way two pieces, each cutting off one corner.
    for (double high : {1.1, 1.03}) {
        const std::vector<double> saddle = {high, 1.0, 1.0, high};  // (0,0) and (1,1) high
        auto pieces = TraceContour(saddle, 2, 2, 1.026);
        ASSERT_EQ(pieces.size(), 2u) << high;
        for (const ContourSegment& s : pieces) {
            const double mx = (s.x1 + s.x2) / 2, my = (s.y1 + s.y2) / 2;
            EXPECT_NE(mx, 0.5);
            EXPECT_NE(my, 0.5);
        }
    }
}

TEST(MorphoAxes, BadBoxesAreNamedAndTheMapKeepsItsAxes) {
    MorphoFixture w;
    std::string error;
    ASSERT_TRUE(w.morpho.SetAxes(axis("alpha", "1.002", "1.008", "4"), axis("density_body", "1", "1.6", "3"), error));
    struct Case {
        MorphoAxisTexts x, y;
        const char* message;
    };
    const Case cases[] = {
        {axis("alpha", "abc", "1.008", "4"), axis("density_body", "1", "1.6", "3"), "X FROM: 'abc' is not a number"},
        {axis("alpha", "1", "1.008", "4"), axis("density_body", "1", "", "3"), "Y TO: '' is not a number"},
        {axis("alpha", "1", "2", "2.5"), axis("density_body", "1", "2", "3"), "X STEPS: '2.5' is not a whole number from 1 to 200"},
        {axis("alpha", "1", "2", "2"), axis("density_body", "1", "2", "201"), "Y STEPS: '201' is not a whole number from 1 to 200"},
        {axis("st1", "0", "2000", "3"), axis("alpha", "1", "2", "2"), "X axis: st1 must lie in 0..1000"},
        {axis("alpha", "1", "2", "2"), axis("alpha", "1", "3", "2"), "X and Y both sweep alpha: choose two different inputs"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(w.morpho.SetAxes(c.x, c.y, error));
        EXPECT_EQ(error, c.message);
    }
    ASSERT_EQ(w.morpho.axes().size(), 2u);
    EXPECT_EQ(w.morpho.axes()[0].name, "alpha");
    EXPECT_EQ(w.morpho.xSteps(), 4);
    EXPECT_EQ(w.morpho.ySteps(), 3);
}

TEST(MorphoGrid, CellsFillInAndTellWhatTheyHold) {
    MorphoFixture w;
    std::string error;
    ASSERT_TRUE(w.morpho.SetAxes(axis("alpha", "1", "1.01", "3"), axis("density_body", "1", "1.4", "3"), error));
    MorphoLogic& m = w.morpho;
    m.BeginRun();
    ASSERT_EQ(m.cellCount(), 9u);
    // Cell (ix, iy): the x value outermost, as the sweep orders its points.
    EXPECT_DOUBLE_EQ(m.row(m.CellIndex(2, 1)).values[0], 1.01);
    EXPECT_DOUBLE_EQ(m.row(m.CellIndex(2, 1)).values[1], 1.2);

    const int W = 600, H = 400;
    const Rgb pending = m.CellColour(0);
    m.PointDone(m.CellIndex(0, 0), finishedRow(m, m.CellIndex(0, 0), 0.95));
    m.PointDone(m.CellIndex(2, 2), finishedRow(m, m.CellIndex(2, 2), 1.15));
    m.PointDone(m.CellIndex(1, 1), finishedRow(m, m.CellIndex(1, 1), 0, "Division by zero"));
    EXPECT_EQ(m.finishedCount(), 3u);
    const Rgb low = m.CellColour(m.CellIndex(0, 0)), high = m.CellColour(m.CellIndex(2, 2));
    EXPECT_NE(low, high);
    EXPECT_NE(low, pending);
    EXPECT_EQ(low, MorphoLogic::ScaleColour(0, 0, 1));
    EXPECT_EQ(high, MorphoLogic::ScaleColour(1, 0, 1));
    EXPECT_EQ(m.cellState(m.CellIndex(1, 1)), MorphoLogic::CellState::Error);

    // The drawn map: each cell's centre in its colour; (0, 0) at the bottom left.
    RasterSurface picture(W, H);
    m.Draw(picture);
    for (size_t p : {m.CellIndex(0, 0), m.CellIndex(2, 2), m.CellIndex(0, 2)}) {
        double cx = 0, cy = 0;
        m.CellCentre(W, H, p, cx, cy);
        size_t hit = 99;
        ASSERT_TRUE(m.CellAt(W, H, int(cx), int(cy), hit));
        EXPECT_EQ(hit, p);
        EXPECT_EQ(picture.rgbAt(int(cx) + 3, int(cy) - 3), m.CellColour(p)) << p;
    }
    double l, t, r, b;
    m.MapRect(W, H, l, t, r, b);
    size_t hit = 0;
    EXPECT_TRUE(m.CellAt(W, H, int(l) + 1, int(b) - 2, hit));
    EXPECT_EQ(hit, m.CellIndex(0, 0));
    EXPECT_FALSE(m.CellAt(W, H, int(l) - 3, int(b) - 2, hit));
    EXPECT_EQ(m.HoverText(W, H, 2, 2), "");

    double ex = 0, ey = 0;
    m.CellCentre(W, H, m.CellIndex(1, 1), ex, ey);
    EXPECT_EQ(m.HoverText(W, H, int(ex), int(ey)), "alpha = 1.005, density_body = 1.2\nstopped: Division by zero");
    m.CellCentre(W, H, m.CellIndex(0, 0), ex, ey);
    const std::string done = m.HoverText(W, H, int(ex), int(ey));
    EXPECT_NE(done.find("alpha = 1, density_body = 1\nmean density 0.9500 g/cm³, orientation 10.00°"),
              std::string::npos)
        << done;

    // The sweep returns after a cancel: the cells it skipped are "not run",
    // the finished ones stay; the CSV says "cancelled" for the skipped ones.
    std::vector<SweepRow> returned(9);
    for (size_t p = 0; p < 9; ++p) {
        returned[p] = m.row(p);
        if (m.cellState(p) == MorphoLogic::CellState::Pending) returned[p].error = "cancelled";
    }
    m.RunFinished(returned);
    EXPECT_EQ(m.cellState(m.CellIndex(0, 0)), MorphoLogic::CellState::Done);
    EXPECT_EQ(m.cellState(m.CellIndex(2, 0)), MorphoLogic::CellState::NotRun);
    EXPECT_EQ(m.finishedCount(), 3u);
    const std::string csv = testing::TempDir() + "morpho_grid.csv";
    ASSERT_TRUE(m.SaveCsv(csv, error)) << error;
    const std::string text = readFile(csv);
    EXPECT_EQ(text.rfind(SweepCsvHeader(m.axes()), 0), 0u);
    EXPECT_NE(text.find("1,1.2,,,,,,,\"cancelled\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find(",\"Division by zero\"\n"), std::string::npos);
}

TEST(MorphoGrid, ContourOverTheMapAndSvgThroughTheWriter) {
    MorphoFixture w;
    std::string error;
    ASSERT_TRUE(w.morpho.SetAxes(axis("alpha", "1", "1.01", "2"), axis("density_body", "1", "1.4", "2"), error));
    MorphoLogic& m = w.morpho;
    EXPECT_FALSE(m.SaveSvg(testing::TempDir() + "none.svg", 600, 400, {}, error));
    EXPECT_EQ(error, "Nothing to export yet: press RUN first");
    m.BeginRun();
    // Density rises with the body chamber's density (y): the float line is level.
    const double density[4] = {0.98, 1.06, 0.98, 1.06};
    for (size_t p = 0; p < 4; ++p) m.PointDone(p, finishedRow(m, p, density[p]));
    auto contour = m.NeutralBuoyancyContour();
    ASSERT_EQ(contour.size(), 1u);
    EXPECT_NEAR(contour[0].y1, 0.575, 1e-9);
    EXPECT_NEAR(contour[0].y2, 0.575, 1e-9);
    // Another result on the map: the contour stays where the density puts it.
    m.SetResult(MorphoResult::Ribs);
    EXPECT_EQ(m.NeutralBuoyancyContour().size(), 1u);

    RasterSurface picture(600, 400);
    m.Draw(picture);
    double l, t, r, b;
    m.MapRect(600, 400, l, t, r, b);
    const int y = static_cast<int>(std::lround(b - (0.575 + 0.5) * (b - t) / 2));
    EXPECT_EQ(picture.rgbAt(int((l + r) / 2), y), Rgb(255, 255, 255));

    const std::string svg = testing::TempDir() + "morpho_map.svg";
    ASSERT_TRUE(m.SaveSvg(svg, 600, 400, {}, error)) << error;
    const std::string text = readFile(svg);
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("Number of ribs"), std::string::npos);
    EXPECT_NE(text.find("</svg>"), std::string::npos);
}

// The sweep's point and the window's START agree, whatever the window holds:
// the cell's inputs are set as the sweep sets them, the rest as the model stands.
TEST(MorphoOpenCell, StartsTheShellTheSweepGrew) {
    struct Case {
        MorphoAxisTexts x, y;
        size_t ix, iy;
    };
    const Case cases[] = {
        {axis("alpha", "1.002", "1.008", "3"), axis("density_body", "1", "1.6", "3"), 2, 1},
        {axis("st2", "250", "450", "2"), axis("stages", "300", "900", "3"), 1, 2},
        {axis("C", "0", "0.5", "2"), axis("density_air", "0.5", "0.8", "2"), 1, 0},
    };
    for (const Case& c : cases) {
        MorphoFixture w;
        // A window the user has worked in: other inputs away from the defaults.
        w.model->densities[0] = 0.65;
        w.main->MoveBar(w.main->ST1hsc, 180);
        w.main->TypeStages("800");
        w.main->ClickStart();
        ASSERT_EQ(w.main->statusLine.caption(), "");

        std::string error;
        ASSERT_TRUE(w.morpho.SetAxes(c.x, c.y, error)) << error;
        w.morpho.BeginRun();
        const size_t index = w.morpho.CellIndex(static_cast<int>(c.ix), static_cast<int>(c.iy));
        const SweepRow swept = RunSweepPoint(w.morpho.CurrentOptions(), w.morpho.axes(), index);
        ASSERT_EQ(swept.error, "") << c.x.name;
        w.morpho.PointDone(index, swept);

        ASSERT_TRUE(w.morpho.OpenCell(index));
        EXPECT_EQ(w.main->statusLine.caption(), "");
        EXPECT_EQ(w.main->DNSlbl.caption(), formatNumber(std::floor(1000 * swept.meanDensity) / 1000)) << c.x.name;
        EXPECT_EQ(w.main->run.meanDensity, swept.meanDensity) << c.x.name;
        EXPECT_EQ(w.main->run.orientationAngle, swept.orientationAngle) << c.x.name;
        EXPECT_EQ(CountRibs(w.main->run), swept.ribs) << c.x.name;
        double fx = -1, fy = -1;
        ASSERT_TRUE(w.morpho.CurrentPoint(fx, fy)) << c.x.name;
        EXPECT_NEAR(fx, double(c.ix), 0.01) << c.x.name;
        EXPECT_NEAR(fy, double(c.iy), 0.34) << c.x.name;  // START may settle a stage count a little off
    }
}

TEST(MorphoOpenCell, AProfileThatIsNotConstantIsOffTheMap) {
    MorphoFixture w;
    std::string error;
    ASSERT_TRUE(w.morpho.SetAxes(axis("C", "0", "1", "2"), axis("alpha", "1.002", "1.008", "2"), error));
    double fx = 0, fy = 0;
    EXPECT_FALSE(w.morpho.CurrentPoint(fx, fy));  // the default curvature has seven segments
    w.morpho.BeginRun();
    w.morpho.pressStart = [] {};
    ASSERT_TRUE(w.morpho.OpenCell(w.morpho.CellIndex(1, 0)));
    EXPECT_EQ(w.model->curvatureProfile.count, 1);
    EXPECT_DOUBLE_EQ(w.model->alpha, 1.002);
    ASSERT_TRUE(w.morpho.CurrentPoint(fx, fy));
    EXPECT_DOUBLE_EQ(fx, 1);
    EXPECT_DOUBLE_EQ(fy, 0);
}

// Bars moved in a window that has not run yet cannot redraw the regulation
// chart; the cell still opens, with the bars where the sweep put them.
TEST(MorphoOpenCell, ThresholdCellsOpenBeforeTheFirstRun) {
    MorphoFixture w;
    std::string error;
    ASSERT_TRUE(w.morpho.SetAxes(axis("ft1", "-60", "-20", "3"), axis("st1", "150", "250", "2"), error));
    w.morpho.BeginRun();
    const size_t index = w.morpho.CellIndex(0, 1);
    const SweepRow swept = RunSweepPoint(w.morpho.CurrentOptions(), w.morpho.axes(), index);
    ASSERT_EQ(swept.error, "");
    ASSERT_TRUE(w.morpho.OpenCell(index));
    EXPECT_EQ(w.main->FT1vsc.value(), -60);
    EXPECT_EQ(w.main->ST1hsc.value(), 250);
    EXPECT_TRUE(w.main->run.hasRun);
    EXPECT_EQ(w.main->statusLine.caption(), "");
    EXPECT_EQ(w.main->run.meanDensity, swept.meanDensity);
    EXPECT_EQ(CountRibs(w.main->run), swept.ribs);
}

// A cell opened sets the main window's model through its document: whoever
// shows the model hears of the profile and the density it set, once each.
TEST(MorphoOpenCell, TheCellsInputsAreAnnouncedToTheOtherWindows) {
    MorphoFixture w;
    std::string error;
    ASSERT_TRUE(w.morpho.SetAxes(axis("gamma", "3", "5", "2"), axis("density_body", "1", "1.6", "2"), error)) << error;
    w.morpho.BeginRun();
    std::vector<ModelDocument::Change> heard;
    std::vector<ModelDocument::Change> heardBeforeStart;
    auto listening = w.main->document.listen([&](ModelDocument::Change what, const void*) { heard.push_back(what); });
    w.morpho.pressStart = [&] { heardBeforeStart = heard; };
    ASSERT_TRUE(w.morpho.OpenCell(w.morpho.CellIndex(1, 1)));
    EXPECT_EQ(w.model->gammaProfile.count, 1);
    EXPECT_DOUBLE_EQ(w.model->gammaProfile.values[0], 5);
    EXPECT_DOUBLE_EQ(w.model->densities[1], 1.6);
    auto count = [&](ModelDocument::Change c) { return std::count(heard.begin(), heard.end(), c); };
    EXPECT_EQ(count(ModelDocument::Change::Profiles), 1);
    EXPECT_EQ(count(ModelDocument::Change::Densities), 1);
    // Heard before START, so a view that follows the model grows what START grows.
    EXPECT_EQ(heardBeforeStart, heard);
}
