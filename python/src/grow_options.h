// grow()'s keyword arguments read by the rules of the program's option table:
// the Python package has no option rules of its own.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <memory>

#include "session/session.h"

namespace ammonite::python {

// Checks grow() keywords (a dict; None values are left out) and returns them
// in a plain, picklable form. ValueError or TypeError names the bad option.
// `checkProfiles` checks a dict of profiles (raising what is wrong).
pybind11::dict CheckGrowOptions(const pybind11::dict& options,
                                const std::function<void(const pybind11::handle&)>& checkProfiles);
// The session's options for keywords CheckGrowOptions returned; `profiles`
// makes the model of a dict of profiles.
SessionOptions GrowSessionOptions(
    const pybind11::dict& checked,
    const std::function<std::shared_ptr<const ModelState>(const pybind11::handle&)>& profiles);
// The option table as a list of dicts (name, type, uses, count, unit,
// ranges, choices, default, metavar, help).
pybind11::list OptionTableToPython();
// A value given as the text of a batch option (`--NAME TEXT`), read by the
// batch tool's rule, in the form CheckGrowOptions takes; ValueError names
// what was wrong.
pybind11::object ReadGrowOptionText(const std::string& name, const std::string& text);

}  // namespace ammonite::python
