#include "app/main_window_logic.h"

#include <cmath>

#include "model/interpolation.h"
#include "render/axes.h"

namespace ammonite {

MainWindowLogic::MainWindowLogic(ModelState& m, DrawingSurface& s, LogSink& l)
    : model(m), surface(s), log(l) {
    // Design texts: set before the handlers are attached, so they fire nothing.
    NUMtxt.setText("0");
    SCLtxt.setText("2");
    PTRtxt.setText("60");
    FATIGlbl.setCaption("φ=");
    NUMtxt.onChange = [this] { onNumTextChanged(); };
    SCLtxt.onChange = [this] { onSclTextChanged(); };
    ST1hsc.onChange = [this] { onThresholdBarChanged(ST1hsc); };
    ST2hsc.onChange = [this] { onThresholdBarChanged(ST2hsc); };
    FT1vsc.onChange = [this] { onThresholdBarChanged(FT1vsc); };
    FT2vsc.onChange = [this] { onThresholdBarChanged(FT2vsc); };
}

bool MainWindowLogic::Guard(const std::function<void()>& action) {
    // A new user action replaces the message of the previous one; actions
    // nested inside it keep whatever the outer action shows.
    const bool outermost = guardDepth_ == 0;
    if (outermost) statusLine.setCaption("");
    ++guardDepth_;
    bool ok = true;
    try {
        action();
    } catch (const RuntimeError& e) {
        statusLine.setCaption(e.what());
        ok = false;
    }
    --guardDepth_;
    if (outermost) notifySurface();
    return ok;
}

void MainWindowLogic::Load() {
    if (model.profileWindowOpened == 1) return;
    model.shownStage = 1700;
    model.alpha = 1.002;
    model.stageRange[0] = 0;
    model.growthIncrement = 0.05f;
    model.stageRange[1] = 3000;
    model.lastStage = toInt16(model.stageRange[1]);
    model.densities[0] = 0.6;
    model.densities[1] = 1.3;
    model.setDefaultProfiles();
    model.viewVector = {0, 1, 0};
    model.lightVector = {1, 0, 1};
    run.sectionAngleStep = 4;
    model.originX = 500;
    model.originY = 650;
    model.orientationCos = 1;
    model.orientationSin = 0;
    model.orientationShiftX = 0;
    model.orientationShiftY = 0;
    model.ribbingOn = 1;
    model.orientationMode = 2;
    // The scale box's design text gives the drawing scale.
    model.drawScale = parseLeadingNumber(SCLtxt.text());
    FT1lbl.setCaption(formatNumber(FT1vsc.value() / 100.0));
    FT2lbl.setCaption(formatNumber(FT2vsc.value() / 100.0));
    ST1lbl.setCaption(formatNumber(ST1hsc.value() / 100.0));
    ST2lbl.setCaption(formatNumber(ST2hsc.value() / 100.0));
    ResetRegulation();
}

void MainWindowLogic::ResetRegulation() {
    model.alpha = 1 + 5.0 / 1000;
    run.ribSpacingFactor = 0.3;
    run.sizeLow = ST1hsc.value() / 100.0;
    run.fatigueAtSizeLow = FT1vsc.value() / 100.0;
    run.sizeHigh = ST2hsc.value() / 100.0;
    run.fatigueAtSizeHigh = FT2vsc.value() / 100.0;
    run.fatigueThreshold = 0;
}

void MainWindowLogic::ClickStart() {
    Guard([this] { Start(); });
}

void MainWindowLogic::ClickShade() {
    Guard([this] { ShadeShell(); });
}

void MainWindowLogic::ClickWindow() {
    Guard([this] { surface.clear(); });
}

void MainWindowLogic::Start() {
    // 1. Clear the regulation log.
    log.clear();
    // 2. Clamp the stage count (3999, not 4000).
    if (model.shownStage < 1) model.shownStage = 1;
    if (model.shownStage > 3999) model.shownStage = 3999;
    // 3. Regulation flags.
    run.regulationStarted = 0;
    run.overturned = 0;
    run.turnAngle = 0;
    // 4. Per-stage tables from the profiles; sets lastStage.
    InterpolateProfiles(model);
    // 5.
    if (model.shownStage > model.lastStage) model.shownStage = model.lastStage;
    // 6.
    NUMtxt.setText(std::to_string(model.shownStage));
    MAXtxt.setText(std::to_string(model.lastStage));
    // 7. Strict conversion of the scale text.
    model.drawScale = parseWholeNumber(SCLtxt.text());
    // 8. View direction pairs.
    run.view = ViewPairsFromVector(model.viewVector.x, model.viewVector.y, model.viewVector.z);
    // 9. Surface: solid fill, grey fore colour, cleared.
    surface.setFillStyle(0);
    surface.setForeColour(Rgb(100, 100, 100));
    surface.clear();
    // 10. Axes.
    DrawAxes(surface, model, run.view);
    // 11. The growth run.
    GrowShell();
}

void MainWindowLogic::onNumTextChanged() {
    // A value outside the box's range names the box and the range; the stage keeps its old value.
    model.shownStage = toInt16(ReadTypedNumber("STAGE", NUMtxt.text(), -32768, 32767, true));
}

void MainWindowLogic::onSclTextChanged() {
    model.drawScale = ReadTypedNumber("SCALE", SCLtxt.text(), -kFixed4Limit, kFixed4Limit, false);
}

}  // namespace ammonite
