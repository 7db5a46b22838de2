#include "cli/batch_session.h"

#include <cmath>

#include "model/profile_file.h"

namespace ammonite::batch {

namespace {

// Makes a profile one straight segment of constant value over the stage range.
void constantProfile(ParameterProfile& profile, const ModelState& model, double value) {
    profile.count = 1;
    profile.setPoint(0, model.stageRange[0], value);
    profile.setPoint(1, model.stageRange[1], value);
}

std::string wholeNumberText(double v) { return std::to_string(std::lround(v)); }

}  // namespace

int CountRibs(const RunState& run) {
    int ribs = 0;
    for (long s = 1; s <= run.lastBuiltStage; ++s)
        if (run.ribMark[s] == 5) ++ribs;
    return ribs;
}

bool PerformSession(const Options& options, MainWindowLogic& logic, const std::vector<SweepValue>& values,
                    std::string& fileError, std::string& runtimeError) {
    ModelState& model = logic.model;
    runtimeError.clear();
    logic.Load();

    // A profile data file, read as the profile window loads it (the final
    // stage also becomes the stage count); a bad file changes nothing.
    if (options.profilesIn && !ReadProfileFile(*options.profilesIn, model, fileError)) return false;

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

    // Sweep values that are model inputs; the others go through the controls below.
    std::optional<std::string> stagesText = options.stagesText;
    std::optional<std::array<int, 4>> bars = options.thresholds;
    std::optional<double> alpha;
    for (const SweepValue& v : values) {
        switch (v.target) {
        case SweepTarget::Stages: stagesText = wholeNumberText(v.value); break;
        case SweepTarget::Alpha: alpha = v.value; break;
        case SweepTarget::DensityAir: model.densities[0] = v.value; break;
        case SweepTarget::DensityBody: model.densities[1] = v.value; break;
        case SweepTarget::Gamma: constantProfile(model.gammaProfile, model, v.value); break;
        case SweepTarget::Curvature: constantProfile(model.curvatureProfile, model, v.value); break;
        case SweepTarget::Torsion: constantProfile(model.torsionProfile, model, v.value); break;
        case SweepTarget::Beta: constantProfile(model.betaProfile, model, v.value); break;
        case SweepTarget::St1:
        case SweepTarget::St2:
        case SweepTarget::Ft1:
        case SweepTarget::Ft2: {
            if (!bars) bars = std::array<int, 4>{logic.ST1hsc.value(), logic.ST2hsc.value(), logic.FT1vsc.value(),
                                                 logic.FT2vsc.value()};
            const size_t i = static_cast<size_t>(static_cast<int>(v.target) - static_cast<int>(SweepTarget::St1));
            (*bars)[i] = static_cast<int>(std::lround(v.value));
            break;
        }
        }
    }

    // User actions; the first runtime error ends them, as it would end the
    // user's session at the window.
    auto act = [&](const auto& action) {
        if (!runtimeError.empty()) return;
        action();
        runtimeError = logic.statusLine.caption();
    };
    if (stagesText) act([&] { logic.TypeStages(*stagesText); });
    if (options.scaleText) act([&] { logic.TypeScale(*options.scaleText); });
    if (bars && runtimeError.empty()) {
        ScrollBarModel* controls[4] = {&logic.ST1hsc, &logic.ST2hsc, &logic.FT1vsc, &logic.FT2vsc};
        for (size_t i = 0; i < 4; ++i) {
            logic.MoveBar(*controls[i], (*bars)[i]);
            // The bar's value is stored before it redraws the chart; before
            // any run that redraw has no radii to plot and stops.
            if (!logic.run.hasRun) logic.statusLine.setCaption("");
            runtimeError = logic.statusLine.caption();
            if (!runtimeError.empty()) break;
        }
    }
    for (int k = 0; k < options.runs; ++k) {
        // The regulation sets α back to its own value; a swept α holds for every run.
        if (alpha) model.alpha = *alpha;
        act([&] { logic.ClickStart(); });
    }
    if (options.shade) act([&] { logic.ClickShade(); });
    return true;
}

}  // namespace ammonite::batch
