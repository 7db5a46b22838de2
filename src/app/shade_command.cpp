// The SHADE command of the main window.
#include "app/main_window_logic.h"
#include "render/shading.h"

namespace ammonite {

void MainWindowLogic::ShadeShell() {
    // Without a run the per-stage tables are empty and the tube would have no
    // surface: say so in the status line and leave everything as it is.
    if (!run.hasRun) {
        // A run that stopped on an error leaves its tables half written.
        statusLine.setCaption(run.lastBuiltStage > 0
                                  ? "Nothing to shade: the last run did not finish; press START"
                                  : "Nothing to shade yet: press START first");
        return;
    }
    ShadeRun(surface, model, run);
}

}  // namespace ammonite
