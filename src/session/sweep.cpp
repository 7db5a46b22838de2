#include "session/sweep.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "core/numeric.h"
#include "model/stage_results.h"

namespace ammonite {

namespace {

// The sweep inputs of the option table; their ranges are the allowed values.
const OptionEntry* inputNamed(const std::string& name) { return FindOption(name, kSweepInput); }
const OptionEntry& inputOf(const SweepAxis& axis) {
    const OptionEntry* e = SweepInput(axis.target);
    return e ? *e : *inputNamed("alpha");
}
const ValueRange& kStepsRange = kSweepStepsRange;

// A CSV cell holding free text.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

}  // namespace

double SweepAxis::valueAt(int i) const {
    double v = steps <= 1 ? from : from + (to - from) * static_cast<double>(i) / static_cast<double>(steps - 1);
    if (i == steps - 1 && steps > 1) v = to;  // no rounding error at the end of the range
    return integral ? std::round(v) : v;
}

std::string SweepNames() {
    std::string out;
    for (const OptionEntry* e : OptionsFor(kSweepInput)) {
        if (!out.empty()) out += ", ";
        out += e->name;
    }
    return out;
}

bool SweepAxisNamed(const std::string& name, SweepAxis& axis, std::string& error) {
    const OptionEntry* info = inputNamed(name);
    if (!info) {
        error = "cannot sweep '" + name + "' (one of: " + SweepNames() + ")";
        return false;
    }
    axis = SweepAxis{};
    axis.name = name;
    axis.target = info->target;
    axis.integral = info->whole();
    return true;
}

bool CheckSweepValue(const SweepAxis& axis, double& value, std::string& error) {
    const ValueRange& range = *inputOf(axis).rangeOf(0);
    if (axis.integral) value = std::round(value);
    if (!range.contains(value)) {
        error = axis.name + " must lie in " + RangeText(range) + ", not " + NumberText(value);
        return false;
    }
    return true;
}

bool ParseSweepAxis(const std::string& text, SweepAxis& axis, std::string& error) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) {
        error = "--sweep '" + text + "' is not NAME=FROM:TO:STEPS";
        return false;
    }
    axis.name = text.substr(0, eq);
    const OptionEntry* info = inputNamed(axis.name);
    if (!info) {
        error = "cannot sweep '" + axis.name + "' (one of: " + SweepNames() + ")";
        return false;
    }
    const std::string range = text.substr(eq + 1);
    const auto c1 = range.find(':');
    const auto c2 = c1 == std::string::npos ? std::string::npos : range.find(':', c1 + 1);
    double steps = 0;
    if (c2 == std::string::npos || !tryParseWholeNumber(range.substr(0, c1), axis.from) ||
        !tryParseWholeNumber(range.substr(c1 + 1, c2 - c1 - 1), axis.to) ||
        !tryParseWholeNumber(range.substr(c2 + 1), steps)) {
        error = "--sweep '" + text + "' is not NAME=FROM:TO:STEPS";
        return false;
    }
    if (steps != std::floor(steps) || !kStepsRange.contains(steps)) {
        error = "--sweep '" + text + "': STEPS must be a whole number from " + formatNumber(kStepsRange.lo) +
                " to " + formatNumber(kStepsRange.hi);
        return false;
    }
    axis.steps = static_cast<int>(steps);
    axis.target = info->target;
    axis.integral = info->whole();
    const ValueRange& allowed = *info->rangeOf(0);
    for (double v : {axis.valueAt(0), axis.valueAt(axis.steps - 1)}) {
        if (!allowed.contains(v)) {
            error = "--sweep '" + text + "': " + axis.name + " must lie in " + RangeText(allowed);
            return false;
        }
    }
    return true;
}

double SweepPointCount(const std::vector<SweepAxis>& axes) {
    if (axes.empty()) return 0;
    double total = 1;
    for (const SweepAxis& a : axes) total *= a.steps;
    return total;
}

std::vector<double> SweepPointValues(const std::vector<SweepAxis>& axes, size_t index) {
    std::vector<double> values(axes.size());
    size_t rest = index;
    for (size_t k = axes.size(); k-- > 0;) {
        const size_t steps = static_cast<size_t>(axes[k].steps);
        values[k] = axes[k].valueAt(static_cast<int>(rest % steps));
        rest /= steps;
    }
    return values;
}

namespace {

// One grid point in a session that draws nothing (the results do not depend
// on the picture) and keeps no log.
void runPoint(const SessionOptions& options, const std::vector<SweepAxis>& axes, Session& session, SweepRow& row) {
    std::vector<SweepValue> values;
    for (size_t k = 0; k < axes.size(); ++k) values.push_back({axes[k].target, row.values[k]});
    session.model = std::make_unique<ModelState>();
    session.run = std::make_unique<RunState>();
    session.log.clear();
    session.keepsRecords = false;  // a row holds results only
    session.stageText = "0";
    session.scaleText = "2";
    std::string fileError;
    if (!PerformSession(options, session, values, fileError))
        row.error = fileError;
    else
        row.error = session.runtimeError;
    const RunState& r = *session.run;
    row.shownStage = session.model->shownStage;
    row.orientationAngle = r.orientationAngle;
    row.meanDensity = r.meanDensity;
    row.ptRatio = r.ptRatio;
    row.stabilityIndex = r.stabilityIndex;
    row.ribs = CountRibs(r);
    row.computed = true;
}

}  // namespace

SweepRow RunSweepPoint(const SessionOptions& options, const std::vector<SweepAxis>& axes, size_t index) {
    Session session;
    SweepRow row;
    row.values = SweepPointValues(axes, index);
    runPoint(options, axes, session, row);
    return row;
}

