// Command line of ammonite-batch: what to set before the run, how often to
// press START, and which results to write where.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "session/session.h"
#include "session/option_table.h"
#include "session/sweep.h"
#include "session/film_recording.h"

namespace ammonite::batch {

using ammonite::SweepAxis;
using ammonite::SweepRow;
using ammonite::SweepTiming;

// Exit status of ammonite-batch, one meaning each. When an output cannot be
// written after a run that stopped on a runtime error, the status is
// kExitWriteFailed and the runtime error is still printed.
constexpr int kExitDone = 0;
constexpr int kExitRuntimeError = 1;  // the model stopped; every output is still written
constexpr int kExitBadInput = 2;      // bad arguments or a bad input file
constexpr int kExitWriteFailed = 3;   // an output could not be written

// The largest sweep grid (the product of the axes' STEPS), from the option table.
using ammonite::kMaxSweepPoints;

// The session's inputs and actions (stage and scale texts, settings,
// thresholds, runs, SHADE, the profile data file read before the runs), and
// where the results go.
struct Options : SessionOptions {
    // Profile data file written after the runs.
    std::optional<std::string> profilesOut;
    // A scenario read before the options (the options override it): from a
    // scenario file, or from the scenario a picture or mesh sidecar carries.
    std::optional<std::string> scenarioIn, scenarioFrom;
    // The effective scenario (or a sweep's fixed part) written as a file.
    std::optional<std::string> scenarioOut;
    bool runsGiven = false;  // --runs was given (runs always holds a value)

    std::optional<std::string> tablesPath;
    std::optional<std::string> logPath;
    std::optional<std::string> summaryPath;  // standard output when absent
    std::optional<std::string> pngPath;
    std::optional<std::string> svgPath;
    // 3D mesh of the grown shell.
    std::optional<std::string> stlPath, plyPath, objPath;
    double meshScale = 1;   // millimetres per model unit
    int meshRingPoints = 360;

    // A film of the grown shell: a video file, a folder of PNG frames, or both.
    std::optional<std::string> filmPath, filmFrames;
    FilmSettings film;
    bool filmSettingsGiven = false;  // one of --film-kind, -size, -fps, -seconds
    // A fit to a measured specimen: the fitted profiles replace the model's
    // before the runs, and the usual outputs describe the fitted shell.
    std::optional<std::string> fitPath;
    int fitKnots = 6;
    std::optional<double> fitBudgetSeconds;
    std::optional<double> fitBeta;
    std::optional<std::string> fitOut;      // residuals CSV

    // A grid of one or two inputs, each point an independent model.
    std::vector<SweepAxis> sweeps;
    std::optional<std::string> sweepOut;  // standard output when absent
    int jobs = 0;                         // 0 = all cores
    bool help = false;
    bool version = false;
};

// Parses the arguments (without the program name). On a bad argument returns
// false and sets `error` to a one-line message naming it.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

// Refuses options that do not go together (outputs of a single run with a
// sweep, more than two sweeps); false with a one-line message.
bool CheckCombinations(const Options& options, std::string& error);

// The text printed by --help.
std::string UsageText();

}  // namespace ammonite::batch
