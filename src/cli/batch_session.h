// One headless session of the main window: the model set up as the command
// line says and the user actions performed on it. The single run and every
// point of a sweep go through this one path.
#pragma once

#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "cli/batch_sweep.h"
#include "app/main_window_logic.h"

namespace ammonite::batch {

// A log that keeps nothing, for sweep points whose log nobody reads.
class DiscardLog : public LogSink {
public:
    void clear() override {}
    void line(const std::vector<std::string>&) override {}
};

// Loads the window's defaults, reads the profile data file, applies the
// settings and `values`, then types the texts, moves the bars and presses
// START (and SHADE) as the options say. Returns false when the profile data
// file is bad (`fileError` says why; nothing ran). Otherwise `runtimeError`
// holds the message of the runtime error that ended the actions, or "".
bool PerformSession(const Options& options, MainWindowLogic& logic, const std::vector<SweepValue>& values,
                    std::string& fileError, std::string& runtimeError);

// Ribs the last run laid: stages whose rib mark starts a rib (5).
int CountRibs(const RunState& run);

}  // namespace ammonite::batch
