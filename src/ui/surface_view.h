// Shows a drawing surface's image and reports the mouse in the surface's
// drawing units. At its natural size one unit is one logical pixel; a view
// that fits its picture to the space it is given scales it with the aspect
// kept. Either way the image's finer pixels (the screen's device pixel
// ratio) reach the screen one to one when the view is at its natural size.
#pragma once

#include <functional>

#include <QWidget>

#include "picture/image_surface.h"

namespace ammonite {

class SurfaceView : public QWidget {
    Q_OBJECT
public:
    // `fitToSpace`: the picture grows and shrinks with the view; otherwise
    // the view keeps the surface's size.
    SurfaceView(ImageSurface& surface, QWidget* parent = nullptr, bool fitToSpace = false);
    ImageSurface& surface() { return *surface_; }
    // Shows another surface of the same size (the plot instead of the shell).
    void setSurface(ImageSurface& surface) {
        surface_ = &surface;
        update();
    }
    // Where the picture lies in the view, in logical pixels.
    QRectF pictureRect() const;
    // Logical pixels per drawing unit. A fitted picture takes the largest
    // scale that fits the view and gives a whole number of twentieths of a
    // device pixel per unit, so that a picture drawn at `wantedResolution`
    // reaches the screen pixel for pixel.
    double shownScale() const;
    // Device pixels per unit the picture covers (at most 4, or the limit set
    // below): the resolution to draw the surface at.
    double wantedResolution() const;
    // A small surface may be drawn finer than 4 device pixels a unit, up to
    // what a raster surface takes (8).
    void setMaxResolution(double resolution) { maxResolution_ = resolution; }
    // A position in the view as whole drawing units (rounded).
    QPoint toUnits(const QPointF& position) const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return false; }

signals:
    // Positions in whole drawing units.
    void pressed(double x, double y);
    void moved(double x, double y);
    void released(double x, double y);
    void clicked();
    // The view's size changed: the picture may want another resolution.
    void resized();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    ImageSurface* surface_;
    bool fit_;
    double maxResolution_ = 4;
};

}  // namespace ammonite
