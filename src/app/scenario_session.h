// Growing a scenario: a fresh session (the main window's load step) with the
// scenario's profiles, settings and bars, its stage count typed and START
// pressed as often as it says. The batch tool, sweeps, MORPHO, VIEW, Python
// and the windows' "Open scenario" go through here, so one scenario gives one
// shell everywhere.
#pragma once

#include <string>

#include "app/session.h"
#include "model/scenario.h"

namespace ammonite {

// Session options that grow `scenario`.
SessionOptions SessionOptionsFor(const Scenario& scenario);

// Session options that grow `scenario`, except for what `given` sets itself:
// every input `given` holds overrides the scenario's. `runsGiven` says
// whether `given.runs` was given (it always holds a value). A profile data
// file in `given` replaces the scenario's profiles and, unless a stage text
// is given too, its stage count (as D-Load does).
SessionOptions SessionOptionsOver(const Scenario& scenario, const SessionOptions& given, bool runsGiven);

// The scenario that session options grow: the defaults, then what the
// options set (a profile data file is read as D-Load reads it; typed texts
// are read as their boxes read them). False with a one-line error when the
// inputs cannot be held by a scenario (a profile data file may break its
// rules) or the file cannot be read.
bool ScenarioOfOptions(const SessionOptions& options, Scenario& out, std::string& error);

// Grows `scenario` in `session` from a fresh start. The session's
// runtimeError says how its actions ended ("" when they ran through).
void GrowScenario(const Scenario& scenario, Session& session);

}  // namespace ammonite
