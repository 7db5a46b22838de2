// Everything a session's runs leave that a user can take away, as one text:
// the summary, the stage tables and the regulation log.
#pragma once

#include <sstream>
#include <string>

#include "model/stage_results.h"
#include "session/scenario_session.h"
#include "session/session.h"

inline std::string SessionResultsText(const ammonite::Session& session) {
    std::ostringstream out;
    ammonite::WriteSummary(out, session);
    ammonite::WriteStageTables(out, *session.model, *session.run, session.run->lastBuiltStage);
    ammonite::WriteLog(out, session.log);
    return out.str();
}

// What a scenario grows through a session of its own: the summary and the
// stage tables (the text a window shows after opening the same scenario).
inline std::string ScenarioResultsText(const ammonite::Scenario& scenario) {
    ammonite::Session session;
    ammonite::GrowScenario(scenario, session);
    std::ostringstream out;
    ammonite::WriteSummary(out, session);
    ammonite::WriteStageTables(out, *session.model, *session.run, session.run->lastBuiltStage);
    return out.str();
}
