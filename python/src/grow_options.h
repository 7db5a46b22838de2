// grow()'s keyword arguments read by the rules of the program's option table:
// the Python package has no option rules of its own.
#pragma once

#include <pybind11/pybind11.h>

#include "session/session.h"

namespace ammonite::python {

// Checks grow() keywords (a dict; None values are left out) and returns them
// in a plain, picklable form. ValueError or TypeError names the bad option.
pybind11::dict CheckGrowOptions(const pybind11::dict& options);
// The session's options for keywords CheckGrowOptions returned.
SessionOptions GrowSessionOptions(const pybind11::dict& checked);
// The option table as a list of dicts (name, type, uses, count, unit,
// ranges, choices, default, metavar, help).
pybind11::list OptionTableToPython();
// A value given as the text of a batch option (`--NAME TEXT`), read by the
// batch tool's rule, in the form CheckGrowOptions takes; ValueError names
// what was wrong.
pybind11::object ReadGrowOptionText(const std::string& name, const std::string& text);

}  // namespace ammonite::python
