// Draws a growth run on a surface as the main window shows it: the axes, the
// wireframe of cross-section rings, the markers of the final report and the
// regulation chart. It is the drawing half of the engine's observer; the
// main window and the batch tool add the log and the report texts on top.
#pragma once

#include "model/growth.h"
#include "render/surface.h"

namespace ammonite {

class RunPainter : public GrowthObserver {
public:
    explicit RunPainter(DrawingSurface& surface) : surface_(surface) {}

    // Solid fill, grey fore colour, cleared surface, the axes.
    void runPrepared(const ModelState& model, const RunState& run) override;
    void ring(const RingVertex* vertices, int count) override;
    void marker(MarkerKind kind, const Vec3& turnedViewPoint, const std::string& text) override;
    void chartBegin() override {
        surface_.setDrawWidth(2);
        curvatureLabelHeight_ = -1;
    }
    void chartPoint(ChartSeries series, double x, double y) override;
    void chartText(const std::string& text) override { surface_.print(text); }
    // The rib spacing's number goes above or below the "C" when the two
    // curves end too close for both on their own lines.
    void chartLabel(ChartSeries series, const std::string& text) override;
    void chartLine(double x1, double y1, double x2, double y2) override;
    void chartKnot(double x, double y) override;
    // A chart that stops half-way still leaves the thin pen for the next
    // wireframe.
    void chartEnd() override { surface_.setDrawWidth(1); }

    DrawingSurface& surface() { return surface_; }

private:
    DrawingSurface& surface_;
    const ModelState* model_ = nullptr;
    ViewPairs view_;
    OrientationTurn turn_;
    double ox_ = 0, oy_ = 0, scale_ = 0;
    Vec3 previous_;  // the ring point before, in turned view coordinates
    // Where this chart's "C" stands, and its line height (-1: not printed).
    double curvatureLabelX_ = 0, curvatureLabelY_ = 0, curvatureLabelHeight_ = -1;
};

}  // namespace ammonite
