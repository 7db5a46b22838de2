#include "render/run_painter.h"

#include <cmath>

#include "render/axes.h"

namespace ammonite {

namespace {
// Colour of the segment that closes each ring.
constexpr Rgb kClosingSegment{250, 100, 100};
constexpr Rgb kCurvatureDots{200, 100, 100};
constexpr Rgb kRibSpacingDots{100, 200, 200};
}  // namespace

void RunPainter::runPrepared(const ModelState& model, const RunState& run) {
    surface_.setFillStyle(0);
    surface_.setForeColour(Rgb(100, 100, 100));
    surface_.clear();
    DrawAxes(surface_, model, run.view);
    // The run draws in the view and the orientation it starts with.
    model_ = &model;
    view_ = run.view;
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

void RunPainter::marker(MarkerKind kind, const Vec3& viewPoint, const std::string& text) {
    if (!model_) return;
    double radius = 3;
    Rgb fill = paletteColour(11), outline = paletteColour(9);
    switch (kind) {
    case MarkerKind::TangentPoint:
        radius = 2;
        fill = outline = paletteColour(14);
        break;
    case MarkerKind::AirChamberCentre: break;
    case MarkerKind::BodyChamberCentre: fill = paletteColour(5); break;
    }
    const SurfacePoint sp = ToSurface(viewPoint, *model_);
    surface_.setFillColour(fill);
    surface_.circle(static_cast<float>(sp.x), static_cast<float>(sp.y), radius, outline);
    surface_.print(text);
    surface_.setFillColour(paletteColour(0));
}

void RunPainter::chartPoint(ChartSeries series, double x, double y) {
    surface_.point(x, y, series == ChartSeries::Curvature ? kCurvatureDots : kRibSpacingDots);
}

void RunPainter::chartLabel(ChartSeries series, const std::string& text) {
    const double x = surface_.currentX(), y = surface_.currentY();
    if (series == ChartSeries::Curvature) {
        surface_.print(text);
        curvatureLabelX_ = x;
        curvatureLabelY_ = y;
        curvatureLabelHeight_ = surface_.currentY() - y;
        return;
    }
    // Both curves end at the last stage, so the labels share their left edge;
    // within a line of each other they would overlap.
    const double h = curvatureLabelHeight_;
    if (h > 0 && std::fabs(x - curvatureLabelX_) < h && std::fabs(y - curvatureLabelY_) < h)
        surface_.setCurrentPosition(x, y < curvatureLabelY_ ? curvatureLabelY_ - h : curvatureLabelY_ + h);
    surface_.print(text);
}

void RunPainter::chartLine(double x1, double y1, double x2, double y2) {
    surface_.line(x1, y1, x2, y2, paletteColour(0));
}

// The two knots of the curve carry no colour of their own: they are drawn in
// the surface's foreground colour (the grey START sets).
void RunPainter::chartKnot(double x, double y) { surface_.circle(x, y, 3, surface_.foreColour()); }

}  // namespace ammonite
