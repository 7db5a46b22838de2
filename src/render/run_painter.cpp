#include "render/run_painter.h"

#include <string>

#include "render/axes.h"

namespace ammonite {

namespace {
// Colour of the segment that closes each ring.
constexpr Rgb kClosingSegment{250, 100, 100};
}  // namespace

void RunPainter::prepare(const ModelState& model) {
    view_ = ViewPairsFromVector(model.viewVector.x, model.viewVector.y, model.viewVector.z);
    surface_.setFillStyle(0);
    surface_.setForeColour(Rgb(100, 100, 100));
    surface_.clear();
    DrawAxes(surface_, model, view_);
    // The run draws in the view and the orientation it starts with.
    prepared_ = true;
    turn_ = OrientationFromModel(model);
    ox_ = model.originX;
    oy_ = model.originY;
    scale_ = model.drawScale;
}

void RunPainter::ring(const RingVertex* vertices, int count) {
    const Rgb ringColour = paletteColour(3);
    const ViewPairs view = view_;
    const OrientationTurn turn = turn_;
    const double ox = ox_, oy = oy_, scale = scale_;
    Vec3 previous = previous_;
    for (int k = 0; k < count; ++k) {
        Vec3 q = vertices[k].point;
        ApplyViewRotation(q, view);
        q.x -= turn.shiftX;
        q.y -= turn.shiftY;
        ApplyOrientationRotation(q, turn.sin, turn.cos);
        if (!vertices[k].startsRing) {
            surface_.line(static_cast<float>(ox + scale * q.x), static_cast<float>(oy - scale * q.y),
                          static_cast<float>(ox + scale * previous.x), static_cast<float>(oy - scale * previous.y),
                          vertices[k].closesRing ? kClosingSegment : ringColour);
        }
        previous = q;
    }
    previous_ = previous;
}

void RunPainter::marker(const Vec3& p, double radius, Rgb fill, Rgb outline, const std::string& text) {
    const double x = ox_ + scale_ * p.x, y = oy_ - scale_ * p.y;
    surface_.setFillColour(fill);
    surface_.circle(static_cast<float>(x), static_cast<float>(y), radius, outline);
    surface_.print(text);
    surface_.setFillColour(paletteColour(0));
}

void RunPainter::drawMarkers(const RunState& run) {
    if (!prepared_) return;
    const long t = run.tangentStage;
    Vec3 tangent{run.rimXByStage[t], run.rimYByStage[t], run.rimZByStage[t]};
    ApplyViewRotation(tangent, run.view);
    tangent.x -= turn_.shiftX;
    tangent.y -= turn_.shiftY;
    ApplyOrientationRotation(tangent, turn_.sin, turn_.cos);
    marker(tangent, 2, paletteColour(14), paletteColour(14), " tangent point " + std::to_string(t));
    marker(ProjectShellPoint(run.airCentre, run.view, turn_), 3, paletteColour(11), paletteColour(9),
           " Center of air chamber");
    marker(ProjectShellPoint(run.bodyCentre, run.view, turn_), 3, paletteColour(5), paletteColour(9),
           " Center of body chamber");
}

}  // namespace ammonite
