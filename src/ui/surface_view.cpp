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

double SurfaceView::shownScale() const {
    const double w = surface_->width(), h = surface_->height();
    if (!fit_ || w <= 0 || h <= 0) return 1;
    const double ratio = devicePixelRatioF();
    const double k = std::min(width() / w, height() / h);
    // Below a device pixel per unit the picture keeps one and is scaled down.
    if (k * ratio < 1) return k;
    return std::floor(k * ratio * 20 + 1e-6) / 20 / ratio;
}

double SurfaceView::wantedResolution() const {
    return std::clamp(shownScale() * devicePixelRatioF(), 1.0, std::max(1.0, maxResolution_));
}

QRectF SurfaceView::pictureRect() const {
    const double k = shownScale();
    return QRectF(0, 0, surface_->width() * k, surface_->height() * k);
}

void SurfaceView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    emit resized();
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
    // Pixel for pixel when the image has the device pixels the picture covers.
    // (A picture whose units times the resolution are not whole has its last
    // pixel cut or added: within a pixel is pixel for pixel.)
    const double ratio = devicePixelRatioF();
    const bool exact = std::abs(r.width() * ratio - image.width()) < 1 && std::abs(r.height() * ratio - image.height()) < 1;
    p.setRenderHint(QPainter::SmoothPixmapTransform, !exact);
    const QRectF target = exact ? QRectF(r.topLeft(), QSizeF(image.width() / ratio, image.height() / ratio)) : r;
    p.drawImage(target, image, QRectF(0, 0, image.width(), image.height()));
    // Reached with Tab (for Ctrl+C): a dotted frame says so.
    if (hasFocus() && focusPolicy() & Qt::TabFocus) {
        QPen pen(palette().color(QPalette::Highlight), 2, Qt::DotLine);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(1, 1, -1, -1));
    }
}

void SurfaceView::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void SurfaceView::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
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
