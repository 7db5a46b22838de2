// The main window's behaviour without the toolkit: its controls as plain
// models, the handlers of START, SHADE, the stage and scale boxes, the
// threshold bars and a click on the window. It reads the controls into the
// engine's inputs, runs the engine and draws what the engine reports on the
// window's surface; labels and boxes show the run's report.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/runtime_error_guard.h"
#include "app/controls.h"
#include "session/log_sink.h"
#include "model/growth.h"
#include "model/model_document.h"
#include "model/model_state.h"
#include "model/run_state.h"
#include "render/run_painter.h"
#include "render/surface.h"
#include "session/option_table.h"
#include "session/regulation_log.h"
#include "session/start_rules.h"

namespace ammonite {

class MainWindowLogic {
    std::unique_ptr<ModelDocument> ownDocument_;  // when the window has the model to itself

public:
    // The window shares the model with the other windows through `document`:
    // it announces the stage count, the scale, the bars and every START and
    // SHADE there, and its scale box shows a scale another window set.
    MainWindowLogic(ModelDocument& document, DrawingSurface& surface, LogSink& log);
    MainWindowLogic(ModelState& model, DrawingSurface& surface, LogSink& log);

    // Load of the main window: the model defaults (unless the profile window
    // has been opened), the threshold labels and ResetRegulation.
    void Load();
    void ResetRegulation();
    // The threshold bars' positions.
    ThresholdBars bars() const;

    // ---- user actions; each ends at a RuntimeError, which is shown in
    // statusLine and leaves the window usable ----
    void ClickStart();
    void ClickShade();
    void ClickWindow();  // clears the drawing surface
    // Another window changed the stage range: the STAGE and MAX boxes show
    // the stage the next START grows to and the final stage.
    void ShowModelStages();
    void TypeStages(const std::string& text) { Guard([&] { NUMtxt.setText(text); }); }
    void TypeScale(const std::string& text) { Guard([&] { SCLtxt.setText(text); }); }
    // Moves a threshold bar as the user would (ST1hsc, ST2hsc, FT1vsc, FT2vsc).
    void MoveBar(ScrollBarModel& bar, int value) { Guard([&] { bar.setValue(value); }); }

    // Runs an action, catching the runtime error that ends it; returns false
    // when it ended with an error (the message is in statusLine).
    bool Guard(const std::function<void()>& action);

    void Start();                  // START, steps 1 to 11
    // After a growth that stopped on a runtime error: the result labels show
    // what that growth left, not what the run before it reported.
    void ShowStoppedGrowth();
    void DrawRegulationChart();
    void ShadeShell();

    // What a START shows in this window: the log, the picture, the boxes
    // and the labels.
    const StartViews& views() const { return views_; }
    // What the last START grew from, and what it left in the model's α
    // (none before the first START).
    struct LastStart {
        GrowthInputs inputs;
        double alphaLeft = 0;
    };
    const std::optional<LastStart>& lastStart() const { return lastStart_; }

    ModelDocument& document;
    ModelState& model;
    DrawingSurface& surface;
    LogSink& log;
    RunState run;

    // ---- controls ----
    TextBoxModel NUMtxt, MAXtxt, SCLtxt, PTRtxt;
    LabelModel ORIlbl, DNSlbl, STBlbl, FATIGlbl, FT1lbl, FT2lbl, ST1lbl, ST2lbl;
    ScrollBarModel FT1vsc{int(kFatigueBarRange.lo), int(kFatigueBarRange.hi), 1, 10, 0};
    ScrollBarModel FT2vsc{int(kFatigueBarRange.lo), int(kFatigueBarRange.hi), 1, 10, 0};
    ScrollBarModel ST1hsc{int(kSizeBarRange.lo), int(kSizeBarRange.hi), 1, 10, 200};
    ScrollBarModel ST2hsc{int(kSizeBarRange.lo), int(kSizeBarRange.hi), 1, 10, 300};
    // Short error line of the last action (empty when it succeeded).
    LabelModel statusLine;

    // Called when the window's picture changed (the window repaints).
    std::function<void()> surfaceChanged;

private:
    void showStages(int shownStage, int lastStage);
    void showReport(const RunReport& report);

    RunPainter painter_{surface};
    StartViews views_;
    std::optional<LastStart> lastStart_;
    ModelDocument::Subscription scaleFromOthers_;
    RuntimeErrorGuard guard_{statusLine};
    bool growthBegan_ = false;  // the START under way reached the growth run
    void init();
    void onNumTextChanged();
    void onSclTextChanged();
    void onThresholdBarChanged(ScrollBarModel& bar);
    void notifySurface() {
        if (surfaceChanged) surfaceChanged();
    }
};

}  // namespace ammonite
