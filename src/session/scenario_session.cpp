#include "session/scenario_session.h"

#include <algorithm>
#include <cmath>

#include "core/numeric.h"
#include "model/growth.h"
#include "model/profile_file.h"

namespace ammonite {

namespace {

// START clamps the stage count to 1..3999 before anything else reads it.
int clampedStages(double shown) { return static_cast<int>(std::clamp(shown, 1.0, 3999.0)); }

}  // namespace

SessionOptions SessionOptionsFor(const Scenario& s) {
    SessionOptions o;
    auto profiles = std::make_shared<ModelState>();
    ApplyScenarioProfiles(s, *profiles);
    o.profiles = profiles;
    o.stagesText = std::to_string(s.stages);
    o.scaleText = formatNumber(s.scale);
    o.view = s.view;
    o.light = s.light;
    o.origin = s.origin;
    o.densities = std::array<double, 2>{s.densityAir, s.densityBody};
    o.orientation = s.orientation;
    o.ribbing = s.ribbing;
    o.thresholds = std::array<int, 4>{s.st1, s.st2, s.ft1, s.ft2};
    o.runs = s.runs;
    o.shade = s.shade;
    return o;
}

SessionOptions SessionOptionsOver(const Scenario& scenario, const SessionOptions& given, bool runsGiven) {
    SessionOptions o = SessionOptionsFor(scenario);
    if (given.profilesIn) {
        o.profilesIn = given.profilesIn;
        o.profiles = nullptr;
        o.stagesText.reset();  // the file's final stage, as D-Load sets it
    }
    if (given.profiles) o.profiles = given.profiles;
    if (given.stagesText) o.stagesText = given.stagesText;
    if (given.scaleText) o.scaleText = given.scaleText;
    if (given.view) o.view = given.view;
    if (given.light) o.light = given.light;
    if (given.origin) o.origin = given.origin;
    if (given.densities) o.densities = given.densities;
    if (given.orientation) o.orientation = given.orientation;
    if (given.ribbing) o.ribbing = given.ribbing;
    if (given.thresholds) o.thresholds = given.thresholds;
    if (runsGiven) o.runs = given.runs;
    o.shade = o.shade || given.shade;
    return o;
}

bool ScenarioOfOptions(const SessionOptions& options, Scenario& out, std::string& error) {
    Scenario s;
    if (options.profilesIn) {
        // Read on top of the window's defaults, as the session reads it.
        ModelState model;
        RunState run;
        LoadModelDefaults(model, run);
        ResetRegulation(model, run, ThresholdBars{});
        if (!ReadProfileFile(*options.profilesIn, model, error)) return false;
        if (!ScenarioProfilesFromModel(model, s, error)) return false;
        s.stages = clampedStages(model.shownStage);
    }
    if (options.profiles) {
        if (!ScenarioProfilesFromModel(*options.profiles, s, error)) return false;
        s.stages = clampedStages(std::round(options.profiles->stageRange[1]));
    }
    if (options.stagesText) {
        const double shown = parseLeadingNumber(*options.stagesText);
        if (!(std::fabs(shown) <= 32767.5)) {
            error = "stages: " + *options.stagesText + " is too large for the STAGE box";
            return false;
        }
        s.stages = clampedStages(roundHalfEven(shown));
    }
    if (options.scaleText) s.scale = parseLeadingNumber(*options.scaleText);
    if (options.view) s.view = *options.view;
    if (options.light) s.light = *options.light;
    if (options.origin) s.origin = *options.origin;
    if (options.densities) {
        s.densityAir = (*options.densities)[0];
        s.densityBody = (*options.densities)[1];
    }
    if (options.orientation) s.orientation = *options.orientation;
    if (options.ribbing) s.ribbing = *options.ribbing;
    if (options.thresholds) {
        s.st1 = (*options.thresholds)[0];
        s.st2 = (*options.thresholds)[1];
        s.ft1 = (*options.thresholds)[2];
        s.ft2 = (*options.thresholds)[3];
    }
    s.runs = options.runs;
    s.shade = options.shade;
    if (!CheckScenario(s, error)) return false;
    out = std::move(s);
    return true;
}

void GrowScenario(const Scenario& scenario, Session& session) {
    // Nothing of an earlier run reaches this one.
    session.model = std::make_unique<ModelState>();
    session.run = std::make_unique<RunState>();
    session.log.clear();
    session.events.clear();
    session.stageText = "0";
    session.scaleText = "2";
    std::string unused;
    PerformSession(SessionOptionsFor(scenario), session, {}, unused);
}

}  // namespace ammonite
