#include "session/session.h"

#include <cmath>

#include "session/log_sink.h"
#include "model/profile_file.h"
#include "model/stage_results.h"
#include "render/run_painter.h"
#include "render/shading.h"
#include "session/regulation_log.h"
#include "session/start_rules.h"

namespace ammonite {

namespace {

// Makes a profile one straight segment of constant value over the stage range.
void constantProfile(ParameterProfile& profile, const ModelState& model, double value) {
    profile.count = 1;
    profile.setPoint(0, model.stageRange[0], value);
    profile.setPoint(1, model.stageRange[1], value);
}

std::string wholeNumberText(double v) { return std::to_string(std::lround(v)); }

// The regulation's decisions of a START, kept in the session.
class EventKeeper : public GrowthObserver {
public:
    explicit EventKeeper(std::vector<RegulationEvent>& events) : events_(events) {}
    void regulationStep(const RegulationEvent& decided) override { events_.push_back(decided); }

private:
    std::vector<RegulationEvent>& events_;
};

}  // namespace

bool SetSweepModelInput(ModelDocument& document, const SweepValue& v, const void* by) {
    // The profile keeps its unused points, as a profile edited in place does.
    auto constant = [&](ProfileKind which) {
        ParameterProfile profile = document.profile(which);
        constantProfile(profile, document.state(), v.value);
        document.setProfile(which, profile, by);
        return true;
    };
    switch (v.target) {
    case SweepTarget::Alpha: document.setAlpha(v.value, by); return true;
    case SweepTarget::DensityAir: document.setDensity(0, v.value, by); return true;
    case SweepTarget::DensityBody: document.setDensity(1, v.value, by); return true;
    case SweepTarget::Gamma: return constant(ProfileKind::Gamma);
    case SweepTarget::Curvature: return constant(ProfileKind::Curvature);
    case SweepTarget::Torsion: return constant(ProfileKind::Torsion);
    case SweepTarget::Beta: return constant(ProfileKind::Beta);
    default: return false;
    }
}

bool SetSweepModelInput(ModelState& model, const SweepValue& v) {
    ModelDocument unobserved(model);
    return SetSweepModelInput(unobserved, v);
}

bool PerformSession(const SessionOptions& options, Session& session, const std::vector<SweepValue>& values,
                    std::string& fileError) {
    ModelState& model = *session.model;
    RunState& run = *session.run;
    session.runtimeError.clear();
    // What a START shows: the log in the session, the picture on its
    // surface when it has one, the stage box's text.
    LinesLog log(session.log);
    std::unique_ptr<RunPainter> painter;
    if (session.surface) painter = std::make_unique<RunPainter>(*session.surface);
    StartViews views;
    views.painter = painter.get();
    views.stagesSettled = [&session](int shownStage, int) { session.stageText = std::to_string(shownStage); };
    EventKeeper events(session.events);
    if (session.keepsRecords) {
        views.log = &log;
        views.observer = &events;
    }

    // The main window's load step, with the bars where the window puts them.
    ThresholdBars bars;
    LoadWindowModel(model, run, session.scaleText, bars);

    // A profile data file, read as the profile window loads it (the final
    // stage also becomes the stage count); a bad file changes nothing.
    if (options.profilesIn && !ReadProfileFile(*options.profilesIn, model, fileError)) return false;
    if (options.profiles) {
        const ModelState& p = *options.profiles;
        model.gammaProfile = p.gammaProfile;
        model.curvatureProfile = p.curvatureProfile;
        model.torsionProfile = p.torsionProfile;
        model.betaProfile = p.betaProfile;
        model.alpha = p.alpha;
        model.stageRange = p.stageRange;
        model.shownStage = toInt16(p.stageRange[1]);
        model.profileFileName = p.profileFileName;
    }

    // Settings, straight into the model as the settings window would write them.
    if (options.view) model.viewVector = {(*options.view)[0], (*options.view)[1], (*options.view)[2]};
    if (options.light) model.lightVector = {(*options.light)[0], (*options.light)[1], (*options.light)[2]};
    if (options.origin) {
        model.originX = (*options.origin)[0];
        model.originY = (*options.origin)[1];
    }
    if (options.densities) {
        model.densities[0] = (*options.densities)[0];
        model.densities[1] = (*options.densities)[1];
    }
    if (options.orientation) model.orientationMode = *options.orientation ? 2 : 0;
    if (options.ribbing) model.ribbingOn = *options.ribbing ? 1 : 0;

    // Sweep values that are model inputs; the others act as the controls below.
    std::optional<std::string> stagesText = options.stagesText;
    std::optional<std::array<int, 4>> barPositions = options.thresholds;
    std::optional<double> alpha;
    for (const SweepValue& v : values) {
        switch (v.target) {
        case SweepTarget::None: break;
        case SweepTarget::Stages: stagesText = wholeNumberText(v.value); break;
        case SweepTarget::Alpha: alpha = v.value; break;
        case SweepTarget::DensityAir:
        case SweepTarget::DensityBody:
        case SweepTarget::Gamma:
        case SweepTarget::Curvature:
        case SweepTarget::Torsion:
        case SweepTarget::Beta: SetSweepModelInput(model, v); break;
        case SweepTarget::St1:
        case SweepTarget::St2:
        case SweepTarget::Ft1:
        case SweepTarget::Ft2: {
            if (!barPositions) barPositions = std::array<int, 4>{bars.st1, bars.st2, bars.ft1, bars.ft2};
            const size_t i = static_cast<size_t>(static_cast<int>(v.target) - static_cast<int>(SweepTarget::St1));
            (*barPositions)[i] = static_cast<int>(std::lround(v.value));
            break;
        }
        }
    }

    // User actions; the first runtime error ends them, as it would end the
    // user's session at the window.
    auto act = [&](const auto& action) {
        if (!session.runtimeError.empty()) return;
        try {
            action();
        } catch (const RuntimeError& e) {
            session.runtimeError = e.what();
        }
    };
    // A box's text is read only when it changes, as the box's change event fires.
    if (stagesText && *stagesText != session.stageText) act([&] {
        session.stageText = *stagesText;
        ReadStageBox(model, session.stageText);
    });
    if (options.scaleText && *options.scaleText != session.scaleText) act([&] {
        session.scaleText = *options.scaleText;
        ReadScaleBox(model, session.scaleText);
    });
    if (barPositions && session.runtimeError.empty()) {
        for (ThresholdBar bar : {ThresholdBar::St1, ThresholdBar::St2, ThresholdBar::Ft1, ThresholdBar::Ft2}) {
            const int position = (*barPositions)[static_cast<size_t>(bar)];
            int& current = BarPosition(bars, bar);
            if (position == current) continue;
            current = position;
            MoveThresholdBar(run, bar, position);
            // A moved bar redraws the chart once there is a run to plot.
            if (!ChartFollowsBars(run)) continue;
            act([&] {
                if (session.surface) session.surface->clear();
                DrawRunChart(session.surface, model, run);
            });
            if (!session.runtimeError.empty()) break;
        }
    }
    session.cancelled = false;
    for (int k = 0; k < options.runs; ++k) {
        if (session.cancelRequested && session.runtimeError.empty() && session.cancelRequested()) {
            session.cancelled = true;
            return true;
        }
        // The regulation sets α back to its own value; a swept α holds for every run.
        if (alpha) model.alpha = *alpha;
        act([&] {
            session.events.clear();  // each START's decisions replace the last one's, as its log does
            PressStart(model, run, session.scaleText, views);
        });
    }
    if (options.shade) act([&] {
        NullSurface nowhere;
        ShadeOutcome shaded;
        const std::string refusal = ShadeLastRun(session.surface ? *session.surface : nowhere, model, run, &shaded);
        if (!refusal.empty())
            session.runtimeError = refusal;
        else
            ApplyShadeOutcome(model, run, shaded);
    });
    return true;
}

void WriteSummary(std::ostream& out, const Session& session) { WriteRunSummary(out, *session.model, *session.run); }

void WriteLog(std::ostream& out, const std::vector<std::vector<std::string>>& lines) {
    for (const auto& items : lines) out << MemoryLog::join(items) << '\n';
}

}  // namespace ammonite
