#include "session/start_rules.h"

#include <memory>

#include "render/regulation_chart.h"
#include "session/option_table.h"
#include "session/regulation_log.h"

namespace ammonite {

void LoadWindowModel(ModelState& model, RunState& run, const std::string& scaleText, const ThresholdBars& bars) {
    LoadModelDefaults(model, run, scaleText);
    ResetRegulation(model, run, bars);
}

void ReadStageBox(ModelState& model, const std::string& text) {
    model.shownStage = toInt16(ReadTypedNumber("STAGE", text, kStageBoxRange.lo, kStageBoxRange.hi, true));
}

void ReadScaleBox(ModelState& model, const std::string& text) {
    model.drawScale = ReadTypedNumber("SCALE", text, kScaleBoxRange.lo, kScaleBoxRange.hi, false);
}

double MoveThresholdBar(RunState& run, ThresholdBar bar, int position) {
    switch (bar) {
    case ThresholdBar::St1: SetSizeLow(run, position); return run.sizeLow;
    case ThresholdBar::St2: SetSizeHigh(run, position); return run.sizeHigh;
    case ThresholdBar::Ft1: SetFatigueAtSizeLow(run, position); return run.fatigueAtSizeLow;
    case ThresholdBar::Ft2: SetFatigueAtSizeHigh(run, position); return run.fatigueAtSizeHigh;
    }
    return 0;
}

int& BarPosition(ThresholdBars& bars, ThresholdBar bar) {
    switch (bar) {
    case ThresholdBar::St1: return bars.st1;
    case ThresholdBar::St2: return bars.st2;
    case ThresholdBar::Ft1: return bars.ft1;
    case ThresholdBar::Ft2: break;
    }
    return bars.ft2;
}

bool ChartFollowsBars(const RunState& run) { return run.hasRun || run.lastBuiltStage >= 1; }

std::string ScaleTextRefusal(const std::string& scaleText) {
    return "SCALE: \"" + scaleText + "\" is not a number (type a number such as 2)";
}

void PressStart(ModelState& model, RunState& run, const std::string& scaleText, const StartViews& views) {
    if (views.log) views.log->clear();
    const GrowthCarry carry = GrowthCarryOf(model, run);
    GrowthInputs inputs = GrowthInputsOf(model, run);
    // The stage count and the tables.
    GrowthOutcome outcome = BeginGrowth(inputs, run);
    try {
        if (outcome.error) throw *outcome.error;
        model.shownStage = outcome.shownStage;
        model.lastStage = outcome.lastStage;
        if (views.stagesSettled) views.stagesSettled(model.shownStage, model.lastStage);
        // Strict conversion of the scale text.
        double scale = 0;
        if (!tryParseWholeNumber(scaleText, scale))
            throw RuntimeError::plain(RuntimeError::Kind::TypeMismatch, ScaleTextRefusal(scaleText));
        model.drawScale = scale;
        inputs.drawScale = model.drawScale;
    } catch (...) {
        ApplyGrowthOutcome(model, run, outcome);
        throw;
    }
    if (views.growthBegins) views.growthBegins();
    if (views.painter) views.painter->prepare(model);

    // The growth: rings to the picture, events to the log.
    CompositeObserver observer;
    std::unique_ptr<RegulationLogWriter> logWriter;
    if (views.log) logWriter = std::make_unique<RegulationLogWriter>(*views.log);
    observer.add(logWriter.get());
    observer.add(views.painter);
    observer.add(views.observer);
    ContinueGrowth(inputs, carry, run, outcome, observer.empty() ? nullptr : &observer);
    WriteRunReport(run.report, run, outcome);
    ApplyGrowthOutcome(model, run, outcome);

    // What the run left, shown as the window shows it.
    if (views.reportChanged) views.reportChanged(run.report);
    if (outcome.stagesGrown && views.stagesSettled) views.stagesSettled(model.shownStage, model.lastStage);
    if (views.painter && outcome.markersReady) views.painter->drawMarkers(run);
    if (outcome.chartBegan && views.painter) {
        try {
            DrawRegulationChart(views.painter->surface(), run, model.shownStage);
        } catch (const RuntimeError&) {
            // The run stopped on the same check; its error is thrown below.
        }
    }
    if (outcome.error) throw *outcome.error;
}

void DrawRunChart(DrawingSurface* surface, const ModelState& model, const RunState& run) {
    NullSurface nowhere;
    DrawRegulationChart(surface ? *surface : nowhere, run, model.shownStage);
}

}  // namespace ammonite
