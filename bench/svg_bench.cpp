// SVG export of the main window's picture: a default START (1700 stages)
// drawn with a display list attached, and the SVG documents written from the
// list of that START and of a SHADE of the default shell (START twice, for
// the life orientation). Counters give the document sizes.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>

#include "bench_window.h"
#include "render/svg_surface.h"
#include "picture/image_surface.h"
#include "picture/svg_text_style.h"

using namespace ammonite;

namespace {

// A main window's model on a window-sized image with a display list attached.
struct RecordedWindow : bench::Window {
    RecordedWindow() : bench::Window((bench::ensureGuiApplication(), std::make_unique<ImageSurface>(1000, 760)), true) {}
    ImageSurface& image() { return static_cast<ImageSurface&>(*surface); }
};

void WriteDocuments(benchmark::State& state, RecordedWindow& w) {
    const SvgTextStyle style = SvgTextStyleFor(w.image());
    size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out;
        WriteSvg(out, w.list, 1000, 760, w.surface->backColour(), style);
        bytes = out.str().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["items"] = static_cast<double>(w.list.size());
}

void BM_DefaultStartRecorded(benchmark::State& state) {
    RecordedWindow w;
    for (auto _ : state) {
        w.freshStart();
        w.logic->ClickStart();
        if (!w.ok(state)) return;
        benchmark::DoNotOptimize(w.list.size());
    }
    state.counters["items"] = static_cast<double>(w.list.size());
}
BENCHMARK(BM_DefaultStartRecorded)->Unit(benchmark::kMillisecond);

void BM_SvgOfDefaultStart(benchmark::State& state) {
    static RecordedWindow w;
    w.freshStart();
    w.logic->ClickStart();
    if (!w.ok(state)) return;
    WriteDocuments(state, w);
}
BENCHMARK(BM_SvgOfDefaultStart)->Unit(benchmark::kMillisecond);

void BM_SvgOfDefaultShade(benchmark::State& state) {
    static RecordedWindow w;
    w.freshStart();
    w.logic->ClickStart();
    w.logic->ClickStart();
    w.logic->ClickShade();
    if (!w.ok(state)) return;
    WriteDocuments(state, w);
}
BENCHMARK(BM_SvgOfDefaultShade)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
