#include "app/window_scenario.h"

#include <algorithm>
#include <memory>

#include "core/numeric.h"

namespace ammonite {

namespace {

// What defines the shell, without the texts that only name it.
Scenario inputsOnly(Scenario s) {
    s.name.clear();
    s.heading.clear();
    s.description.clear();
    s.runs = 1;
    s.shade = false;
    return s;
}

}  // namespace

bool WindowScenario::inputs(Scenario& out, std::string& error) const {
    const ModelState& m = logic_.model;
    Scenario s;
    if (!ScenarioProfilesFromModel(m, s, error)) return false;
    // START clamps the stage count to 1..3999 before anything reads it.
    s.stages = std::clamp<int>(m.shownStage, 1, 3999);
    s.scale = m.drawScale;
    s.origin = {m.originX, m.originY};
    s.view = {m.viewVector.x, m.viewVector.y, m.viewVector.z};
    s.light = {m.lightVector.x, m.lightVector.y, m.lightVector.z};
    s.densityAir = m.densities[0];
    s.densityBody = m.densities[1];
    s.ribbing = logic_.document.ribbing();
    s.orientation = logic_.document.lifeOrientation();
    s.st1 = logic_.ST1hsc.value();
    s.st2 = logic_.ST2hsc.value();
    s.ft1 = logic_.FT1vsc.value();
    s.ft2 = logic_.FT2vsc.value();
    if (!CheckScenario(s, error)) return false;
    out = std::move(s);
    return true;
}

bool WindowScenario::current(Scenario& out, std::string& error) const {
    Scenario now;
    if (!inputs(now, error)) return false;
    // Nothing edited since the last START: the shell shown is the grown scenario's.
    if (grown_ && afterLast_ && now == *afterLast_) {
        out = *grown_;
        out.runs = runs_;
        out.shade = shaded_;
    } else {
        out = now;
    }
    out.name = reference_.name;
    out.heading = reference_.heading;
    out.description = reference_.description;
    return true;
}

bool WindowScenario::shownIsCurrent() const {
    Scenario now;
    std::string error;
    return grown_ && afterLast_ && inputs(now, error) && now == *afterLast_;
}

void WindowScenario::startPressed() {
    Scenario now;
    std::string error;
    if (!inputs(now, error)) {
        grown_.reset();
        return;
    }
    if (grown_ && afterLast_ && now == *afterLast_) {
        ++runs_;
    } else {
        grown_ = now;
        runs_ = 1;
    }
    shaded_ = false;
}

void WindowScenario::startFinished() {
    Scenario now;
    std::string error;
    if (inputs(now, error)) afterLast_ = now;
    else afterLast_.reset();
}

void WindowScenario::shadePressed() {
    if (grown_) shaded_ = true;
}

void WindowScenario::open(const Scenario& s) {
    // The other windows read the whole model again once it is in place.
    ModelDocument::Batch batch(logic_.document);
    logic_.document.announce(ModelDocument::Change::Replaced, this);
    ModelState& m = logic_.model;
    // A fresh start: the window's load step on a new model and run.
    const std::string folder = m.profileFolderPath;
    const bool profileWindowOpened = logic_.document.profileWindowOpened();
    // (Built on the heap: the per-stage tables are large.)
    m = *std::make_unique<ModelState>();
    logic_.run = *std::make_unique<RunState>();
    logic_.Load();
    m.profileFolderPath = folder;
    logic_.document.setProfileWindowOpened(profileWindowOpened);

    ApplyScenarioProfiles(s, m);
    m.viewVector = {s.view[0], s.view[1], s.view[2]};
    m.lightVector = {s.light[0], s.light[1], s.light[2]};
    m.originX = s.origin[0];
    m.originY = s.origin[1];
    m.densities = {s.densityAir, s.densityBody};
    m.ribbingOn = s.ribbing ? 1 : 0;
    m.orientationMode = static_cast<std::int16_t>(s.orientation ? OrientationMode::Life : OrientationMode::Fixed);
    // The boxes show what was typed; the model takes the value as the box would.
    logic_.TypeStages(std::to_string(s.stages));
    m.shownStage = static_cast<std::int16_t>(s.stages);
    logic_.TypeScale(formatNumber(s.scale));
    m.drawScale = s.scale;
    // Moved before any run, the bars' chart has nothing to plot: not an error.
    logic_.MoveBar(logic_.ST1hsc, s.st1);
    logic_.MoveBar(logic_.ST2hsc, s.st2);
    logic_.MoveBar(logic_.FT1vsc, s.ft1);
    logic_.MoveBar(logic_.FT2vsc, s.ft2);
    logic_.statusLine.setCaption("");
    logic_.ClickWindow();

    // The inputs as the model holds them (one-point profiles spread over the
    // stage range, the scale in four decimals).
    Scenario applied;
    std::string error;
    grown_ = inputs(applied, error) ? applied : inputsOnly(s);
    runs_ = s.runs;
    shaded_ = false;
    for (int k = 0; k < s.runs; ++k) logic_.ClickStart();
    if (s.shade && s.runs > 0) {
        logic_.ClickShade();
        shaded_ = true;
    }
    startFinished();
    if (s.runs == 0) afterLast_ = grown_;
    reference_ = *grown_;
    reference_.name = s.name;
    reference_.heading = s.heading;
    reference_.description = s.description;
    reference_.runs = s.runs;
    reference_.shade = s.shade;
}

bool WindowScenario::edited() const {
    Scenario now;
    std::string error;
    if (!current(now, error)) return true;
    return inputsOnly(now) != inputsOnly(reference_);
}

}  // namespace ammonite
