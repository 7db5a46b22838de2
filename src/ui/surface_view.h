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

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    ImageSurface* surface_;
    bool fit_;
};

}  // namespace ammonite
