// The sweep functions of the module _ammonite (sweep_bindings.cpp).
#pragma once

#include <pybind11/pybind11.h>

namespace ammonite::python {

// Binds run_points, SweepFile and SEA_WATER_DENSITY; after WriteError.
void BindSweeps(pybind11::module_& m);

}  // namespace ammonite::python
