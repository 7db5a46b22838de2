// A main window without the toolkit: model, recording surface and log, loaded
// with the defaults; for the tests of what the window shows of a run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/main_window_logic.h"

namespace growth_test {

using namespace ammonite;

struct Window {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RecordingSurface surface;
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic = std::make_unique<MainWindowLogic>(*model, surface, log);
    RunState& run = logic->run;

    Window() { logic->Load(); }

    std::vector<std::string> logLines() const {
        std::vector<std::string> out;
        for (const auto& items : log.lines) out.push_back(MemoryLog::join(items));
        return out;
    }
    std::vector<RecordingSurface::Op> ops(RecordingSurface::Op::Kind kind) const {
        std::vector<RecordingSurface::Op> out;
        for (const auto& op : surface.ops)
            if (op.kind == kind) out.push_back(op);
        return out;
    }
    // β drops to 0 at stage `stage`: the regulated step divides by it, so a
    // run past it stops with a division by zero there.
    void betaDropsToZeroAt(double stage) {
        ParameterProfile& beta = model->betaProfile;
        beta.count = 3;
        beta.setPoint(0, 0, 12);
        beta.setPoint(1, stage - 1, 12);
        beta.setPoint(2, stage, 0);
        beta.setPoint(3, 3000, 0);
    }
    // Makes every profile constant over 0..3000.
    void flatProfiles(double gamma, double curvature, double torsion, double beta) {
        auto flat = [](ParameterProfile& p, double v) {
            p.count = 1;
            p.setPoint(0, 0, v);
            p.setPoint(1, 3000, v);
        };
        flat(model->gammaProfile, gamma);
        flat(model->curvatureProfile, curvature);
        flat(model->torsionProfile, torsion);
        flat(model->betaProfile, beta);
    }
};

}  // namespace growth_test
