// Morphospace sweeps: a grid of model inputs, each grid point an independent
// session of its own, the points spread over the cores, one CSV row per
// point. The batch tool, the morphospace window and the Python package all
// run their grids here.
#pragma once

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "session/session.h"

namespace ammonite {

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
// An axis of the input `name` with no range yet (for grids of given values);
// false with a one-line reason for a name no sweep accepts.
bool SweepAxisNamed(const std::string& name, SweepAxis& axis, std::string& error);
// A value given for the axis: rounded for whole-number inputs, then checked
// against what the input allows; false with a one-line reason.
bool CheckSweepValue(const SweepAxis& axis, double& value, std::string& error);
// The names a sweep accepts, for the usage text.
std::string SweepNames();

// Result of one grid point.
struct SweepRow {
    std::vector<double> values;  // one per axis
    bool computed = false;       // false for a point a cancelled sweep skipped
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

// Number of grid points (the product of the axes' steps; 0 for no axis).
double SweepPointCount(const std::vector<SweepAxis>& axes);

// Grid values of point `index` (the first axis outermost, the last fastest).
std::vector<double> SweepPointValues(const std::vector<SweepAxis>& axes, size_t index);

// Runs one grid point: the session's options with the point's values.
SweepRow RunSweepPoint(const SessionOptions& options, const std::vector<SweepAxis>& axes, size_t index);
// Runs one point of given values, one per axis (checked by CheckSweepValue).
SweepRow RunSweepValues(const SessionOptions& options, const std::vector<SweepAxis>& axes,
                        const std::vector<double>& values);

struct SweepControl {
    int jobs = 0;                      // threads; 0 = all cores
    std::ostream* progress = nullptr;  // a progress line, when given
    // Called from the worker threads as each point finishes (under a lock,
    // one call at a time).
    std::function<void(size_t index, const SweepRow& row)> pointDone;
    // Set from any thread to stop: points not yet started are skipped and
    // keep their grid values with the error "cancelled".
    const std::atomic<bool>* cancel = nullptr;
    // Called with every row (a skipped one too) in grid order, each as soon
    // as it and all rows before it are done; from the worker threads, under
    // the same lock as pointDone, one call at a time. Workers run at most a
    // few points ahead of the first row not yet delivered, so only a small
    // window of rows waits for an earlier one.
    std::function<void(size_t index, const SweepRow& row)> rowInOrder;
    // False: the rows are not kept (RunSweep returns none), for grids whose
    // rows are streamed through rowInOrder.
    bool keepRows = true;
};

// Runs every grid point with the control's threads; rows in grid order
// (none when the control keeps no rows).
std::vector<SweepRow> RunSweep(const SessionOptions& options, const std::vector<SweepAxis>& axes,
                               const SweepControl& control, SweepTiming& timing);
// The same for a list of points whose values are already set in `rows`
// (any values, in any order); `pointDone` gets the index into `rows`.
void RunSweepRows(const SessionOptions& options, const std::vector<SweepAxis>& axes, std::vector<SweepRow>& rows,
                  const SweepControl& control, SweepTiming& timing);

// The header of the sweep CSV and one row of it (with its line end).
std::string SweepCsvHeader(const std::vector<SweepAxis>& axes);
std::string SweepCsvRow(const SweepRow& row);
void WriteSweepCsv(std::ostream& out, const std::vector<SweepAxis>& axes, const std::vector<SweepRow>& rows);

}  // namespace ammonite
