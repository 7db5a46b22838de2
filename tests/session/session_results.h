// Everything a session's runs leave that a user can take away, as one text:
// the summary, the stage tables and the regulation log.
#pragma once

#include <sstream>
#include <string>

#include "model/stage_results.h"
#include "session/session.h"

inline std::string SessionResultsText(const ammonite::Session& session) {
    std::ostringstream out;
    ammonite::WriteSummary(out, session);
    ammonite::WriteStageTables(out, *session.model, *session.run, session.run->lastBuiltStage);
    ammonite::WriteLog(out, session.log);
    return out.str();
}
