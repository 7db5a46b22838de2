// Morphospace sweeps of ammonite-batch: a grid of one or two model inputs,
// each grid point an independent model run on its own, the points spread over
// all cores, one CSV row per point.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ammonite::batch {

struct Options;

enum class SweepTarget {
    Stages,       // typed into the stage box
    Alpha,        // radius ratio per stage up to stage 200, set before every START
    DensityAir,
    DensityBody,
    St1, St2,     // size thresholds: raw positions of ST1hsc, ST2hsc (0..1000)
    Ft1, Ft2,     // fatigue thresholds: raw positions of FT1vsc, FT2vsc (-80..0)
    Gamma, Curvature, Torsion, Beta,  // the profile made constant at this value
};

struct SweepAxis {
    std::string name;  // as written on the command line
    SweepTarget target = SweepTarget::Alpha;
    double from = 0, to = 0;
    int steps = 1;     // number of grid values, FROM and TO included
    bool integral = false;
    // Value i of 0..steps-1, evenly spaced (rounded for whole-number inputs).
    double valueAt(int i) const;
};

// Parses NAME=FROM:TO:STEPS. On failure returns false with a one-line reason.
bool ParseSweepAxis(const std::string& text, SweepAxis& axis, std::string& error);
// The names a sweep accepts, for the usage text.
std::string SweepNames();

struct SweepValue {
    SweepTarget target;
    double value;
};

// Result of one grid point.
struct SweepRow {
    std::vector<double> values;  // one per axis
    std::string error;           // runtime error that ended the point's actions
    int shownStage = 0;
    float orientationAngle = 0;
    double meanDensity = 0, ptRatio = 0, stabilityIndex = 0;
    int ribs = 0;
};

struct SweepTiming {
    double wallSeconds = 0, cpuSeconds = 0;
    int threads = 0;
};

// Runs every grid point (the first axis outermost) with `jobs` threads (0 =
// all cores), printing a progress line on `progress` when it is given.
std::vector<SweepRow> RunSweep(const Options& options, int jobs, std::ostream* progress, SweepTiming& timing);

void WriteSweepCsv(std::ostream& out, const std::vector<SweepAxis>& axes, const std::vector<SweepRow>& rows);

}  // namespace ammonite::batch
