// What the benchmarks share: a toolkit application for the fonts (no screen)
// and a main window's model on a surface, brought back before every START to
// the state of a fresh window, so each iteration repeats the very first run.
#pragma once

#include <benchmark/benchmark.h>


#include <memory>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "picture/headless_toolkit.h"
#include "render/display_list.h"

namespace bench {

inline void ensureGuiApplication() { ammonite::StartHeadlessToolkit({"ammonite_bench"}); }

struct Window {
    // With `record`, a display list records what the model draws.
    explicit Window(std::unique_ptr<ammonite::DrawingSurface> s, bool record = false) : surface(std::move(s)) {
        if (record) surface->setRecorder(&list);
        logic = std::make_unique<ammonite::MainWindowLogic>(*model, *surface, log);
        logic->Load();
        freshView = model->viewVector;
    }
    // Back to the state of a fresh window: a START leaves the stage count,
    // the view of the next run and its carry-over in the model.
    void freshStart() {
        logic->TypeStages("1700");
        model->viewVector = freshView;
        ammonite::SetGrowthCarry(*model, logic->run, ammonite::GrowthCarry{});
    }
    // False (and the benchmark skipped with the message) after a runtime error.
    bool ok(benchmark::State& state) {
        if (logic->statusLine.caption().empty()) return true;
        state.SkipWithError(logic->statusLine.caption().c_str());
        return false;
    }
    bool start(benchmark::State& state) {
        freshStart();
        logic->ClickStart();
        return ok(state);
    }

    std::unique_ptr<ammonite::ModelState> model = std::make_unique<ammonite::ModelState>();
    std::unique_ptr<ammonite::DrawingSurface> surface;
    ammonite::DisplayList list;
    ammonite::MemoryLog log;
    std::unique_ptr<ammonite::MainWindowLogic> logic;
    ammonite::Vec3F4 freshView;
};

}  // namespace bench
