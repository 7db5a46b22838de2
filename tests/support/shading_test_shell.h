// A small shell for the shading tests: the per-stage tables a growth run
// would leave, built by the same stepping (constant ratio, step, curvature
// and torsion), without hydrostatics or regulation.
#pragma once

#include <cmath>
#include <initializer_list>

#include "model/model_state.h"
#include "model/run_state.h"
#include "core/rotations.h"

namespace ammonite::testshell {

struct TubeShape {
    int stages = 100;          // shownStage; rows 0..stages + 1 are filled
    double ratio = 1.01;       // radius ratio per stage
    double step = 0.2;         // advance per stage, in radii
    double curvature = 0.3;
    double torsion = 0.0;
};

inline void Build(ModelState& model, RunState& run, const TubeShape& shape) {
    run.radiusByStage[0] = 1.0;
    run.centreXByStage[0] = 0.0;
    run.centreYByStage[0] = 0.0;
    run.centreZByStage[0] = 0.0;
    Vec3 dir{0, 0, 1}, rim{1, 0, 0};
    for (int s = 1; s <= shape.stages + 1; ++s) {
        double r0 = run.radiusByStage[s - 1];
        run.radiusByStage[s] = shape.ratio * r0;
        FramePairs f;
        double h = std::sqrt(dir.x * dir.x + dir.y * dir.y);
        double n = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
        if (h != 0) f.cosA = dir.x / h, f.sinA = -dir.y / h;
        if (n != 0) f.cosB = dir.z / n, f.sinB = h / n;
        run.frameCosAByStage[s] = f.cosA;
        run.frameSinAByStage[s] = f.sinA;
        run.frameCosBByStage[s] = f.cosB;
        run.frameSinBByStage[s] = f.sinB;
        f = {run.frameCosAByStage[s], run.frameSinAByStage[s], run.frameCosBByStage[s], run.frameSinBByStage[s]};
        Vec3 c0{run.centreXByStage[s - 1], run.centreYByStage[s - 1], run.centreZByStage[s - 1]};
        Vec3 w{rim.x - c0.x, rim.y - c0.y, rim.z - c0.z};
        ToStageFrame(w, f);
        SectionPair sec;
        double g = std::sqrt(w.x * w.x + w.y * w.y);
        if (g != 0) sec.cos = w.x / g, sec.sin = -w.y / g;
        run.sectionCosByStage[s] = sec.cos;
        run.sectionSinByStage[s] = sec.sin;
        sec = {run.sectionCosByStage[s], run.sectionSinByStage[s]};
        w = {run.radiusByStage[s], 0, 0};
        TurnAboutZ(w, shape.step, shape.torsion);
        TurnAboutY(w, shape.step, shape.curvature);
        w.z += shape.step * r0;
        FromSectionAxis(w, sec);
        FromStageFrame(w, f);
        rim = {c0.x + w.x, c0.y + w.y, c0.z + w.z};
        w = {0, 0, 1};
        TurnAboutY(w, shape.step, shape.curvature);
        FromSectionAxis(w, sec);
        FromStageFrame(w, f);
        dir = w;
        w = {0, 0, shape.step * r0};
        FromStageFrame(w, f);
        run.centreXByStage[s] = c0.x + w.x;
        run.centreYByStage[s] = c0.y + w.y;
        run.centreZByStage[s] = c0.z + w.z;
        Vec3 v{run.centreXByStage[s], run.centreYByStage[s], run.centreZByStage[s]};
        ApplyViewRotation(v, run.view);
        run.viewDepthByStage[s] = v.z;
    }
    model.shownStage = static_cast<std::int16_t>(shape.stages);
    run.hasRun = true;
}

// Lays ribs (marks 5, 4, 3, 2, 1) starting at the given stages.
inline void LayRibs(RunState& run, std::initializer_list<int> firstStages) {
    for (int s : firstStages)
        for (int i = 0; i < 5; ++i) run.ribMark[s + i] = static_cast<std::int16_t>(5 - i);
}

// Drawing settings of the main window after its load: scale, origin, light,
// ribbing, default view (0, 1, 0), no orientation turn.
inline void DefaultSettings(ModelState& model, RunState& run, double scale, double ox, double oy) {
    model.drawScale = scale;
    model.originX = ox;
    model.originY = oy;
    model.lightVector = {1, 0, 1};
    model.ribbingOn = 1;
    model.orientationSin = 0;
    model.orientationCos = 1;
    model.orientationShiftX = 0;
    model.orientationShiftY = 0;
    run.view = ViewPairsFromVector(0, 1, 0);
}

}  // namespace ammonite::testshell