SweepRow RunSweepValues(const SessionOptions& options, const std::vector<SweepAxis>& axes,
                        const std::vector<double>& values) {
    Session session;
    SweepRow row;
    row.values = values;
    runPoint(options, axes, session, row);
    return row;
}

namespace {

// Runs `total` grid points over the control's threads; point p has the
// values `valuesOf(p)`. Rows go to `keep` when given, and in grid order to
// the control's row callback when it has one.
void runGrid(const SessionOptions& options, const std::vector<SweepAxis>& axes, size_t total,
             const std::function<std::vector<double>(size_t)>& valuesOf, std::vector<SweepRow>* keep,
             const SweepControl& control, SweepTiming& timing) {
    unsigned cores = std::thread::hardware_concurrency();
    size_t threads = control.jobs > 0 ? static_cast<size_t>(control.jobs) : (cores == 0 ? 1 : cores);
    if (threads > total) threads = total;

    std::atomic<size_t> next{0};
    size_t done = 0;
    std::mutex mutex;
    std::condition_variable finished;  // a point is done
    std::condition_variable delivered;  // the first undelivered row moved on
    auto cancelled = [&] { return control.cancel && control.cancel->load(); };

    // Rows done out of order wait here until every earlier row went out.
    const bool inOrder = static_cast<bool>(control.rowInOrder);
    const size_t window = 4 * threads + 4;
    std::map<size_t, SweepRow> waiting;
    size_t firstUndelivered = 0;

    // Each point is a fresh session, as a fresh window would run it.
    auto worker = [&] {
        Session session;
        for (;;) {
            const size_t p = next.fetch_add(1);
            if (p >= total) break;
            if (inOrder) {
                // The point holding up the others is always running, so
                // this wait ends.
                std::unique_lock<std::mutex> lock(mutex);
                delivered.wait(lock, [&] { return p < firstUndelivered + window; });
            }
            SweepRow row;
            row.values = valuesOf(p);
            if (cancelled())
                row.error = "cancelled";
            else
                runPoint(options, axes, session, row);
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++done;
                if (row.computed && control.pointDone) control.pointDone(p, row);
                if (inOrder) {
                    if (p == firstUndelivered) {
                        control.rowInOrder(p, row);
                        ++firstUndelivered;
                    } else {
                        waiting.emplace(p, row);
                    }
                    for (auto it = waiting.begin(); it != waiting.end() && it->first == firstUndelivered;
                         it = waiting.erase(it)) {
                        control.rowInOrder(it->first, it->second);
                        ++firstUndelivered;
                    }
                }
                if (keep) (*keep)[p] = std::move(row);
            }
            if (inOrder) delivered.notify_all();
            finished.notify_one();
        }
    };

    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::vector<std::thread> pool;
    for (size_t t = 0; t < threads; ++t) pool.emplace_back(worker);

    size_t shown = static_cast<size_t>(-1);
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (done != shown) {
                shown = done;
                if (control.progress)
                    *control.progress << "\rsweep: " << shown << "/" << total << " points" << std::flush;
            }
            if (done == total) break;
            finished.wait(lock, [&] { return done != shown; });
        }
    }
    for (std::thread& t : pool) t.join();
    timing.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    timing.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    timing.threads = static_cast<int>(threads);
    if (control.progress) *control.progress << '\n';
}

}  // namespace

std::vector<SweepRow> RunSweep(const SessionOptions& options, const std::vector<SweepAxis>& axes,
                               const SweepControl& control, SweepTiming& timing) {
    const size_t total = static_cast<size_t>(SweepPointCount(axes));
    std::vector<SweepRow> rows;
    if (control.keepRows) rows.resize(total);
    runGrid(
        options, axes, total, [&axes](size_t p) { return SweepPointValues(axes, p); },
        control.keepRows ? &rows : nullptr, control, timing);
    return rows;
}

void RunSweepRows(const SessionOptions& options, const std::vector<SweepAxis>& axes, std::vector<SweepRow>& rows,
                  const SweepControl& control, SweepTiming& timing) {
    // Each row's values are read only by the thread that runs that row.
    std::vector<std::vector<double>> values(rows.size());
    for (size_t p = 0; p < rows.size(); ++p) values[p] = rows[p].values;
    runGrid(
        options, axes, rows.size(), [&values](size_t p) { return values[p]; }, &rows, control, timing);
}

std::string SweepCsvHeader(const std::vector<SweepAxis>& axes) {
    std::string out;
    for (const SweepAxis& a : axes) out += a.name + ',';
    return out + "shown_stage,orientation_angle_deg,mean_density_g_cm3,pt_ratio_percent,stability_index,ribs,error\n";
}

std::string SweepCsvRow(const SweepRow& row) {
    std::string out;
    for (double v : row.values) out += NumberText(v) + ',';
    if (row.error.empty()) {
        out += std::to_string(row.shownStage) + ',' + NumberText(row.orientationAngle) + ',' +
               NumberText(row.meanDensity) + ',' + NumberText(100 * row.ptRatio) + ',' +
               NumberText(row.stabilityIndex) + ',' + std::to_string(row.ribs) + ",\n";
    } else {
        // A point that stopped on an error has no results to show.
        out += ",,,,,," + quoted(row.error) + '\n';
    }
    return out;
}

void WriteSweepCsv(std::ostream& out, const std::vector<SweepAxis>& axes, const std::vector<SweepRow>& rows) {
    out << SweepCsvHeader(axes);
    for (const SweepRow& row : rows) out << SweepCsvRow(row);
}

}  // namespace ammonite
