// The scenario functions of the _ammonite module.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "model/scenario.h"

namespace ammonite::python {

// A scenario from a dict of its keys (the others keep their defaults);
// ValueError (TypeError for a value of no scenario type) naming the key, the
// value given and what is allowed. `where` prefixes the message;
// `needsFormat` asks for the format key, as a file must have it.
Scenario ScenarioFromPython(const pybind11::dict& values, const std::string& where, bool needsFormat);

// Adds scenario_keys, scenario_defaults, check_scenario, scenario_toml,
// read_scenario_from, scenario_profiles_of_file, grow_scenario and
// scenario_session_options to the module.
void BindScenario(pybind11::module_& m);

}  // namespace ammonite::python
