#include "ui/surface_view.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>

namespace ammonite {

SurfaceView::SurfaceView(ImageSurface& surface, QWidget* parent, bool fitToSpace)
    : QWidget(parent), surface_(&surface), fit_(fitToSpace) {
    if (fit_) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setMinimumSize(surface.width() / 4, surface.height() / 4);
    } else {
        setFixedSize(surface.width(), surface.height());
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

QSize SurfaceView::sizeHint() const { return QSize(surface_->width(), surface_->height()); }

QRectF SurfaceView::pictureRect() const {
    const double w = surface_->width(), h = surface_->height();
    if (!fit_ || w <= 0 || h <= 0) return QRectF(0, 0, w, h);
    const double k = std::min(width() / w, height() / h);
    return QRectF(0, 0, w * k, h * k);
}

QPoint SurfaceView::toUnits(const QPointF& position) const {
    const QRectF r = pictureRect();
    const double kx = r.width() > 0 ? surface_->width() / r.width() : 1;
    const double ky = r.height() > 0 ? surface_->height() / r.height() : 1;
    return QPoint(static_cast<int>(std::lround((position.x() - r.left()) * kx)),
                  static_cast<int>(std::lround((position.y() - r.top()) * ky)));
}

void SurfaceView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF r = pictureRect();
    if (r.width() < width() || r.height() < height()) {
        p.fillRect(rect(), palette().window());
    }
    const QImage& image = surface_->image();
    if (r.size() == QSizeF(surface_->width(), surface_->height())) {
        p.drawImage(r.topLeft(), image);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(r, image);
    }
}

void SurfaceView::mousePressEvent(QMouseEvent* e) {
    const QPoint u = toUnits(e->position());
    emit pressed(u.x(), u.y());
}

void SurfaceView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint u = toUnits(e->position());
    emit moved(u.x(), u.y());
}

void SurfaceView::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint u = toUnits(e->position());
    emit released(u.x(), u.y());
    if (rect().contains(e->position().toPoint())) emit clicked();
}

}  // namespace ammonite
