// Draws a growth run on a surface as the main window shows it: the axes, the
// wireframe of cross-section rings as the run builds them, and, from the
// run's results, the markers of the final report. The regulation chart is
// render/regulation_chart.h.
#pragma once

#include "model/growth_run.h"
#include "render/surface.h"

namespace ammonite {

class RunPainter : public GrowthObserver {
public:
    explicit RunPainter(DrawingSurface& surface) : surface_(surface) {}

    // Before the first stage: solid fill, grey fore colour, cleared surface,
    // the axes. The run is drawn in the model's view, turn, origin and scale
    // as they stand now.
    void prepare(const ModelState& model);
    void ring(const RingVertex* vertices, int count) override;
    // The tangent point and the centres of the air and body chambers, with
    // their captions, in the orientation the run was drawn in.
    void drawMarkers(const RunState& run);

    DrawingSurface& surface() { return surface_; }

private:
    void marker(const Vec3& turnedViewPoint, double radius, Rgb fill, Rgb outline, const std::string& text);

    DrawingSurface& surface_;
    bool prepared_ = false;
    ViewPairs view_;
    OrientationTurn turn_;
    double ox_ = 0, oy_ = 0, scale_ = 0;
    Vec3 previous_;  // the ring point before, in turned view coordinates
};

}  // namespace ammonite
