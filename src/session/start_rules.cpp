#include "session/start_rules.h"

#include "session/option_table.h"

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

void PressStart(ModelState& model, RunState& run, const std::string& scaleText, GrowthObserver* observer) {
    // Steps 1 to 6: log, stage count, regulation flags, tables.
    StartRun(model, run, observer);
    // 7. Strict conversion of the scale text.
    double scale = 0;
    if (!tryParseWholeNumber(scaleText, scale))
        throw RuntimeError::plain(RuntimeError::Kind::TypeMismatch, ScaleTextRefusal(scaleText));
    model.drawScale = scale;
    // 8. View direction pairs.
    PrepareView(model, run);
    // 9, 10. The window clears its surface and draws the axes.
    if (observer) observer->runPrepared(model, run);
    // 11. The growth run.
    GrowShell(model, run, observer);
}

}  // namespace ammonite
