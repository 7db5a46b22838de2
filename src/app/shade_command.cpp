// The SHADE command of the main window.
#include "app/main_window_logic.h"
#include "render/shading.h"

namespace ammonite {

void MainWindowLogic::ShadeShell() {
    const std::string refusal = ShadeLastRun(surface, model, run);
    if (!refusal.empty()) statusLine.setCaption(refusal);
}

}  // namespace ammonite
