// The growth run: stage parameters, regulation, construction of the tube,
// hydrostatics and the final report.
#include "model/main_window_logic.h"

namespace ammonite {

void MainWindowLogic::GrowShell() {
    // The stage-by-stage growth run is called here at the end of START.
}

void MainWindowLogic::LoadStageParameters() {}

void MainWindowLogic::RegulateStage() {}

}  // namespace ammonite
