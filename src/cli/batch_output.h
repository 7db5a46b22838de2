// The result files of ammonite-batch: the per-stage tables as CSV, the
// regulation log and the key=value summary of the last run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "model/main_window_logic.h"

namespace ammonite::batch {

// Shortest text that reads back to the same value; whole numbers have no
// decimal point.
std::string NumberText(double value);
std::string NumberText(float value);

// Header and one row per stage from 0 to `lastStage`.
void WriteTables(std::ostream& out, const MainWindowLogic& logic, long lastStage);
void WriteLog(std::ostream& out, const std::vector<std::vector<std::string>>& lines);
void WriteSummary(std::ostream& out, const MainWindowLogic& logic);

}  // namespace ammonite::batch
