#include "app/main_window_logic.h"

#include "session/start_rules.h"

namespace ammonite {

MainWindowLogic::MainWindowLogic(ModelState& m, DrawingSurface& s, LogSink& l)
    : ownDocument_(std::make_unique<ModelDocument>(m)), document(*ownDocument_), model(m), surface(s), log(l) {
    init();
}

MainWindowLogic::MainWindowLogic(ModelDocument& d, DrawingSurface& s, LogSink& l)
    : document(d), model(d.state()), surface(s), log(l) {
    init();
}

void MainWindowLogic::init() {
    guard_.ended = [this] { notifySurface(); };
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
    views_.log = &log;
    views_.painter = &painter_;
    views_.stagesSettled = [this](int shown, int last) { showStages(shown, last); };
    views_.growthBegins = [this] { growthBegan_ = true; };
    views_.reportChanged = [this](const RunReport& report) { showReport(report); };
    // START reads the scale from this window's own box: it shows a scale set
    // elsewhere (the settings window), as the user would have typed it here.
    scaleFromOthers_ = document.listen([this](ModelDocument::Change what, const void* by) {
        if (what != ModelDocument::Change::DrawScale || by == this) return;
        Guard([this] { SCLtxt.setText(formatFixed4(model.drawScale)); });
    });
}

bool MainWindowLogic::Guard(const std::function<void()>& action) {
    // The other windows hear of the action's changes once it has ended.
    ModelDocument::Batch batch(document);
    return guard_.run(action);
}

void MainWindowLogic::Load() {
    if (document.profileWindowOpened()) return;
    LoadWindowModel(model, run, SCLtxt.text(), bars());
    FT1lbl.setCaption(formatNumber(FT1vsc.value() / 100.0));
    FT2lbl.setCaption(formatNumber(FT2vsc.value() / 100.0));
    ST1lbl.setCaption(formatNumber(ST1hsc.value() / 100.0));
    ST2lbl.setCaption(formatNumber(ST2hsc.value() / 100.0));
}

ThresholdBars MainWindowLogic::bars() const { return {ST1hsc.value(), ST2hsc.value(), FT1vsc.value(), FT2vsc.value()}; }

void MainWindowLogic::ResetRegulation() { ammonite::ResetRegulation(model, run, bars()); }

void MainWindowLogic::ClickStart() {
    ModelDocument::Batch batch(document);
    growthBegan_ = false;
    // A START that stops early has changed the model and the run as far as it went.
    document.announce(ModelDocument::Change::Run, this);
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
    Guard([this] {
        document.announce(ModelDocument::Change::Run, this);
        ShadeShell();
    });
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
    // The boxes show the stage count and the last stage as the run settles them.
    lastStart_ = LastStart{GrowthInputsOf(model, run), model.alpha};
    try {
        PressStart(model, run, SCLtxt.text(), views_);
    } catch (...) {
        lastStart_->alphaLeft = model.alpha;
        throw;
    }
    lastStart_->alphaLeft = model.alpha;
}

void MainWindowLogic::DrawRegulationChart() { DrawRunChart(&surface, model, run); }

void MainWindowLogic::showStages(int shownStage, int lastStage) {
    NUMtxt.setText(std::to_string(shownStage));
    MAXtxt.setText(std::to_string(lastStage));
}

void MainWindowLogic::showReport(const RunReport& report) {
    ORIlbl.setCaption(report.orientationLabel);
    if (!report.densityLabel.empty()) DNSlbl.setCaption(report.densityLabel);
    if (!report.stabilityLabel.empty()) STBlbl.setCaption(report.stabilityLabel);
    PTRtxt.setText(report.ptRatioText);
}

void MainWindowLogic::onNumTextChanged() {
    ReadStageBox(model, NUMtxt.text());
    document.announce(ModelDocument::Change::Stages, this);
}

void MainWindowLogic::onSclTextChanged() {
    ReadScaleBox(model, SCLtxt.text());
    document.announce(ModelDocument::Change::DrawScale, this);
}

void MainWindowLogic::onThresholdBarChanged(ScrollBarModel& bar) {
    struct BarInfo {
        ScrollBarModel* bar;
        ThresholdBar which;
        LabelModel* label;
        const char* name;
    };
    const BarInfo bars[] = {
        {&ST1hsc, ThresholdBar::St1, &ST1lbl, "The smaller size"},
        {&ST2hsc, ThresholdBar::St2, &ST2lbl, "The larger size"},
        {&FT1vsc, ThresholdBar::Ft1, &FT1lbl, "The fatigue threshold at the smaller size"},
        {&FT2vsc, ThresholdBar::Ft2, &FT2lbl, "The fatigue threshold at the larger size"},
    };
    const BarInfo* info = &bars[3];
    for (const BarInfo& b : bars)
        if (b.bar == &bar) info = &b;
    const double stored = MoveThresholdBar(run, info->which, bar.value());
    document.announce(ModelDocument::Change::Thresholds, this);
    // The label follows the bar whatever happens to the chart.
    info->label->setCaption(formatNumber(stored));
    if (!ChartFollowsBars(run)) {
        statusLine.setCaption(std::string(info->name) + " is " + formatNumber(stored) +
                              "; press START first to see the chart");
        return;
    }
    surface.clear();
    DrawRegulationChart();
}

}  // namespace ammonite
