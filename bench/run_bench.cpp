// One default START (1700 stages): the growth run with its wireframe drawn
// into a window-sized QImage, and the model alone on a surface that draws
// nothing. Every iteration starts from the state after the main window's
// load, so each one repeats the very first run.
#include <benchmark/benchmark.h>

#include "bench_window.h"
#include "picture/image_surface.h"

using namespace ammonite;

namespace {

using bench::ensureGuiApplication;
using Window = bench::Window;

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
