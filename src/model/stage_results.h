// The per-stage results of the last run as a CSV table: the growth tables,
// the hydrostatics and the stability of every stage. The window's export and
// ammonite-batch --tables write the very same file.
#pragma once

#include <ostream>
#include <string>

#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

// Shortest text that reads back to the same value; whole numbers have no
// decimal point; '.' as the decimal sign whatever the locale.
std::string NumberText(double value);
std::string NumberText(float value);

// Header and one row per stage from 0 to `lastStage`. Lengths are in model
// units (1 unit = 1 mm, as in the mesh export), densities in g/cm³. The
// hydrostatic columns are empty for stages that took no part in them.
void WriteStageTables(std::ostream& out, const ModelState& model, const RunState& run, long lastStage);

// The key=value summary of the last run: stage count, α, the report texts,
// the tangent stage, the view and life orientation, the rib state carried to
// the next run, the ring segments and the stability index; the last line,
// "generator=ammonite X.Y.Z", names the program that wrote it.
void WriteRunSummary(std::ostream& out, const ModelState& model, const RunState& run);

// The header line (without its line end), for readers and tests.
std::string StageTablesHeader();

}  // namespace ammonite
