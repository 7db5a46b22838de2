// One headless session of the main window: the model set up as the options
// say and START (and SHADE) pressed on it, with no window and no controls.
// The batch tool's single run, every point of a sweep and the Python package
// go through this one path; the texts typed into the stage and scale boxes
// are read by the same rules the boxes use.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/growth.h"
#include "model/model_document.h"
#include "model/model_state.h"
#include "model/run_state.h"
#include "render/surface.h"
#include "session/option_table.h"

namespace ammonite {

// What a session sets before its runs, and how often it presses START.
struct SessionOptions {
    std::optional<std::string> stagesText;  // typed into the stage box
    std::optional<std::string> scaleText;   // typed into the scale box
    std::optional<std::array<double, 3>> view;
    std::optional<std::array<double, 3>> light;
    std::optional<std::array<double, 2>> origin;
    std::optional<std::array<double, 2>> densities;
    std::optional<bool> orientation;
    std::optional<bool> ribbing;
    // Raw positions of the threshold bars ST1, ST2, FT1, FT2 (their ranges: the option table).
    std::optional<std::array<int, 4>> thresholds;
    int runs = 1;
    bool shade = false;
    // Profile data file read before the runs.
    std::optional<std::string> profilesIn;
    // Profiles, α and stage range given directly (instead of a file).
    std::shared_ptr<const ModelState> profiles;
};

// Inputs a sweep sets at each of its points: SweepTarget, in the option table.
struct SweepValue {
    SweepTarget target;
    double value;
};

// Sets a sweep value that is an input of the model itself (α, a density, a
// profile made constant over the stage range), as a sweep point sets it.
// Returns false, changing nothing, for the inputs that act through the main
// window's controls: the stage box and the four threshold bars.
bool SetSweepModelInput(ModelState& model, const SweepValue& value);
// The same through a document's setters, which announce what was set.
bool SetSweepModelInput(ModelDocument& document, const SweepValue& value, const void* by = nullptr);

struct Session {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<RunState> run = std::make_unique<RunState>();
    // The regulation log of the last START, line by line.
    std::vector<std::vector<std::string>> log;
    // What the regulation decided at each regulated stage of the last START.
    std::vector<RegulationEvent> events;
    // Whether the STARTs write the log and the decisions above; a sweep
    // point, which keeps only its results, leaves both empty.
    bool keepsRecords = true;
    // Where the runs are drawn; none for a session whose picture nobody sees.
    DrawingSurface* surface = nullptr;
    // Message of the runtime error that ended the actions ("" when none).
    std::string runtimeError;
    // Asked before every START of the session; true stops the actions there
    // (nothing further runs, what was reached stays) and sets `cancelled`.
    std::function<bool()> cancelRequested;
    bool cancelled = false;
    // Texts of the stage and scale boxes as they stand.
    std::string stageText = "0", scaleText = "2";

    // Labels and boxes of the main window as they would show now.
    std::string orientationLabel() const { return run->report.orientationLabel; }
    std::string densityLabel() const { return run->report.densityLabel; }
    std::string stabilityLabel() const { return run->report.stabilityLabel; }
    std::string ptRatioText() const { return run->report.ptRatioText; }
};

// Loads the window's defaults, reads the profile data file, applies the
// settings and `values`, then types the texts, moves the bars and presses
// START (and SHADE) as the options say. Returns false when the profile data
// file is bad (`fileError` says why; nothing ran). Otherwise the session's
// runtimeError holds the message of the runtime error that ended the actions,
// or "".
bool PerformSession(const SessionOptions& options, Session& session, const std::vector<SweepValue>& values,
                    std::string& fileError);

// The key=value summary of the session's last run.
void WriteSummary(std::ostream& out, const Session& session);

// The regulation log, one line per entry, its items joined by one blank.
void WriteLog(std::ostream& out, const std::vector<std::vector<std::string>>& lines);

}  // namespace ammonite
