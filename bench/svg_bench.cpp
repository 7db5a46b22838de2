// SVG export of the main window's picture: a default START (1700 stages)
// drawn with a display list attached, and the SVG documents written from the
// list of that START and of a SHADE of the default shell (START twice, for
// the life orientation). Counters give the document sizes.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <memory>
#include <sstream>

#include "model/log_sink.h"
#include "model/main_window_logic.h"
#include "render/display_list.h"
#include "render/svg_surface.h"
#include "ui/image_surface.h"
#include "ui/svg_text_style.h"

using namespace ammonite;

namespace {

void ensureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "svg_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// A main window's model on a window-sized image with a display list attached.
struct RecordedWindow {
    RecordedWindow() {
        ensureGuiApplication();
        surface = std::make_unique<ImageSurface>(1000, 760);
        surface->setRecorder(&list);
        logic = std::make_unique<MainWindowLogic>(*model, *surface, log);
        logic->Load();
    }
    // Back to the state of a fresh window before a START, as in the run benchmark.
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
    bool ok(benchmark::State& state) {
        if (logic->statusLine.caption().empty()) return true;
        state.SkipWithError(logic->statusLine.caption().c_str());
        return false;
    }

    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<ImageSurface> surface;
    DisplayList list;
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic;
};

void WriteDocuments(benchmark::State& state, RecordedWindow& w) {
    const SvgTextStyle style = SvgTextStyleFor(*w.surface);
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
