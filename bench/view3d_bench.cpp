// The VIEW window's frames on the default shell (1700 stages): one orbit
// frame at the interactive resolution (the light mesh, 800 × 600 pixels), one
// frame of the full mesh at rest, the shell at an earlier stage as the stage
// slider builds it, one live regrowth (START on copies of the model and run,
// the light mesh) followed by a frame, and the full mesh built after it. SHADE of the same shell is measured
// in the same run as the baseline the ratios are taken against.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "app/view3d_logic.h"
#include "render/shading.h"

using namespace ammonite;

namespace {

constexpr int kWidth = 800, kHeight = 600;

struct GrownShell {
    GrownShell() : surface(1000, 760), logic(model, surface, log) {
        logic.Load();
        logic.ClickStart();
        if (!logic.run.hasRun) std::fprintf(stderr, "view3d bench: the default run did not complete\n");
    }
    std::unique_ptr<ModelState> modelCopy() const { return std::make_unique<ModelState>(model); }
    std::unique_ptr<RunState> runCopy() const { return std::make_unique<RunState>(logic.run); }
    ModelState model;
    RasterSurface surface;
    MemoryLog log;
    MainWindowLogic logic;
};

GrownShell& shell() {
    static GrownShell s;
    return s;
}

void BM_View3DOrbitFrame(benchmark::State& state) {
    View3DLogic view;
    view.setShell(PrepareViewShell(shell().modelCopy(), shell().runCopy(), false, "2"));
    RasterSurface target(kWidth, kHeight);
    view.setViewport(kWidth, kHeight);
    view.fit();
    view.press(400, 300, DragMode::Orbit);
    int x = 400;
    long triangles = 0;
    for (auto _ : state) {
        x += 3;
        view.drag(x, 300);
        triangles = view.render(*target.pixelBuffer());
        benchmark::DoNotOptimize(target.pixel(400, 300));
    }
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["meshTriangles"] = static_cast<double>(view.shownMesh().triangleCount());
}

void BM_View3DFullFrame(benchmark::State& state) {
    View3DLogic view;
    view.setShell(PrepareViewShell(shell().modelCopy(), shell().runCopy(), false, "2"));
    RasterSurface target(kWidth, kHeight);
    view.setViewport(kWidth, kHeight);
    view.fit();
    for (auto _ : state) {
        view.render(*target.pixelBuffer());
        benchmark::DoNotOptimize(target.pixel(400, 300));
    }
    state.counters["meshTriangles"] = static_cast<double>(view.shownMesh().triangleCount());
}

void BM_View3DStageSliderStep(benchmark::State& state) {
    View3DLogic view;
    view.setShell(PrepareViewShell(shell().modelCopy(), shell().runCopy(), false, "2"));
    RasterSurface target(kWidth, kHeight);
    view.beginInteraction();
    int s = 700;
    for (auto _ : state) {
        s = s == 700 ? 900 : 700;
        view.setStage(s);
        view.render(*target.pixelBuffer());
        benchmark::DoNotOptimize(target.pixel(400, 300));
    }
}

// What a change with Live on costs until its first frame: copies of the
// model and run, START on them, the light mesh, one frame.
void BM_View3DLiveRegrowthAndFrame(benchmark::State& state) {
    View3DLogic view;
    RasterSurface target(kWidth, kHeight);
    view.setViewport(kWidth, kHeight);
    for (auto _ : state) {
        view.setShell(PrepareViewShell(shell().modelCopy(), shell().runCopy(), true, "2", false));
        view.render(*target.pixelBuffer());
        benchmark::DoNotOptimize(target.pixel(400, 300));
    }
    state.counters["growMs"] = view.shell().growMilliseconds;
    state.counters["meshMs"] = view.shell().meshMilliseconds;
    if (!view.hasShell()) state.SkipWithError(view.message().c_str());
}

// The full mesh that follows on the worker once no newer change waits.
void BM_View3DFullMeshAfterRegrowth(benchmark::State& state) {
    const ViewShell grown = PrepareViewShell(shell().modelCopy(), shell().runCopy(), false, "2", false);
    for (auto _ : state) {
        ViewMesh full;
        std::string error;
        if (!BuildFullMesh(grown, full, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(full.triangles.data());
    }
}

void BM_View3DBaselineShade(benchmark::State& state) {
    for (auto _ : state) {
        shell().logic.ClickShade();
        benchmark::DoNotOptimize(shell().surface.pixel(500, 400));
    }
}

}  // namespace

BENCHMARK(BM_View3DOrbitFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View3DFullFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View3DStageSliderStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View3DLiveRegrowthAndFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View3DFullMeshAfterRegrowth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View3DBaselineShade)->Unit(benchmark::kMillisecond);
