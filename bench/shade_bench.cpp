// SHADE on the default shell (1700 stages, START twice so that the shell is
// in its life orientation), on a window-sized raster surface: painted
// straight into the pixels, and line by line through DrawingSurface::line as
// the straightforward reference; and on the finer pixels of a screen at
// 150 % and 200 %, where the shell's shapes are filled whole.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "render/shading.h"

using namespace ammonite;

namespace {

class LineByLineSurface : public RasterSurface {
public:
    using RasterSurface::RasterSurface;
    PixelBuffer* pixelBuffer() override { return nullptr; }
};

struct ShadeShell {
    explicit ShadeShell(std::unique_ptr<RasterSurface> s)
        : surface(std::move(s)), logic(model, *surface, log) {
        logic.Load();
        logic.ClickStart();
        logic.ClickStart();
        if (!logic.run.hasRun || !logic.statusLine.caption().empty())
            std::fprintf(stderr, "shade bench: the default run did not complete (%s)\n",
                         logic.statusLine.caption().c_str());
    }
    ModelState model;
    std::unique_ptr<RasterSurface> surface;
    MemoryLog log;
    MainWindowLogic logic;
};

void RunShade(benchmark::State& state, ShadeShell& shell) {
    for (auto _ : state) {
        shell.logic.ClickShade();
        benchmark::DoNotOptimize(shell.surface->pixel(500, 400));
    }
    state.counters["stages"] = shell.model.shownStage;
    if (!shell.logic.statusLine.caption().empty()) state.SkipWithError(shell.logic.statusLine.caption().c_str());
}

void BM_ShadeDefaultShell(benchmark::State& state) {
    static ShadeShell shell(std::make_unique<RasterSurface>(1000, 760));
    RunShade(state, shell);
}

void BM_ShadeDefaultShellLineByLine(benchmark::State& state) {
    static ShadeShell shell(std::make_unique<LineByLineSurface>(1000, 760));
    RunShade(state, shell);
}

void BM_ShadeDefaultShellAt150(benchmark::State& state) {
    static ShadeShell shell(std::make_unique<RasterSurface>(1000, 760, 1.5));
    RunShade(state, shell);
}

void BM_ShadeDefaultShellAt200(benchmark::State& state) {
    static ShadeShell shell(std::make_unique<RasterSurface>(1000, 760, 2.0));
    RunShade(state, shell);
}

}  // namespace

BENCHMARK(BM_ShadeDefaultShellAt150)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ShadeDefaultShellAt200)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ShadeDefaultShell)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ShadeDefaultShellLineByLine)->Unit(benchmark::kMillisecond)->Iterations(3);
