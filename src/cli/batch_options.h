// Command line of ammonite-batch: what to set before the run, how often to
// press START, and which results to write where.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_sweep.h"

namespace ammonite::batch {

// Exit status of ammonite-batch, one meaning each. When an output cannot be
// written after a run that stopped on a runtime error, the status is
// kExitWriteFailed and the runtime error is still printed.
constexpr int kExitDone = 0;
constexpr int kExitRuntimeError = 1;  // the model stopped; every output is still written
constexpr int kExitBadInput = 2;      // bad arguments or a bad input file
constexpr int kExitWriteFailed = 3;   // an output could not be written

// The largest sweep grid (the product of the axes' STEPS).
constexpr long long kMaxSweepPoints = 10000000;

struct Options {
    std::optional<std::string> stagesText;  // typed into NUMtxt
    std::optional<std::string> scaleText;   // typed into SCLtxt
    std::optional<std::array<double, 3>> view;
    std::optional<std::array<double, 3>> light;
    std::optional<std::array<double, 2>> origin;
    std::optional<std::array<double, 2>> densities;
    std::optional<bool> orientation;
    std::optional<bool> ribbing;
    // Raw positions of ST1hsc, ST2hsc, FT1vsc, FT2vsc.
    std::optional<std::array<int, 4>> thresholds;
    int runs = 1;
    bool shade = false;

    // Profile data files read before and written after the runs.
    std::optional<std::string> profilesIn;
    std::optional<std::string> profilesOut;

    std::optional<std::string> tablesPath;
    std::optional<std::string> logPath;
    std::optional<std::string> summaryPath;  // standard output when absent
    std::optional<std::string> pngPath;
    std::optional<std::string> svgPath;
    // 3D mesh of the grown shell.
    std::optional<std::string> stlPath, plyPath, objPath;
    double meshScale = 1;   // millimetres per model unit
    int meshRingPoints = 360;

    // A grid of one or two inputs, each point an independent model.
    std::vector<SweepAxis> sweeps;
    std::optional<std::string> sweepOut;  // standard output when absent
    int jobs = 0;                         // 0 = all cores
    bool help = false;
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
