// The result files of ammonite-batch: the per-stage tables as CSV, the
// regulation log and the key=value summary of the last run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "session/session.h"
#include "model/stage_results.h"

namespace ammonite::batch {

using ammonite::NumberText;

using ammonite::WriteLog;
using ammonite::WriteSummary;

}  // namespace ammonite::batch
