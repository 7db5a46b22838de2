// The regulation chart and its four threshold scroll bars.
#include "model/main_window_logic.h"

namespace ammonite {

void MainWindowLogic::DrawRegulationChart() {}

void MainWindowLogic::onThresholdBarChanged(ScrollBarModel&) {}

}  // namespace ammonite
