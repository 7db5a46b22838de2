#include "render/run_painter.h"

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

void RunPainter::ringPoint(const Vec3& modelPoint, bool startsRing, bool closesRing) {
    Vec3 q = modelPoint;
    ApplyViewRotation(q, view_);
    q.x -= turn_.shiftX;
    q.y -= turn_.shiftY;
    ApplyOrientationRotation(q, turn_.sin, turn_.cos);
    if (!startsRing) {
        surface_.line(static_cast<float>(ox_ + scale_ * q.x), static_cast<float>(oy_ - scale_ * q.y),
                      static_cast<float>(ox_ + scale_ * previous_.x), static_cast<float>(oy_ - scale_ * previous_.y),
                      closesRing ? kClosingSegment : paletteColour(3));
    }
    previous_ = q;
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

void RunPainter::chartLine(double x1, double y1, double x2, double y2) {
    surface_.line(x1, y1, x2, y2, paletteColour(0));
}

// The two knots of the curve carry no colour of their own: they are drawn in
// the surface's foreground colour (the grey START sets).
void RunPainter::chartKnot(double x, double y) { surface_.circle(x, y, 3, surface_.foreColour()); }

}  // namespace ammonite
