// The main window's load step, boxes, bars, START and SHADE in this process,
// by the rules the window itself follows (session/start_rules.h): what the
// batch tool writes is compared with what the window would show.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "render/run_painter.h"
#include "render/shading.h"
#include "render/surface.h"
#include "session/log_sink.h"
#include "session/start_rules.h"

namespace batch_test {

struct WindowRules {
    std::unique_ptr<ammonite::ModelState> model = std::make_unique<ammonite::ModelState>();
    std::unique_ptr<ammonite::RunState> run = std::make_unique<ammonite::RunState>();
    ammonite::RasterSurface surface{1000, 760};
    ammonite::RunPainter painter{surface};
    ammonite::MemoryLog log;
    ammonite::ThresholdBars bars;
    std::string scaleText = "2";
    std::string status;  // the status line: the last runtime error or refusal

    WindowRules() { ammonite::LoadWindowModel(*model, *run, scaleText, bars); }

    void typeStages(const std::string& text) {
        act([&] { ammonite::ReadStageBox(*model, text); });
    }
    void typeScale(const std::string& text) {
        scaleText = text;
        act([&] { ammonite::ReadScaleBox(*model, text); });
    }
    void moveBar(ammonite::ThresholdBar bar, int position) {
        ammonite::BarPosition(bars, bar) = position;
        ammonite::MoveThresholdBar(*run, bar, position);
        if (!ammonite::ChartFollowsBars(*run)) return;
        act([&] {
            surface.clear();
            ammonite::DrawRunChart(&surface, *model, *run);
        });
    }
    void start() {
        ammonite::StartViews views;
        views.log = &log;
        views.painter = &painter;
        act([&] { ammonite::PressStart(*model, *run, scaleText, views); });
    }
    void shade() {
        ammonite::ShadeOutcome shaded;
        const std::string refusal = ammonite::ShadeLastRun(surface, *model, *run, &shaded);
        if (!refusal.empty())
            status = refusal;
        else
            ammonite::ApplyShadeOutcome(*model, *run, shaded);
    }

private:
    void act(const std::function<void()>& action) {
        status.clear();
        try {
            action();
        } catch (const ammonite::RuntimeError& e) {
            status = e.what();
        }
    }
};

}  // namespace batch_test
