// One default START (1700 stages): the growth run with its wireframe drawn
// into a window-sized QImage, and the model alone on a surface that draws
// nothing. Every iteration starts from the state after the main window's
// load, so each one repeats the very first run.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdio>
#include <memory>

#include "model/log_sink.h"
#include "model/main_window_logic.h"
#include "ui/image_surface.h"

using namespace ammonite;

namespace {

void ensureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "run_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

struct Window {
    explicit Window(std::unique_ptr<DrawingSurface> s) : surface(std::move(s)) {
        logic = std::make_unique<MainWindowLogic>(*model, *surface, log);
        logic->Load();
    }
    // Back to the state of a fresh window: the run changes the stage count,
    // the view, the orientation and the pending ribs.
    void freshStart() {
        logic->TypeStages("1700");
        model->viewVector = {0, 1, 0};
        model->orientationSin = 0;
        model->orientationCos = 1;
        model->orientationShiftX = 0;
        model->orientationShiftY = 0;
        logic->run.orientationAngle = 0;
        logic->run.pendingRibs = 0;
        logic->run.ribCountdown = 0;
    }
    void start(benchmark::State& state) {
        freshStart();
        logic->ClickStart();
        if (!logic->statusLine.caption().empty()) state.SkipWithError(logic->statusLine.caption().c_str());
    }

    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<DrawingSurface> surface;
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic;
};

void BM_DefaultStartDrawnIntoImage(benchmark::State& state) {
    ensureGuiApplication();
    Window w(std::make_unique<ImageSurface>(1000, 760));
    for (auto _ : state) {
        w.start(state);
        benchmark::DoNotOptimize(static_cast<ImageSurface&>(*w.surface).image().constBits());
    }
    state.counters["stages"] = w.logic->run.lastBuiltStage;
    state.counters["segments"] = static_cast<double>(w.logic->run.segmentsDrawn);
}
BENCHMARK(BM_DefaultStartDrawnIntoImage)->Unit(benchmark::kMillisecond);

void BM_DefaultStartModelOnly(benchmark::State& state) {
    Window w(std::make_unique<NullSurface>(1000, 760));
    for (auto _ : state) {
        w.start(state);
        benchmark::DoNotOptimize(w.logic->run.meanDensity);
    }
    state.counters["stages"] = w.logic->run.lastBuiltStage;
}
BENCHMARK(BM_DefaultStartModelOnly)->Unit(benchmark::kMillisecond);

}  // namespace
