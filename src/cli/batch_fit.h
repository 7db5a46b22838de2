// The fit of ammonite-batch: --fit reads the specimen, fits the profiles on
// all cores (progress on standard error) and hands the fitted profiles to
// the session, so that every usual output describes the fitted shell.
#pragma once

#include <string>

#include "cli/batch_options.h"
#include "model/fit.h"

namespace ammonite::batch {

// Runs the fit of options.fitPath and sets options.profiles (and the stage
// count, unless --stages is given). False with a one-line `error` when the
// specimen or the options are refused.
bool RunFit(Options& options, FitResult& result, std::string& error);

// The fit's lines of the summary (key=value), placed before its last line.
std::string WithFitSummary(const std::string& summary, const FitResult& result);

}  // namespace ammonite::batch
