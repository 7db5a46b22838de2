// VIEW without the toolkit: which inputs call for a regrowth, how changes
// during a growth are merged, the regrowth on copies, the camera's fit and
// axis views, and the readout of an earlier stage.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "app/view3d_logic.h"

using namespace ammonite;

namespace {

struct Main {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RecordingSurface surface;
    MemoryLog log;
    MainWindowLogic logic{*model, surface, log};
    Main() { logic.Load(); }
    ViewShell prepare(bool grow) {
        return PrepareViewShell(std::make_unique<ModelState>(*model), std::make_unique<RunState>(logic.run), grow,
                                logic.SCLtxt.text());
    }
};

// One shared default shell (START once), for the tests that only read it.
Main& grown() {
    static Main* m = [] {
        auto* main = new Main;
        main->logic.ClickStart();
        return main;
    }();
    return *m;
}

}  // namespace

TEST(RegrowthQueue, ChangesDuringAGrowthBecomeOneMoreGrowth) {
    RegrowthQueue q;
    EXPECT_TRUE(q.inputsAre(1));
    EXPECT_TRUE(q.running());
    EXPECT_FALSE(q.inputsAre(2));
    EXPECT_FALSE(q.inputsAre(3));
    EXPECT_TRUE(q.growthEnded());  // one more, for 3
    EXPECT_FALSE(q.growthEnded());
    EXPECT_FALSE(q.inputsAre(3));  // shown already
    EXPECT_EQ(q.started(), 2);
    // Changed and changed back while growing: nothing more to do.
    EXPECT_TRUE(q.inputsAre(4));
    EXPECT_FALSE(q.inputsAre(3));
    EXPECT_FALSE(q.inputsAre(4));
    EXPECT_FALSE(q.growthEnded());
    // Inputs a START has shown start nothing; forgetting starts afresh.
    q.acceptShown(5);
    EXPECT_FALSE(q.inputsAre(5));
    q.forget();
    EXPECT_TRUE(q.inputsAre(5));
}

TEST(PrepareViewShell, GrowsOnCopiesAsStartDoes) {
    // On the heap: a window's run tables are too large for the stack of a
    // sanitizer build.
    auto owner = std::make_unique<Main>();
    Main& m = *owner;
    const RunState before = m.logic.run;
    ViewShell shell = m.prepare(true);
    ASSERT_EQ(shell.error, "");
    EXPECT_TRUE(PrepareViewShell(std::make_unique<ModelState>(*m.model), std::make_unique<RunState>(m.logic.run),
                                 true, "2", false)
                    .fine.empty());
    EXPECT_FALSE(m.logic.run.hasRun);  // the main window's run is untouched
    EXPECT_EQ(m.model->shownStage, 1700);
    EXPECT_EQ(shell.coarse.ringPoints, kInteractiveRingPoints);
    EXPECT_EQ(shell.fine.ringPoints, kFullRingPoints);
    EXPECT_GT(shell.fine.triangleCount(), 2 * shell.coarse.triangleCount());
    // The same report as the main window's START.
    m.logic.ClickStart();
    EXPECT_EQ(shell.run->report.orientationLabel, m.logic.ORIlbl.caption());
    EXPECT_EQ(shell.run->report.densityLabel, m.logic.DNSlbl.caption());
    EXPECT_EQ(shell.run->report.stabilityLabel, m.logic.STBlbl.caption());
    EXPECT_EQ(shell.model->shownStage, m.model->shownStage);

    // Nothing grown yet, and a growth that stops: the reason, no meshes.
    Main fresh;
    EXPECT_NE(fresh.prepare(false).error.find("press START"), std::string::npos);
    fresh.model->densities = {0, 0};
    const ViewShell stopped = fresh.prepare(true);
    EXPECT_NE(stopped.error.find("stopped growing"), std::string::npos) << stopped.error;
    EXPECT_TRUE(stopped.fine.empty());
}

