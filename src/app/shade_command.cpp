// The SHADE command of the main window.
#include "app/main_window_logic.h"
#include "render/shading.h"

namespace ammonite {

void MainWindowLogic::ShadeShell() {
    ShadeOutcome shaded;
    const std::string refusal = ShadeLastRun(surface, model, run, &shaded);
    if (!refusal.empty())
        statusLine.setCaption(refusal);
    else
        ApplyShadeOutcome(model, run, shaded);
}

}  // namespace ammonite
