// What a scenario grows, as one text: through the session, and as the main
// window shows it after the same scenario was opened there.
#pragma once

#include <sstream>
#include <string>

#include "model/stage_results.h"
#include "session/session_results.h"
#include "ui/main_window.h"

namespace ui_test {

using namespace ammonite;

inline std::string sessionResults(const Scenario& s) { return ScenarioResultsText(s); }

inline std::string windowResults(MainWindow& w) {
    std::ostringstream out;
    WriteRunSummary(out, w.logic().model, w.logic().run);
    WriteStageTables(out, w.logic().model, w.logic().run, w.logic().run.lastBuiltStage);
    return out.str();
}

}  // namespace ui_test