TEST(ViewShellWorker, ShowsTheLatestShellLightFirstAndSkipsFullMeshesNobodyWillSee) {
    // On the heap: a window's run tables are too large for the stack of a
    // sanitizer build.
    auto owner = std::make_unique<Main>();
    Main& m = *owner;
    std::mutex mutex;
    std::vector<std::shared_ptr<const RunState>> lights, fulls;
    std::vector<bool> grown;
    {
        ViewShellWorker worker(
            [&](std::shared_ptr<ViewShell> shell, bool g) {
                std::lock_guard<std::mutex> lock(mutex);
                lights.push_back(shell->run);
                grown.push_back(g);
                EXPECT_FALSE(shell->coarse.empty());
                EXPECT_TRUE(shell->fine.empty());
            },
            [&](std::shared_ptr<const RunState> run, std::shared_ptr<ViewMesh> full) {
                std::lock_guard<std::mutex> lock(mutex);
                fulls.push_back(run);
                EXPECT_EQ(full->ringPoints, kFullRingPoints);
            });
        // Three changes in a row: the middle one may be replaced before it starts.
        for (int k = 0; k < 3; ++k) {
            ViewJob job;
            job.model = std::make_unique<ModelState>(*m.model);
            job.model->densities[1] = 1.2 + 0.05 * k;
            job.run = std::make_unique<RunState>(m.logic.run);
            job.grow = true;
            worker.submit(std::move(job));
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                // The full mesh of the last light one has come.
                if (!fulls.empty() && fulls.back() == lights.back()) break;
            }
            ASSERT_LT(std::chrono::steady_clock::now(), deadline);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ASSERT_GE(lights.size(), 1u);
    EXPECT_LE(lights.size(), 3u);
    EXPECT_LE(fulls.size(), lights.size());
    for (bool g : grown) EXPECT_TRUE(g);
    // The last shell is the last change's: body chamber density 1.3.
    Main check;
    check.model->densities[1] = 1.3;
    check.logic.ClickStart();
    EXPECT_EQ(lights.back()->report.densityLabel, check.logic.DNSlbl.caption());
}

TEST(View3DLogic, FitKeepsTheWholeShellInTheWindowFromEverySide) {
    View3DLogic view;
    view.setShell(grown().prepare(false));
    ASSERT_TRUE(view.hasShell());
    view.setViewport(400, 300);
    for (AxisView side : {AxisView::Front, AxisView::Back, AxisView::Left, AxisView::Right, AxisView::Top,
                          AxisView::Bottom}) {
        view.axisView(side);
        view.fit();
        const ViewMesh& mesh = view.shownMesh();
        double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
        for (size_t v = 0; v < mesh.part.size(); v += 7) {
            const ScreenPoint p = ProjectToScreen({mesh.xyz[3 * v], mesh.xyz[3 * v + 1], mesh.xyz[3 * v + 2]},
                                                  view.camera(), view.scene(), 400, 300);
            ASSERT_TRUE(p.inFront);
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        EXPECT_GE(minX, 0);
        EXPECT_LE(maxX, 400);
        EXPECT_GE(minY, 0);
        EXPECT_LE(maxY, 300);
        // ... and fills a fair part of it.
        EXPECT_GT(std::max((maxX - minX) / 400, (maxY - minY) / 300), 0.3);
    }
    // From the top, the world's up points at the camera; from the front it is screen up.
    view.axisView(AxisView::Front);
    const Vec3 g = view.scene().pivot, up = view.worldUp();
    const ScreenPoint a = ProjectToScreen(g, view.camera(), view.scene(), 400, 300);
    const ScreenPoint b = ProjectToScreen({g.x + up.x, g.y + up.y, g.z + up.z}, view.camera(), view.scene(), 400, 300);
    EXPECT_NEAR(a.x, b.x, 1e-6);
    EXPECT_LT(b.y, a.y);
}

TEST(View3DLogic, DragTurnsAndMovesAndZoomStaysInItsRange) {
    View3DLogic view;
    view.setShell(grown().prepare(false));
    view.setViewport(400, 300);
    const OrbitCamera start = view.camera();
    view.press(100, 100, DragMode::Orbit);
    EXPECT_TRUE(view.interacting());
    EXPECT_EQ(view.shownMesh().ringPoints, kInteractiveRingPoints);
    view.drag(100, 2000);  // far past straight down
    EXPECT_LT(view.camera().pitch, 1.5708);
    EXPECT_GT(view.camera().pitch, 1.5);
    view.release();
    EXPECT_FALSE(view.interacting());
    EXPECT_EQ(view.shownMesh().ringPoints, kFullRingPoints);
    EXPECT_EQ(view.camera().target.x, start.target.x);
    view.press(0, 0, DragMode::Pan);
    view.drag(50, 0);
    view.release();
    EXPECT_NE(view.camera().target.x, start.target.x);
    for (int i = 0; i < 100; ++i) view.zoom(1);
    const double nearest = view.camera().distance;
    EXPECT_GT(nearest, 0);
    view.zoom(1);
    EXPECT_EQ(view.camera().distance, nearest);
}

TEST(View3DLogic, EarlierStageHasItsOwnReadoutUpAndMesh) {
    const ViewShell shell = grown().prepare(false);
    const RunState& run = *shell.run;
    View3DLogic view;
    view.setShell(shell);
    EXPECT_EQ(view.stage(), view.lastStage());
    const View3DLogic::Readout last = view.readout();
    EXPECT_EQ(last.orientation, run.report.orientationLabel);
    EXPECT_EQ(last.ptRatio, run.report.ptRatioText);

    ASSERT_TRUE(view.setStage(400));
    const View3DLogic::Readout r = view.readout();
    const StageHydrostatics& row = run.hydrostaticsByStage[400];
    EXPECT_EQ(r.stage, "400 of " + std::to_string(view.lastStage()));
    EXPECT_EQ(r.orientation, OrientationLabel(run.orientationAngleByStage[400]));
    EXPECT_EQ(r.density, formatNumber(std::floor(1000 * row.meanDensity) / 1000));
    EXPECT_EQ(r.ptRatio, formatNumber(std::floor(1000 * row.ptRatio) / 10));
    EXPECT_EQ(r.stability, formatDecimals(row.stabilityIndex, 3));
    EXPECT_DOUBLE_EQ(view.scene().pivot.x, row.massCentre.x);
    EXPECT_DOUBLE_EQ(view.scene().buoyancyCentre.z, row.buoyancyCentre.z);
    EXPECT_LT(view.shownMesh().triangleCount(), view.shell().coarse.triangleCount() / 3);
    // Out of range is clamped.
    EXPECT_TRUE(view.setStage(99999));
    EXPECT_EQ(view.stage(), view.lastStage());
    EXPECT_TRUE(view.setStage(-5));
    EXPECT_EQ(view.stage(), 1);
}
