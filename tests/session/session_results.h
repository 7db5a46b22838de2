// A session's results as one text: its summary, stage tables and log.
#pragma once

#include <sstream>
#include <string>

#include "model/stage_results.h"
#include "session/session.h"

namespace session_test {

using namespace ammonite;

inline std::string resultsOf(const Session& session) {
    std::ostringstream out;
    WriteSummary(out, session);
    WriteStageTables(out, *session.model, *session.run, session.run->lastBuiltStage);
    WriteLog(out, session.log);
    return out.str();
}

}  // namespace session_test
