// Shows a drawing surface's image, one pixel per unit, and reports clicks.
#pragma once

#include <functional>

#include <QWidget>

#include "ui/image_surface.h"

namespace ammonite {

class SurfaceView : public QWidget {
    Q_OBJECT
public:
    SurfaceView(ImageSurface& surface, QWidget* parent = nullptr);
    ImageSurface& surface() { return *surface_; }
    // Shows another surface of the same size (the plot instead of the shell).
    void setSurface(ImageSurface& surface) {
        surface_ = &surface;
        update();
    }

signals:
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
};

}  // namespace ammonite
