// The main window's behaviour without the toolkit: its controls as plain
// models, its run state, the load step and the handlers of START, SHADE, the
// stage and scale boxes, the threshold bars and a click on the window. The
// window layer and the headless batch tool both drive this one class.
#pragma once

#include <functional>
#include <string>

#include "app/controls.h"
#include "app/log_sink.h"
#include "model/model_state.h"
#include "model/run_state.h"
#include "render/surface.h"

namespace ammonite {

// Text of the orientation label: the angle truncated to tenths of a degree.
std::string OrientationLabel(float angle);

class MainWindowLogic {
public:
    MainWindowLogic(ModelState& model, DrawingSurface& surface, LogSink& log);

    // Load of the main window: the model defaults (unless the profile window
    // has been opened), the threshold labels and ResetRegulation.
    void Load();
    void ResetRegulation();

    // ---- user actions; each ends at a RuntimeError, which is shown in
    // statusLine and leaves the window usable ----
    void ClickStart();
    void ClickShade();
    void ClickWindow();  // clears the drawing surface
    void TypeStages(const std::string& text) { Guard([&] { NUMtxt.setText(text); }); }
    void TypeScale(const std::string& text) { Guard([&] { SCLtxt.setText(text); }); }
    // Moves a threshold bar as the user would (ST1hsc, ST2hsc, FT1vsc, FT2vsc).
    void MoveBar(ScrollBarModel& bar, int value) { Guard([&] { bar.setValue(value); }); }

    // Runs an action, catching the runtime error that ends it; returns false
    // when it ended with an error (the message is in statusLine).
    bool Guard(const std::function<void()>& action);

    // ---- run command and growth run ----
    void Start();                  // START, steps 1 to 11
    void GrowShell();              // the growth run
    void LoadStageParameters();    // stages up to 200
    void RegulateStage();          // stages from 201
    void DrawRegulationChart();
    void ShadeShell();

    // ---- hydrostatics and life orientation of the stage being built ----
    void HydrostaticStep();        // volumes, centres and density after currentStage
    void SimpleUpVector();         // "up" = from the body chamber to the air chamber
    void FindTangentPoint();       // "up" from the point the shell rests on
    // Orientation angle and lifeViewVector for the growth direction given.
    void OrientStage(const Vec3& direction);
    void FinalReport();            // labels, markers, life orientation, chart

    ModelState& model;
    DrawingSurface& surface;
    LogSink& log;
    RunState run;

    // ---- controls ----
    TextBoxModel NUMtxt, MAXtxt, SCLtxt, PTRtxt;
    LabelModel ORIlbl, DNSlbl, STBlbl, FATIGlbl, FT1lbl, FT2lbl, ST1lbl, ST2lbl;
    ScrollBarModel FT1vsc{-80, 0, 1, 10, 0};
    ScrollBarModel FT2vsc{-80, 0, 1, 10, 0};
    ScrollBarModel ST1hsc{0, 1000, 1, 10, 200};
    ScrollBarModel ST2hsc{0, 1000, 1, 10, 300};
    // Short error line of the last action (empty when it succeeded).
    LabelModel statusLine;

    // Called when the window's picture changed (the window repaints).
    std::function<void()> surfaceChanged;

private:
    int guardDepth_ = 0;
    void onNumTextChanged();
    void onSclTextChanged();
    void onThresholdBarChanged(ScrollBarModel& bar);
    void notifySurface() {
        if (surfaceChanged) surfaceChanged();
    }
};

}  // namespace ammonite
