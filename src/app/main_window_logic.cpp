#include "app/main_window_logic.h"

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
    LoadModelDefaults(model, run, SCLtxt.text());
    FT1lbl.setCaption(formatNumber(FT1vsc.value() / 100.0));
    FT2lbl.setCaption(formatNumber(FT2vsc.value() / 100.0));
    ST1lbl.setCaption(formatNumber(ST1hsc.value() / 100.0));
    ST2lbl.setCaption(formatNumber(ST2hsc.value() / 100.0));
    ResetRegulation();
}

void MainWindowLogic::ResetRegulation() {
    ammonite::ResetRegulation(model, run, {ST1hsc.value(), ST2hsc.value(), FT1vsc.value(), FT2vsc.value()});
}

void MainWindowLogic::ClickStart() {
    growthBegan_ = false;
    if (Guard([this] { Start(); }) || !growthBegan_) return;
    ShowStoppedGrowth();
}

void MainWindowLogic::ShowStoppedGrowth() {
    // The growth stopped before its final report: this shell has no density,
    // stability or P/T ratio, so the labels show none rather than the last
    // shell's. The orientation reached keeps the report's form (tenths).
    DNSlbl.setCaption("");
    STBlbl.setCaption("");
    PTRtxt.setText("");
    const std::string& angle = ORIlbl.caption();
    if (!angle.empty()) ORIlbl.setCaption(OrientationLabel(static_cast<float>(parseLeadingNumber(angle))));
}

void MainWindowLogic::ClickShade() {
    Guard([this] { ShadeShell(); });
}

void MainWindowLogic::ClickWindow() {
    Guard([this] { surface.clear(); });
}

void MainWindowLogic::ShowModelStages() {
    Guard([this] {
        const long first = static_cast<long>(roundHalfEven(model.stageRange[0]));
        const long last = static_cast<long>(roundHalfEven(model.stageRange[1]));
        const long final = first <= last ? last : first - 1;
        NUMtxt.setText(std::to_string(model.shownStage));
        MAXtxt.setText(std::to_string(final));
    });
}

void MainWindowLogic::Start() {
    // Steps 1 to 6: log, stage count, regulation flags, tables; the boxes
    // show the stage count and the last stage.
    StartRun(model, run, &presenter_);
    // 7. Strict conversion of the scale text.
    double scale = 0;
    if (!tryParseWholeNumber(SCLtxt.text(), scale))
        throw RuntimeError::plain(RuntimeError::Kind::TypeMismatch,
                                  "SCALE: \"" + SCLtxt.text() + "\" is not a number (type a number such as 2)");
    model.drawScale = scale;
    // 8. View direction pairs.
    PrepareView(model, run);
    // 9, 10. Surface cleared, axes.
    presenter_.runPrepared(model, run);
    // 11. The growth run.
    growthBegan_ = true;
    GrowShell(model, run, &presenter_);
}

void MainWindowLogic::DrawRegulationChart() { TraceRegulationChart(model, run, presenter_); }

void MainWindowLogic::Presenter::stagesSettled(const ModelState& m) {
    w_.NUMtxt.setText(std::to_string(m.shownStage));
    w_.MAXtxt.setText(std::to_string(m.lastStage));
}

void MainWindowLogic::Presenter::reportChanged(const RunReport& report) {
    w_.ORIlbl.setCaption(report.orientationLabel);
    if (!report.densityLabel.empty()) w_.DNSlbl.setCaption(report.densityLabel);
    if (!report.stabilityLabel.empty()) w_.STBlbl.setCaption(report.stabilityLabel);
    w_.PTRtxt.setText(report.ptRatioText);
}

void MainWindowLogic::onNumTextChanged() {
    // A value outside the box's range names the box and the range; the stage keeps its old value.
    model.shownStage = toInt16(ReadTypedNumber("STAGE", NUMtxt.text(), -32768, 32767, true));
}

void MainWindowLogic::onSclTextChanged() {
    model.drawScale = ReadTypedNumber("SCALE", SCLtxt.text(), -kFixed4Limit, kFixed4Limit, false);
}

void MainWindowLogic::onThresholdBarChanged(ScrollBarModel& bar) {
    double stored = 0;
    LabelModel* label = nullptr;
    const char* name = "";
    if (&bar == &ST1hsc) {
        name = "The smaller size";
        SetSizeLow(run, bar.value());
        stored = run.sizeLow;
        label = &ST1lbl;
    } else if (&bar == &ST2hsc) {
        name = "The larger size";
        SetSizeHigh(run, bar.value());
        stored = run.sizeHigh;
        label = &ST2lbl;
    } else if (&bar == &FT1vsc) {
        name = "The fatigue threshold at the smaller size";
        SetFatigueAtSizeLow(run, bar.value());
        stored = run.fatigueAtSizeLow;
        label = &FT1lbl;
    } else {
        name = "The fatigue threshold at the larger size";
        SetFatigueAtSizeHigh(run, bar.value());
        stored = run.fatigueAtSizeHigh;
        label = &FT2lbl;
    }
    // The label follows the bar whatever happens to the chart.
    label->setCaption(formatNumber(stored));
    if (!run.hasRun && run.lastBuiltStage < 1) {
        statusLine.setCaption(std::string(name) + " is " + formatNumber(stored) +
                              "; press START first to see the chart");
        return;
    }
    surface.clear();
    DrawRegulationChart();
}

}  // namespace ammonite
