// The SHADE command of the main window.
#include "model/main_window_logic.h"

namespace ammonite {

void MainWindowLogic::ShadeShell() {}

}  // namespace ammonite
