#include "ui/surface_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace ammonite {

SurfaceView::SurfaceView(ImageSurface& surface, QWidget* parent) : QWidget(parent), surface_(&surface) {
    setFixedSize(surface.width(), surface.height());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SurfaceView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, surface_->image());
}

void SurfaceView::mousePressEvent(QMouseEvent* e) {
    emit pressed(e->position().x(), e->position().y());
}

void SurfaceView::mouseMoveEvent(QMouseEvent* e) {
    emit moved(e->position().x(), e->position().y());
}

void SurfaceView::mouseReleaseEvent(QMouseEvent* e) {
    emit released(e->position().x(), e->position().y());
    if (rect().contains(e->position().toPoint())) emit clicked();
}

}  // namespace ammonite
